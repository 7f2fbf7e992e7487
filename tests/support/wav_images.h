#pragma once
// Byte images of WAV files for the file-side tests, built field by field.

#include <cstdint>
#include <vector>

#include "tests/support/file_fixtures.h"

namespace filetest {

// A 'fmt ' chunk (16-byte body) with the given fields.
Bytes FmtChunk(std::uint32_t format_tag, std::uint32_t channels, std::uint32_t rate,
               std::uint32_t byte_rate, std::uint32_t block_align, std::uint32_t bits);
// A consistent PCM 'fmt ' chunk: container of (bits + 7) / 8 bytes.
Bytes PcmFmtChunk(std::uint32_t channels, std::uint32_t rate, std::uint32_t bits);
// A chunk: identifier, little-endian size, body, and a pad byte when the body
// is odd (the size stays the body's).
Bytes Chunk(const char* id, const Bytes& body);
// "RIFF", size (the chunks' length + 4), "WAVE", then the chunks.
Bytes RiffWave(const std::vector<Bytes>& chunks);

}  // namespace filetest
