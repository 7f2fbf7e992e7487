// Preparation of a parsed job: checks, opening the input, derived output
// parameters, creating the output.
#pragma once

#include "app/job.h"

namespace tolmek {

// Returns 0 with both streams open and output_created set, or a negative code.
[[nodiscard]] int PrepareJob(ResampleJob* job);

// Closes the input, then the output stream (each only if open) and clears
// the handles. Returns 0, or a negative code when closing the output failed.
int CloseJobStreams(ResampleJob* job);

}  // namespace tolmek
