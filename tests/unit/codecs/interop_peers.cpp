#include "tests/unit/codecs/interop_peers.h"

#include "wavestream/wstm/wstm.h"

namespace interop {

std::int32_t TestSample(std::uint32_t frame, std::int32_t channel) {
    // A multiplicative hash: every bit position changes, the sign included, so
    // a byte swapped, dropped or shifted shows at every depth.
    return static_cast<std::int32_t>(frame * 2654435761u +
                                     static_cast<std::uint32_t>(channel) * 0x9E3779B9u);
}

bool WriteThroughWaveStream(const std::string& path, std::int32_t rate, std::int32_t channels,
                            std::int32_t bits, std::uint32_t frames,
                            const std::vector<std::int32_t>& markers,
                            const std::vector<Loop>& loops) {
    WstmHandle* h = WSTM_Create(path.c_str(), rate, channels, bits, frames);
    if (h == nullptr) return false;
    bool ok = true;
    std::vector<std::int32_t> frame(static_cast<std::size_t>(channels));
    for (std::uint32_t i = 0; i < frames; ++i) {
        for (std::int32_t c = 0; c < channels; ++c)
            frame[static_cast<std::size_t>(c)] = TestSample(i, c);
        ok = WSTM_WriteSample(h, frame.data(), channels) >= 0 && ok;
    }
    ok = WSTM_SetNumMarkers(h, static_cast<std::int32_t>(markers.size())) == 0 && ok;
    for (std::size_t i = 0; i < markers.size(); ++i) {
        ok = WSTM_SetMarker(h, static_cast<std::int32_t>(i), markers[i]) == 0 && ok;
    }
    ok = WSTM_SetNumLoops(h, static_cast<std::int32_t>(loops.size())) == 0 && ok;
    for (std::size_t i = 0; i < loops.size(); ++i) {
        ok = WSTM_SetLoop(h, static_cast<std::int32_t>(i), loops[i].start, loops[i].end) == 0 && ok;
    }
    return WSTM_Close(h) == 0 && ok;
}

OurFile ReadThroughWaveStream(const std::string& path) {
    OurFile f;
    WstmHandle* h = WSTM_Open(path.c_str());
    if (h == nullptr) return f;
    f.rate = WSTM_GetSamplingRate(h);
    f.channels = WSTM_GetNumChannels(h);
    f.bits = WSTM_GetNumBits(h);
    f.frames = WSTM_GetNumSamples(h);
    bool ok = true;
    for (std::int32_t i = 0; i < WSTM_GetNumMarkers(h); ++i) {
        std::int32_t position = -1;
        ok = WSTM_GetMarker(h, i, &position) == 0 && ok;
        f.marker_ids.push_back(h->marker_id[i]);
        f.markers.push_back(position);
    }
    for (std::int32_t i = 0; i < WSTM_GetNumLoops(h); ++i) {
        Loop loop{-1, -1};
        ok = WSTM_GetLoop(h, i, &loop.start, &loop.end) == 0 && ok;
        f.loops.push_back(loop);
    }
    std::vector<std::int32_t> frame(static_cast<std::size_t>(f.channels));
    f.samples.reserve(static_cast<std::size_t>(f.frames) * frame.size());
    for (std::uint32_t i = 0; i < f.frames; ++i) {
        ok = WSTM_ReadSample(h, frame.data(), f.channels) >= 0 && ok;
        f.samples.insert(f.samples.end(), frame.begin(), frame.end());
    }
    f.ok = WSTM_Close(h) == 0 && ok;
    return f;
}

}  // namespace interop
