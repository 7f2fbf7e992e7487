// The conversion of a prepared job: one converter and one worker thread per
// input channel, one-second blocks, gain, channel adaptation, rounding and
// clipping, drain and padding; then the copy of markers and loops.
#pragma once

#include <cstdint>

#include "app/job.h"

namespace tolmek {

// Returns 0, kStatusInterrupted, -8187 (converters could not be made),
// -8188 (a converter failed), -16380 (reading the input failed) or -16381
// (writing the output failed). Converters and workers are released on
// every path.
[[nodiscard]] int ConvertAudio(ResampleJob* job);

// The steps of ConvertAudio.
[[nodiscard]] int PrepareConverters(ResampleJob* job);
[[nodiscard]] int RunBlockLoop(ResampleJob* job);
int ReleaseConverters(ResampleJob* job);

// Input frames consumed for T output frames: trunc(R_in / R_out x T + 0.5),
// at most the input's frame count.
int InputFramesToConsume(const ResampleJob& job);

// Frame operations. `frame` holds at least kMaxChannels values.
// Multiplies the input channels by volume_factor unless it is exactly 1.0.
void ApplyVolume(const ResampleJob& job, double* frame);
// 1 -> n channels duplicates channel 0; 2 -> 1 adds the two channels.
void AdaptChannels(const ResampleJob& job, double* frame);
// Rounds half away from zero and clips to the 32-bit range.
void QuantizeFrame(const double* frame, std::int32_t* ints, int count);

// Moves the input's markers and loops to the output rate:
// trunc(position x R_out / R_in + 0.5).
int CopyMarkersAndLoops(ResampleJob* job);

}  // namespace tolmek
