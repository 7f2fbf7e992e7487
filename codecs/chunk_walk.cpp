#include "codecs/chunk_walk.h"

#include <cstring>

#include "runtime/nuverr.h"

namespace {

// An identifier in neither table but printable goes to the generic skip.
constexpr std::int32_t kUnknownPrintable = -2;
constexpr std::int32_t kNotAChunk = -1;

// The size of the chunk with this identifier, its field at the stream's
// position.
std::int64_t ReadSize(const WstmHandle* handle, const ChunkWalk& walk, const unsigned char id[4]) {
    return chunk_size_of(id, chunk_read_size(handle->stream, walk.endian_type), walk.endian_type,
                         handle->rf64 ? handle->ds64_data_size : -1);
}

// current_position + size <= file_size, without the 8-byte head.
bool SizeFits(const WstmHandle* handle, std::int64_t size) {
    return handle->current_position + size <= handle->file_size;
}

// Moves past the chunk (the size test has bounded it by file_size).
void Advance(WstmHandle* handle, std::int64_t size) { handle->current_position += size + 8; }

// The index of the identifier in the table, kUnknownPrintable for four
// printable bytes not in it, kNotAChunk otherwise.
std::int32_t FindChunk(const ChunkWalk& walk, const unsigned char id[4]) {
    for (std::int32_t i = 0; i < walk.num_handlers; ++i) {
        if (std::memcmp(id, walk.handlers[i].id, 4) == 0) return i;
    }
    return chunk_id_printable(id) ? kUnknownPrintable : kNotAChunk;
}

bool Confirmed(const unsigned char id[4], const ChunkHandler& chunk) {
    return std::memcmp(id, chunk.id, 4) == 0 ||
           (chunk.alt_id != nullptr && std::memcmp(id, chunk.alt_id, 4) == 0);
}

// The frame of every known chunk.
std::int32_t RunHandler(WstmHandle* handle, const ChunkWalk& walk, const ChunkHandler& chunk) {
    (void)FSTM_Seek(handle->stream, handle->current_position, 0);
    unsigned char id[4];
    if (FSTM_Read(handle->stream, id, 4) != 4) return chunk_fail(chunk.cannot_get);
    if (!Confirmed(id, chunk)) return chunk_fail(chunk.not_confirmed);
    std::int64_t size = ReadSize(handle, walk, id);
    if (chunk.min_size == kChunkHead) return chunk.body(handle, size);
    if (handle->data_to_end && walk.data_id != nullptr && std::memcmp(id, walk.data_id, 4) == 0) {
        // Written to a pipe: the samples run to the end of the file, and no
        // chunk follows them.
        size = handle->file_size - handle->current_position - 8;
        if (size < 0) return chunk_fail(chunk.size_wrong);
        if (chunk.body(handle, size) < 0) return -1;
        handle->current_position = handle->file_size;
        return 0;
    }
    if (size < chunk.min_size || !SizeFits(handle, size)) return chunk_fail(chunk.size_wrong);
    if (chunk.body != nullptr && chunk.body(handle, size) < 0) return -1;
    Advance(handle, size);
    return 0;
}

std::int32_t SkipChunk(WstmHandle* handle, const ChunkWalk& walk, const unsigned char id[4]) {
    (void)FSTM_Seek(handle->stream, handle->current_position + 4, 0);
    const std::int64_t size = ReadSize(handle, walk, id);
    if (size < 0 || !SizeFits(handle, size)) return chunk_fail(walk.unknown_size_wrong);
    Advance(handle, size);
    return 0;
}

}  // namespace

std::int32_t chunk_fail(const char* message) {
    NUVERR_Report(message);
    return -1;
}

bool chunk_id_printable(const unsigned char id[4]) {
    for (int i = 0; i < 4; ++i) {
        if (id[i] < 0x20 || id[i] > 0x7E) return false;
    }
    return true;
}

std::uint32_t chunk_read_size(FstmStream* stream, std::int32_t endian_type) {
    return endian_type == kWstmBigEndian ? FSTM_ReadU32BE(stream) : FSTM_ReadU32LE(stream);
}

std::int32_t chunk_walk(WstmHandle* handle, const ChunkWalk& walk) {
    do {
        if (handle->current_position & 1) ++handle->current_position;
        (void)FSTM_Seek(handle->stream, handle->current_position, 0);
        unsigned char id[4];
        if (FSTM_Read(handle->stream, id, 4) != 4) return chunk_fail(walk.cannot_get_name);
        const std::int32_t index = FindChunk(walk, id);
        if (index == kNotAChunk) break;
        const std::int32_t result = index == kUnknownPrintable
                                        ? SkipChunk(handle, walk, id)
                                        : RunHandler(handle, walk, walk.handlers[index]);
        if (result < 0) return -1;
    } while (handle->current_position + (handle->current_position & 1) + 8 <= handle->file_size);
    return 0;
}

void chunk_scan(WstmHandle* handle, std::int32_t endian_type, ChunkVisitor visit, void* context) {
    FstmStream* s = handle->stream;
    for (std::int64_t position = 12; position + 8 <= handle->file_size;) {
        unsigned char id[4];
        if (FSTM_Seek(s, position, 0) < 0) return;
        if (FSTM_Read(s, id, 4) != 4 || !chunk_id_printable(id)) return;
        const std::uint32_t size = chunk_read_size(s, endian_type);
        if (!visit(context, s, id, position + 8, size)) return;
        // The 'data' of an RF64 file has its size in 'ds64'.
        const std::int64_t body =
            handle->rf64 ? chunk_size_of(id, size, endian_type, handle->ds64_data_size) : size;
        position += 8 + body + (body & 1);
    }
}

std::int64_t chunk_size_of(const unsigned char id[4], std::uint32_t field,
                           std::int32_t endian_type, std::int64_t ds64_data_size) {
    if (endian_type == kWstmBigEndian) return static_cast<std::int32_t>(field);
    if (field == 0xFFFFFFFFu && ds64_data_size >= 0 && std::memcmp(id, "data", 4) == 0)
        return ds64_data_size;
    return field;
}

std::int32_t chunk_check_header_fields(const WstmHandle* h, const HeaderFieldMessages& messages) {
    if (h->sampling_rate <= 0) return chunk_fail(messages.rate_wrong);
    if (h->sampling_rate < 10 || h->sampling_rate > 384000) {
        return chunk_fail(messages.rate_unavailable);
    }
    if (h->num_channels <= 0) return chunk_fail(messages.channels_wrong);
    if (h->num_bits <= 0) return chunk_fail(messages.bits_wrong);
    if (h->num_bits > 32) return chunk_fail(messages.bits_unavailable);
    if (static_cast<std::int32_t>(h->num_samples) < 0) return chunk_fail(messages.samples_wrong);
    return 0;
}

bool chunk_start_trailer(FstmStream* stream, std::int32_t body_size, std::int64_t largest) {
    const std::int64_t end = FSTM_Seek(stream, 0, 2);
    if (end < 0) return false;
    const std::int64_t pad = end & 1;
    if (end + pad + body_size + 8 > largest) return false;
    if (pad != 0) FSTM_WriteU8(stream, 0);
    return true;
}

bool chunk_begin_trailer(FstmStream* stream, const char* id, std::int32_t body_size,
                         std::int32_t endian_type, std::int64_t largest) {
    if (!chunk_start_trailer(stream, body_size, largest)) return false;
    FSTM_Write(stream, id, 4);
    if (endian_type == kWstmBigEndian) {
        FSTM_WriteU32BE(stream, static_cast<std::uint32_t>(body_size));
    } else {
        FSTM_WriteU32LE(stream, static_cast<std::uint32_t>(body_size));
    }
    return true;
}

void chunk_finish_trailer(FstmStream* stream, std::int32_t endian_type) {
    const std::int64_t end = FSTM_Tell(stream);
    (void)FSTM_Seek(stream, 4, 0);
    const auto size = static_cast<std::uint32_t>(end - 8);
    if (endian_type == kWstmBigEndian) {
        FSTM_WriteU32BE(stream, size);
    } else {
        FSTM_WriteU32LE(stream, size);
    }
    (void)FSTM_Seek(stream, 0, 2);
}
