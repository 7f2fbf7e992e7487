// The report blocks of a run: file names and conversion parameters.
#pragma once

#include <string>
#include <string_view>

#include "app/job.h"

namespace tolmek {

// "<< Files >>" with the file-name parts of the input and output paths.
void PrintFileNames(const ResampleJob& job);

// "<< Parameters >>": formats, rates, channels, bits, samples, gain, mode,
// and the warning when both files would be alike.
void PrintParameterReport(const ResampleJob& job);

// "AIFF" for the extensions AIF and AIFF (any case), "WAV" otherwise.
const char* FormatNameOf(std::string_view path);

// The gain with three decimals, truncated toward zero: 6.0206 -> "6.020",
// -0.5 -> "-0.500", -0 -> "0.000".
std::string FormatVolume(double volume_db);

}  // namespace tolmek
