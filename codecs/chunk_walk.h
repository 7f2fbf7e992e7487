#pragma once
// The chunk walk that both containers share. A RIFF/WAVE and a FORM/AIFF
// header are the same shape: a 12-byte head chunk, then top-level chunks of a
// 4-byte identifier, a 32-bit size in the container's byte order and `size`
// bytes of body, each starting at an even offset. Each codec describes its
// known chunks in one table; the walk looks every identifier up, runs the
// shared frame of a known chunk (re-read and confirm the identifier, read and
// test the size, decode the body, move on), skips unknown printable chunks
// and stops at the first identifier that is not printable.

#include <cstdint>

#include "wavestream/fstm/wstm_handle.h"

// Decodes a chunk body. The frame has confirmed the identifier and tested
// the size; the stream stands at the first byte of the body
// (current_position + 8). The frame moves current_position past the chunk
// afterwards, except for the container head, whose decoder moves it itself.
using ChunkBodyDecoder = std::int32_t (*)(WstmHandle* handle, std::int64_t size);

// min_size of the container head ('RIFF', 'FORM'): its size field is not
// tested here (the identification compared it with the file size).
inline constexpr std::int32_t kChunkHead = -1;

struct ChunkHandler {
    char id[5];
    const char* alt_id;      // a second accepted spelling, or null
    std::int32_t min_size;   // kChunkHead for the container head
    ChunkBodyDecoder body;   // null: the chunk is skipped
    const char* cannot_get;  // fewer than four identifier bytes
    const char* not_confirmed;
    const char* size_wrong;  // size below min_size or past file_size
};

struct ChunkWalk {
    std::int32_t endian_type;      // kWstmLittleEndian or kWstmBigEndian
    const ChunkHandler* handlers;  // the known identifiers, in search order
    std::int32_t num_handlers;
    const char* cannot_get_name;     // no identifier at a chunk's start
    const char* unknown_size_wrong;  // an unknown chunk's size past file_size
    // The chunk of the sample data. When the handle's data_to_end is set,
    // its body is taken to run to the end of the file whatever its size
    // field says, and the walk ends with it.
    const char* data_id;
};

// True when all four bytes of a chunk identifier lie in 0x20..0x7E.
bool chunk_id_printable(const unsigned char id[4]);

// A chunk's 32-bit size field in the file's byte order, at the stream's
// position.
std::uint32_t chunk_read_size(FstmStream* stream, std::int32_t endian_type);

// The size a chunk's size field stands for: unsigned in a RIFF file (up to
// 4 GB), signed in a FORM file, and for the 'data' chunk of an RF64 file
// (ds64_data_size >= 0) whose field holds the placeholder 0xFFFFFFFF, the
// 'data' size of its 'ds64' chunk.
std::int64_t chunk_size_of(const unsigned char id[4], std::uint32_t field,
                           std::int32_t endian_type, std::int64_t ds64_data_size);

// Runs the walk from current_position (0 after the identification) while a
// chunk head fits below file_size at the next even offset, so that a chunk
// of no body that ends the file (the 'data' chunk of a file without frames)
// is read too; the first chunk is always read. 0, or -1 after reporting the
// first failure.
[[nodiscard]] std::int32_t chunk_walk(WstmHandle* handle, const ChunkWalk& walk);

// Visits the chunk heads from offset 12 without decoding them: each
// printable identifier with the offset of its body and its size field, until
// the end of the file, an identifier that is not printable, or `visit`
// returning false. The stream's position is left anywhere.
using ChunkVisitor = bool (*)(void* context, FstmStream* stream, const unsigned char id[4],
                              std::int64_t body, std::uint32_t size);
void chunk_scan(WstmHandle* handle, std::int32_t endian_type, ChunkVisitor visit, void* context);

// The messages of the format-field tests of a header, one per test.
struct HeaderFieldMessages {
    const char* rate_wrong;        // sampling_rate <= 0
    const char* rate_unavailable;  // outside 10..384000
    const char* channels_wrong;    // num_channels <= 0
    const char* bits_wrong;        // num_bits <= 0
    const char* bits_unavailable;  // num_bits > 32
    const char* samples_wrong;     // num_samples >= 2^31
};

// The format-field tests that decoded and new headers of both containers
// share, in this order; the first failure is reported with its message from
// `messages`. 0, or -1.
[[nodiscard]] std::int32_t chunk_check_header_fields(const WstmHandle* handle,
                                                     const HeaderFieldMessages& messages);

// Reports `message` through NUVERR_Report and gives -1.
std::int32_t chunk_fail(const char* message);

// Appending a chunk after the sample data at close. chunk_start_trailer
// seeks to the end of the file and, when a chunk with a body of body_size
// bytes keeps the file at `largest` bytes or less (2^31 - 1 for a classic
// file), writes the pad byte that puts it on an even offset and gives true.
// chunk_finish_trailer rewrites the container size (everything after its
// 8-byte head, pad bytes too) in the file's byte order and returns to the
// end.
bool chunk_start_trailer(FstmStream* stream, std::int32_t body_size,
                         std::int64_t largest = kWstmMaxFileSize);
// chunk_start_trailer, then the chunk's head: its 4-character identifier
// and body_size in the file's byte order (endian_type).
bool chunk_begin_trailer(FstmStream* stream, const char* id, std::int32_t body_size,
                         std::int32_t endian_type, std::int64_t largest = kWstmMaxFileSize);
void chunk_finish_trailer(FstmStream* stream, std::int32_t endian_type);
