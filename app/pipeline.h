// The conversion of a prepared job and the copy of markers and loops.
#pragma once

#include "app/job.h"

namespace tolmek {

// Returns 0, kStatusInterrupted or a negative code.
[[nodiscard]] int ConvertAudio(ResampleJob* job);

// Moves the input's markers and loops to the output rate.
int CopyMarkersAndLoops(ResampleJob* job);

}  // namespace tolmek
