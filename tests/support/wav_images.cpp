#include "tests/support/wav_images.h"

#include <string>

namespace filetest {

Bytes FmtChunk(std::uint32_t format_tag, std::uint32_t channels, std::uint32_t rate,
               std::uint32_t byte_rate, std::uint32_t block_align, std::uint32_t bits) {
    ByteBuilder b;
    b.U16LE(format_tag).U16LE(channels).U32LE(rate).U32LE(byte_rate).U16LE(block_align).U16LE(bits);
    return Chunk("fmt ", b.bytes());
}

Bytes PcmFmtChunk(std::uint32_t channels, std::uint32_t rate, std::uint32_t bits) {
    const std::uint32_t align = (bits + 7) / 8 * channels;
    return FmtChunk(1, channels, rate, rate * align, align, bits);
}

Bytes Chunk(const char* id, const Bytes& body) {
    ByteBuilder b;
    b.Str(std::string(id, 4)).U32LE(static_cast<std::uint32_t>(body.size())).Append(body);
    if (body.size() & 1) b.U8(0);
    return b.bytes();
}

Bytes RiffWave(const std::vector<Bytes>& chunks) {
    ByteBuilder b;
    std::size_t length = 4;
    for (const auto& c : chunks)
        length += c.size();
    b.Str("RIFF").U32LE(static_cast<std::uint32_t>(length)).Str("WAVE");
    for (const auto& c : chunks)
        b.Append(c);
    return b.bytes();
}

}  // namespace filetest
