// Fuzz target: arbitrary bytes as an audio file. Opens them with WSTM_Open,
// reads every sample frame, the markers and the loops, and when the file
// opens, copies a bounded part of it (with its markers and loops) to a new
// file of the same format; inputs whose size is a multiple of 4 also read
// that copy back.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "wavestream/wstm/wstm.h"

namespace {

// Bounds on the work of one input: a header may declare far more frames
// than the file holds (the rest reads as silence).
constexpr std::uint32_t kMaxSamplesRead = 1u << 16;
constexpr std::uint32_t kMaxFramesCopied = 2048;

const std::string& ScratchPath(const char* suffix) {
    static std::string paths[2];
    std::string& p = paths[suffix[0] == 'i' ? 0 : 1];
    if (p.empty()) p = "/tmp/wstm_fuzz_" + std::to_string(getpid()) + "_" + suffix;
    return p;
}

bool WriteInput(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

std::uint32_t ReadAll(WstmHandle* h, std::vector<std::int32_t>& frame) {
    const std::uint32_t frames = WSTM_GetNumSamples(h);
    const std::uint32_t per_frame = static_cast<std::uint32_t>(frame.size());
    const std::uint32_t most = kMaxSamplesRead / per_frame > 0 ? kMaxSamplesRead / per_frame : 1;
    const std::uint32_t limit = frames < most ? frames : most;
    for (std::uint32_t i = 0; i < limit; ++i) {
        if (WSTM_ReadSample(h, frame.data(), static_cast<std::int32_t>(frame.size())) < 0) break;
    }
    return limit;
}

void CopyTo(WstmHandle* in, const std::string& path, std::vector<std::int32_t>& frame,
            bool read_back) {
    std::uint32_t frames = WSTM_GetNumSamples(in);
    if (frames > kMaxFramesCopied) frames = kMaxFramesCopied;
    WstmHandle* out = WSTM_CreateAs(path.c_str(), WSTM_GetSamplingRate(in), WSTM_GetNumChannels(in),
                                    WSTM_GetNumBits(in), frames, in->file_format);
    if (out == nullptr) return;
    if (WSTM_Seek(in, 0, 0) == 0) {
        for (std::uint32_t i = 0; i < frames; ++i) {
            WSTM_ReadSample(in, frame.data(), static_cast<std::int32_t>(frame.size()));
            WSTM_WriteSample(out, frame.data(), static_cast<std::int32_t>(frame.size()));
        }
    }
    const std::int32_t markers = WSTM_GetNumMarkers(in);
    WSTM_SetNumMarkers(out, markers);
    for (std::int32_t i = 0; i < markers; ++i) {
        std::int32_t position = 0;
        if (WSTM_GetMarker(in, i, &position) == 0) WSTM_SetMarker(out, i, position);
    }
    const std::int32_t loops = WSTM_GetNumLoops(in);
    WSTM_SetNumLoops(out, loops);
    for (std::int32_t i = 0; i < loops; ++i) {
        std::int32_t start = 0, end = 0;
        if (WSTM_GetLoop(in, i, &start, &end) == 0) WSTM_SetLoop(out, i, start, end);
    }
    WSTM_Close(out);
    if (!read_back) return;
    WstmHandle* back = WSTM_Open(path.c_str());
    if (back != nullptr) {
        std::vector<std::int32_t> again(frame.size());
        ReadAll(back, again);
        WSTM_Close(back);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& input = ScratchPath("in");
    if (!WriteInput(input, data, size)) return 0;
    WstmHandle* h = WSTM_Open(input.c_str());
    if (h == nullptr) return 0;
    const std::int32_t channels = WSTM_GetNumChannels(h);
    std::vector<std::int32_t> frame(static_cast<std::size_t>(channels > 0 ? channels : 1));
    ReadAll(h, frame);
    std::int32_t a = 0, b = 0;
    for (std::int32_t i = 0; i < WSTM_GetNumMarkers(h); ++i)
        WSTM_GetMarker(h, i, &a);
    for (std::int32_t i = 0; i < WSTM_GetNumLoops(h); ++i)
        WSTM_GetLoop(h, i, &a, &b);
    if (channels <= 64) CopyTo(h, ScratchPath("out"), frame, size % 4 == 0);
    WSTM_Close(h);
    return 0;
}
