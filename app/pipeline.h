// The conversion of a prepared job: one converter and one worker thread per
// input channel, blocks of a second or a quarter handed between them
// (block_ring.h), gain, channel adaptation, rounding and clipping
// (frame_ops.h), drain and padding; then the copy of markers and loops.
#pragma once

#include <cstdint>

#include "app/job.h"

namespace tolmek {

// Returns kStatusOk, kStatusInterrupted, kErrMemory (converters could not
// be made or ran out of memory), kErrInternal (a converter failed),
// kErrReadInput (reading the input failed) or kErrWriteOutput (writing the
// output failed). Converters and workers are released on every path.
[[nodiscard]] int ConvertAudio(ResampleJob* job);

// The steps of ConvertAudio.
[[nodiscard]] int PrepareConverters(ResampleJob* job);
[[nodiscard]] int RunBlockLoop(ResampleJob* job);
int ReleaseConverters(ResampleJob* job);

// Input frames consumed for T output frames: trunc(R_in / R_out x T + 0.5),
// at most the input's frame count.
int InputFramesToConsume(const ResampleJob& job);

// Moves the input's markers and loops to the output rate:
// trunc(position x R_out / R_in + 0.5).
int CopyMarkersAndLoops(ResampleJob* job);

}  // namespace tolmek
