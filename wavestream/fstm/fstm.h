#pragma once
// File stream: one open file bound to the FileIoInterface table, and the
// field readers and writers that move one integer field of 8 to 32 bits
// between a 32-bit value and the stream in a named byte order.
//
// FSTM reports nothing through the error callback; its failures show only in
// its results. Field readers ignore short reads (the file layer delivers zeros
// past the end of a file) and field writers always give 0.

#include <cstdint>

#include "runtime/buffered_file.h"

struct FstmStream {
    const FileIoInterface* interface;
    void* file;  // never null while the stream lives
    // The same file object when interface is the program's own table, so that
    // reads and writes reach it without the table; null otherwise, and null
    // whenever file is.
    BufferedFile* buffered_file;
};

// Open or create through the program's table; null on failure or null path.
FstmStream* FSTM_OpenRead(const char* path);
FstmStream* FSTM_Create(const char* path);
// Closes the file and frees the record. Gives 0, or -1 when a transfer of
// the file failed during its life (the last flush included) or the stream
// is null or empty.
std::int32_t FSTM_Close(FstmStream* stream);
// Forwarded to the table's read and write; -1 (or nothing) for a null or
// empty stream. Inline: every sample frame passes through them, and with the
// program's own table the common case of the buffered file runs in place.
inline std::int32_t FSTM_Read(FstmStream* stream, void* buffer, std::int32_t count) {
    if (stream == nullptr) return -1;
    if (stream->buffered_file != nullptr) [[likely]] {
        return BufferedFile_ReadInline(stream->buffered_file, buffer, count);
    }
    if (stream->file == nullptr) return -1;
    return stream->interface->read(stream->file, buffer, count);
}
inline void FSTM_Write(FstmStream* stream, const void* buffer, std::int32_t count) {
    if (stream == nullptr) return;
    if (stream->buffered_file != nullptr) [[likely]] {
        BufferedFile_WriteInline(stream->buffered_file, buffer, count);
        return;
    }
    if (stream->file == nullptr) return;
    stream->interface->write(stream->file, buffer, count);
}
// Positions and sizes are 64-bit byte offsets.
std::int64_t FSTM_Seek(FstmStream* stream, std::int64_t offset, std::int32_t origin);
std::int64_t FSTM_Tell(FstmStream* stream);
std::int64_t FSTM_GetSize(FstmStream* stream);
// 0 while every transfer of the file succeeded, -1 once one failed (or for a
// null or empty stream).
std::int32_t FSTM_GetError(FstmStream* stream);

// Field readers: the field's bytes at the current position, in the low bits.
std::uint32_t FSTM_ReadU8(FstmStream* stream);
std::uint32_t FSTM_ReadU16BE(FstmStream* stream);
std::uint32_t FSTM_ReadU16LE(FstmStream* stream);
std::uint32_t FSTM_ReadS24BE(FstmStream* stream);
std::uint32_t FSTM_ReadU24LE(FstmStream* stream);
std::uint32_t FSTM_ReadU32BE(FstmStream* stream);
std::uint32_t FSTM_ReadU32LE(FstmStream* stream);
std::uint64_t FSTM_ReadU64LE(FstmStream* stream);

// Field writers: the low bits of value; bits above the field are never written.
std::int32_t FSTM_WriteU8(FstmStream* stream, std::uint32_t value);
std::int32_t FSTM_WriteU16BE(FstmStream* stream, std::uint32_t value);
std::int32_t FSTM_WriteU16LE(FstmStream* stream, std::uint32_t value);
std::int32_t FSTM_WriteU24BE(FstmStream* stream, std::uint32_t value);
std::int32_t FSTM_WriteU24LE(FstmStream* stream, std::uint32_t value);
std::int32_t FSTM_WriteU32BE(FstmStream* stream, std::uint32_t value);
std::int32_t FSTM_WriteU32LE(FstmStream* stream, std::uint32_t value);
std::int32_t FSTM_WriteU64LE(FstmStream* stream, std::uint64_t value);
