#pragma once
// The wave stream's side of the interop tests: its own writing and reading of
// whole files, so that both directions compare like with like.

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/peer_tools.h"

namespace interop {

// A repeatable signal that reaches both ends of the range: frame i, channel c.
std::int32_t TestSample(std::uint32_t frame, std::int32_t channel);

struct Loop {
    std::int32_t start;
    std::int32_t end;  // exclusive
};

// Writes a file through the wave stream (AIFF when the extension starts with
// "aif", WAV otherwise): `frames` frames of TestSample, then the markers and
// loops. True when every step succeeded.
bool WriteThroughWaveStream(const std::string& path, std::int32_t rate, std::int32_t channels,
                            std::int32_t bits, std::uint32_t frames,
                            const std::vector<std::int32_t>& markers,
                            const std::vector<Loop>& loops);

// A whole file as the wave stream reads it.
struct OurFile {
    bool ok = false;
    std::int32_t rate = 0;
    std::int32_t channels = 0;
    std::int32_t bits = 0;
    std::uint32_t frames = 0;
    std::vector<std::int32_t> marker_ids;
    std::vector<std::int32_t> markers;  // positions
    std::vector<Loop> loops;
    Samples samples;
};
OurFile ReadThroughWaveStream(const std::string& path);

}  // namespace interop
