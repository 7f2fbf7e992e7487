// Writes the seed corpus of the wave stream fuzz target: small WAV and AIFF
// files of every container width, with and without markers and loops,
// written by the program's own wave stream, and hand-built files of the
// layouts and sample formats it never writes (aiff_seeds.h, wav_seeds.h).
//
//   make_corpus <folder>

#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz/aiff_seeds.h"
#include "fuzz/wav_seeds.h"
#include "wavestream/wstm/wstm.h"

namespace {

bool WriteOne(const std::string& path, std::int32_t format, std::int32_t rate,
              std::int32_t channels, std::int32_t bits, std::uint32_t frames, std::int32_t markers,
              std::int32_t loops) {
    WstmHandle* h = WSTM_CreateAs(path.c_str(), rate, channels, bits, frames, format);
    if (h == nullptr) return false;
    std::int32_t values[8];
    for (std::uint32_t i = 0; i < frames; ++i) {
        for (std::int32_t c = 0; c < channels; ++c) {
            values[c] = static_cast<std::int32_t>((i * 2654435761u) ^
                                                  (static_cast<std::uint32_t>(c) << 29));
        }
        WSTM_WriteSample(h, values, channels);
    }
    WSTM_SetNumMarkers(h, markers);
    for (std::int32_t m = 0; m < markers; ++m)
        WSTM_SetMarker(h, m, m * 3);
    WSTM_SetNumLoops(h, loops);
    for (std::int32_t l = 0; l < loops; ++l)
        WSTM_SetLoop(h, l, l, l + 5);
    return WSTM_Close(h) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_corpus <folder>\n");
        return 2;
    }
    const std::string dir = argv[1];
    int written = 0;
    const std::int32_t bit_depths[] = {1, 4, 8, 12, 16, 20, 24, 28, 32};
    for (std::int32_t format = 1; format <= 2; ++format) {
        for (std::int32_t bits : bit_depths) {
            for (std::int32_t channels = 1; channels <= 3; ++channels) {
                const std::uint32_t frames =
                    static_cast<std::uint32_t>(3 + channels * 2 + bits % 5);
                const std::int32_t markers = bits % 3;
                const std::int32_t loops = channels == 2 ? 1 : 0;
                const std::string name = dir + "/seed_" + (format == 1 ? "wav" : "aif") + "_" +
                                         std::to_string(bits) + "b_" + std::to_string(channels) +
                                         "ch" + (format == 1 ? ".wav" : ".aif");
                if (WriteOne(name, format, 8000 + bits * 1000, channels, bits, frames, markers,
                             loops)) {
                    ++written;
                }
            }
        }
    }
    written += aiffseeds::WriteAiffSeeds(dir);
    written += wavseeds::WriteWavSeeds(dir);
    std::printf("%d seed files in %s\n", written, dir.c_str());
    return written > 0 ? 0 : 1;
}
