#include "convert_fixture.h"

#include <cstring>

namespace conv {

namespace {

void PutU16(std::string& b, std::uint32_t v) {
    b.push_back(static_cast<char>(v & 0xFF));
    b.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void PutU32(std::string& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::uint32_t GetU32(const std::string& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    return v;
}

std::uint32_t GetU16(const std::string& b, std::size_t at) {
    return static_cast<unsigned char>(b[at]) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8);
}

void PutChunk(std::string& out, const char* id, const std::string& body) {
    out.append(id, 4);
    PutU32(out, static_cast<std::uint32_t>(body.size()));
    out += body;
    if (body.size() % 2 != 0) out.push_back('\0');
}

}  // namespace

std::string EncodeWav(const WavFile& wav) {
    const int bytes = (wav.bits + 7) / 8;
    std::string fmt;
    PutU16(fmt, 1);
    PutU16(fmt, static_cast<std::uint32_t>(wav.channels));
    PutU32(fmt, static_cast<std::uint32_t>(wav.rate));
    PutU32(fmt, static_cast<std::uint32_t>(wav.rate * wav.channels * bytes));
    PutU16(fmt, static_cast<std::uint32_t>(wav.channels * bytes));
    PutU16(fmt, static_cast<std::uint32_t>(wav.bits));

    std::string data;
    for (std::int32_t s : wav.samples) {
        const auto v = static_cast<std::uint32_t>(s);
        for (int i = 0; i < bytes; ++i)
            data.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }

    std::string chunks;
    PutChunk(chunks, "fmt ", fmt);
    PutChunk(chunks, "data", data);
    if (!wav.markers.empty()) {
        std::string cue;
        PutU32(cue, static_cast<std::uint32_t>(wav.markers.size()));
        for (std::size_t i = 0; i < wav.markers.size(); ++i) {
            PutU32(cue, static_cast<std::uint32_t>(i + 1));
            PutU32(cue, wav.markers[i]);
            cue += "data";
            PutU32(cue, 0);
            PutU32(cue, 0);
            PutU32(cue, wav.markers[i]);
        }
        PutChunk(chunks, "cue ", cue);
    }
    if (!wav.loops.empty()) {
        std::string smpl;
        for (int i = 0; i < 7; ++i)
            PutU32(smpl, 0);
        PutU32(smpl, static_cast<std::uint32_t>(wav.loops.size()));
        PutU32(smpl, 0);
        for (std::size_t i = 0; i < wav.loops.size(); ++i) {
            PutU32(smpl, static_cast<std::uint32_t>(i));
            PutU32(smpl, 0);
            PutU32(smpl, wav.loops[i].start);
            PutU32(smpl, wav.loops[i].end);
            PutU32(smpl, 0);
            PutU32(smpl, 0);
        }
        PutChunk(chunks, "smpl", smpl);
    }

    std::string out = "RIFF";
    PutU32(out, static_cast<std::uint32_t>(chunks.size() + 4));
    out += "WAVE";
    out += chunks;
    return out;
}

bool DecodeWav(const std::string& b, WavFile* wav) {
    if (b.size() < 12 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0) {
        ADD_FAILURE() << "not a RIFF/WAVE file";
        return false;
    }
    *wav = WavFile{};
    std::size_t at = 12;
    bool have_fmt = false;
    bool have_data = false;
    while (at + 8 <= b.size()) {
        const std::string id = b.substr(at, 4);
        const std::size_t size = GetU32(b, at + 4);
        const std::size_t body = at + 8;
        if (body + size > b.size()) {
            ADD_FAILURE() << "chunk '" << id << "' runs past the end of the file";
            return false;
        }
        if (id == "fmt ") {
            wav->channels = static_cast<int>(GetU16(b, body + 2));
            wav->rate = static_cast<int>(GetU32(b, body + 4));
            wav->bits = static_cast<int>(GetU16(b, body + 14));
            have_fmt = true;
        } else if (id == "data" && have_fmt) {
            const std::size_t bytes = static_cast<std::size_t>((wav->bits + 7) / 8);
            for (std::size_t i = 0; i + bytes <= size; i += bytes) {
                std::uint32_t v = 0;
                for (std::size_t k = 0; k < bytes; ++k) {
                    v |= static_cast<std::uint32_t>(static_cast<unsigned char>(b[body + i + k]))
                         << (8 * k);
                }
                const int shift = 32 - static_cast<int>(8 * bytes);
                wav->samples.push_back(static_cast<std::int32_t>(v << shift) >> shift);
            }
            have_data = true;
        } else if (id == "cue ") {
            const std::uint32_t count = GetU32(b, body);
            for (std::uint32_t i = 0; i < count; ++i)
                wav->markers.push_back(GetU32(b, body + 4 + 24 * i + 20));
        } else if (id == "smpl") {
            const std::uint32_t count = GetU32(b, body + 28);
            for (std::uint32_t i = 0; i < count; ++i) {
                wav->loops.push_back(
                    {GetU32(b, body + 36 + 24 * i + 8), GetU32(b, body + 36 + 24 * i + 12)});
            }
        }
        at = body + size + (size % 2);
    }
    if (!have_data) ADD_FAILURE() << "no 'data' chunk";
    return have_data;
}

std::string AfterBanner(const std::string& out) {
    std::size_t at = 0;
    for (int i = 0; i < 3 && at != std::string::npos; ++i) {
        at = out.find('\n', at);
        if (at != std::string::npos) ++at;
    }
    return at == std::string::npos ? std::string() : out.substr(at);
}

std::string ParameterBlock(const std::string& format_in, const std::string& format_out, int rate_in,
                           int rate_out, int ch_in, int ch_out, int bits_in, int bits_out,
                           long samples_in, long samples_out, const std::string& volume,
                           const std::string& mode) {
    return "<< Parameters >>\n"
           " file format                : " +
           format_in + " -> " + format_out + "\n" +
           " sampling frequency         : " + std::to_string(rate_in) + "(Hz) -> " +
           std::to_string(rate_out) + "(Hz)\n" +
           " number of channels         : " + std::to_string(ch_in) + "(ch) -> " +
           std::to_string(ch_out) + "(ch)\n" +
           " number of quantization bit : " + std::to_string(bits_in) + "(bit) -> " +
           std::to_string(bits_out) + "(bit)\n" +
           " number of samples          : " + std::to_string(samples_in) + " -> " +
           std::to_string(samples_out) + "\n" + " volume control             : " + volume +
           "(dB)\n" + " conversion mode            : " + mode + "\n\n";
}

WavFile LoudPairs() {
    WavFile in = MakeWav(22050, 2, 6, [](std::size_t, int) { return 0; });
    const std::int32_t pairs[6][2] = {{1000, 2000},     {20000, 20000}, {32767, 32767},
                                      {-32768, -32768}, {-30000, 1000}, {-20000, -13000}};
    for (std::size_t k = 0; k < 6; ++k) {
        in.samples[2 * k] = pairs[k][0];
        in.samples[2 * k + 1] = pairs[k][1];
    }
    return in;
}

}  // namespace conv
