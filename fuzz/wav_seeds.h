#pragma once
// Hand-built RIFF files for the fuzz corpus: the sample formats besides
// integer PCM that the WAV reader takes (IEEE float of 32 and 64 bits,
// mu-law, A-law, each plain and through the extensible 'fmt '), and those it
// refuses (ADPCM, a short extensible chunk, a foreign sub-format GUID, a
// file cut short, no 'data' chunk); two 'data' chunks, and sample data
// ending a few bytes past the file.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace wavseeds {

using Bytes = std::vector<std::uint8_t>;

inline void Put16(Bytes& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline void Put32(Bytes& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

inline Bytes Chunk(const char* id, const Bytes& body) {
    Bytes b(id, id + 4);
    Put32(b, static_cast<std::uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() % 2 != 0) b.push_back(0);
    return b;
}

inline Bytes Riff(const std::vector<Bytes>& chunks) {
    Bytes inner = {'W', 'A', 'V', 'E'};
    for (const Bytes& c : chunks)
        inner.insert(inner.end(), c.begin(), c.end());
    return Chunk("RIFF", inner);
}

// A 'fmt ' body of `tag` whose byte rate and block align agree with a
// container of `container` bytes; with a sub-format tag it is extensible
// (40 bytes, the standard GUID suffix, or zeros when `foreign`).
inline Bytes Fmt(std::uint32_t tag, std::uint32_t channels, std::uint32_t bits,
                 std::uint32_t container, std::int32_t sub_tag = -1, bool foreign = false) {
    Bytes b;
    Put16(b, sub_tag >= 0 ? 0xFFFE : tag);
    Put16(b, channels);
    Put32(b, 8000);
    Put32(b, 8000 * container * channels);
    Put16(b, container * channels);
    Put16(b, bits);
    if (sub_tag >= 0) {
        static const std::uint8_t kSuffix[14] = {0, 0, 0,    0, 0x10, 0,    0x80,
                                                 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
        Put16(b, 22);
        Put16(b, bits);
        Put32(b, channels == 1 ? 4 : 3);
        Put16(b, static_cast<std::uint32_t>(sub_tag));
        for (const std::uint8_t s : kSuffix)
            b.push_back(foreign ? 0 : s);
    }
    return Chunk("fmt ", b);
}

inline Bytes Floats(int bytes, std::size_t count) {
    Bytes b;
    for (std::size_t i = 0; i < count; ++i) {
        const double x = i == 0 ? 1.5 : (i == 1 ? std::nan("") : std::sin(static_cast<double>(i)));
        std::uint64_t bits = 0;
        if (bytes == 4) {
            const float f = static_cast<float>(x);
            std::uint32_t u;
            std::memcpy(&u, &f, 4);
            bits = u;
        } else {
            std::memcpy(&bits, &x, 8);
        }
        for (int k = 0; k < bytes; ++k)
            b.push_back(static_cast<std::uint8_t>(bits >> (8 * k)));
    }
    return b;
}

inline Bytes Laws(std::size_t count) {
    Bytes b;
    for (std::size_t i = 0; i < count; ++i)
        b.push_back(static_cast<std::uint8_t>(i * 37));
    return b;
}

inline int WriteWavSeeds(const std::string& dir) {
    std::vector<std::pair<std::string, Bytes>> seeds;
    seeds.emplace_back("wav_float32.wav", Riff({Fmt(3, 2, 32, 4), Chunk("data", Floats(4, 8))}));
    seeds.emplace_back("wav_float64.wav", Riff({Fmt(3, 1, 64, 8), Chunk("data", Floats(8, 5))}));
    seeds.emplace_back("wav_ulaw.wav", Riff({Fmt(7, 1, 8, 1), Chunk("data", Laws(9))}));
    seeds.emplace_back("wav_alaw.wav", Riff({Fmt(6, 2, 8, 1), Chunk("data", Laws(8))}));
    seeds.emplace_back("wavx_float32.wav",
                       Riff({Fmt(0, 2, 32, 4, 3), Chunk("data", Floats(4, 6))}));
    seeds.emplace_back("wavx_float64.wav",
                       Riff({Fmt(0, 1, 64, 8, 3), Chunk("data", Floats(8, 3))}));
    seeds.emplace_back("wavx_ulaw.wav", Riff({Fmt(0, 1, 8, 1, 7), Chunk("data", Laws(5))}));
    seeds.emplace_back("wavx_alaw.wav", Riff({Fmt(0, 3, 8, 1, 6), Chunk("data", Laws(9))}));
    seeds.emplace_back("wavx_pcm24.wav", Riff({Fmt(0, 2, 24, 3, 1), Chunk("data", Laws(12))}));
    // Refused: ADPCM, a foreign GUID, a short extensible 'fmt ', a file cut short.
    seeds.emplace_back("wav_adpcm.wav", Riff({Fmt(2, 1, 4, 1), Chunk("data", Laws(16))}));
    seeds.emplace_back("wavx_foreign.wav",
                       Riff({Fmt(0, 1, 16, 2, 1, true), Chunk("data", Laws(8))}));
    Bytes short_fmt = Fmt(0xFFFE, 1, 16, 2);
    seeds.emplace_back("wavx_short.wav", Riff({short_fmt, Chunk("data", Laws(8))}));
    Bytes cut = Riff({Fmt(1, 2, 16, 2), Chunk("data", Laws(40))});
    cut.resize(cut.size() - 13);
    seeds.emplace_back("wav_cut.wav", cut);
    seeds.emplace_back("wav_no_data.wav", Riff({Fmt(1, 1, 16, 2), Chunk("LIST", Laws(4))}));
    seeds.emplace_back("wav_two_data.wav",
                       Riff({Fmt(1, 1, 16, 2), Chunk("data", Laws(4)), Chunk("data", Laws(8))}));
    Bytes past_end = Riff({Fmt(1, 1, 16, 2), Chunk("data", Laws(12))});
    past_end.resize(past_end.size() - 4);
    seeds.emplace_back("wav_past_end.wav", past_end);

    int written = 0;
    for (const auto& [name, bytes] : seeds) {
        std::FILE* f = std::fopen((dir + "/" + name).c_str(), "wb");
        if (f == nullptr) continue;
        written += std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() ? 1 : 0;
        written -= std::fclose(f) == 0 ? 0 : 1;
    }
    return written;
}

}  // namespace wavseeds
