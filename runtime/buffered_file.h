#pragma once
// Buffered file I/O: the one FileIoInterface table of the program.
//
// A file opened for reading is read through a 1 MiB read-ahead buffer that the
// file's own worker service refills in the background (the first block is
// loaded by the open itself, and a seek within the block in the buffer
// reads nothing again); a file created for writing is written through a
// 1 MiB write-behind buffer that the worker empties in the background when
// it is full (a seek or the close empties it on the calling thread). The
// worker's thread starts with its first job, so a file of up to one block
// is read or written without one. The caller sees a plain byte stream with a
// position: every read, write and seek is complete, as far as the caller's
// view of the data goes, when it returns.
//
// Every operation of the table runs whole under one process-wide busy flag
// (an atomic exchange; 10 ms sleeps while another thread holds it). Worker
// jobs do not take it.
//
// Nothing is lost silently: a read that fails for another reason than the
// end of the file, and a write that does not complete, are reported through
// NUVERR_Report and remembered by the file. BufferedFile_GetError tells
// whether any transfer failed so far; BufferedFile_Close answers the same
// question including its own last flush. A failed call on the file is also
// noted with the file's path and the system's error (platform/file_error.h).

#include <atomic>
#include <cstdint>
#include <cstring>

#include "platform/thread_annotations.h"
#include "runtime/nuvdlg.h"

// The table of file operations through which the file stream reaches a file.
// Slots 2 and 11 are empty.
struct FileIoInterface {
    void* (*open_read)(const char* path);  // 0
    void* (*create)(const char* path);     // 1
    void* reserved2;                       // 2
    std::int32_t (*close)(void* file);     // 3: 0, or -1 if a transfer failed
    std::int32_t (*read)(void* file, void* buffer,
                         std::int32_t count);                           // 4: count delivered, or -1
    void (*write)(void* file, const void* buffer, std::int32_t count);  // 5
    std::int64_t (*seek)(void* file, std::int64_t offset,
                         std::int32_t origin);                 // 6: new position, or -1
    std::int64_t (*tell)(void* file);                          // 7
    std::int64_t (*get_size)(void* file);                      // 8: size on disk, or -1
    void (*set_end_of_file)(void* file, std::int64_t length);  // 9
    std::int32_t (*get_error)(void* file);                     // 10: 0, or -1 if a transfer failed
    void* reserved11;                                          // 11
};

// Size of the read-ahead and write-behind buffer.
inline constexpr std::int32_t kBufferedFileBlock = 1 << 20;

// The platform calls the buffered file makes. The default set is the
// platform's own; a replacement (for example one that makes a chosen call
// fail) can be installed while no buffered file is open.
struct BufferedFilePlatform {
    int (*open_read)(const char* path);
    int (*create)(const char* path);
    std::int32_t (*read)(int fd, void* buffer, std::int32_t count);
    std::int32_t (*write)(int fd, const void* buffer, std::int32_t count);
    std::int64_t (*seek)(int fd, std::int64_t offset, int origin);
    std::int64_t (*size)(int fd);
    int (*truncate)(int fd, std::int64_t length);
    int (*close)(int fd);
};

namespace buffered_file_detail {

// The process-wide busy flag: every operation of the file layer runs whole
// while holding it. Taking it is an acquire exchange and giving it back a
// release store, so what one holder wrote is seen by the next.
class TOLMEK_CAPABILITY("busy flag") BusyFlag {
  public:
    void Take() TOLMEK_ACQUIRE() {
        if (word_.exchange(1, std::memory_order_acquire) != 0) [[unlikely]]
            TakeContended();
    }
    void Release() TOLMEK_RELEASE() { word_.store(0, std::memory_order_release); }
    [[nodiscard]] bool IsTaken() const { return word_.load(std::memory_order_acquire) != 0; }

  private:
    // Takes the flag after a first attempt found it taken.
    void TakeContended();
    std::atomic<std::int32_t> word_{0};
};

extern BusyFlag busy;
inline void TakeBusy() TOLMEK_ACQUIRE(busy) { busy.Take(); }
inline void ReleaseBusy() TOLMEK_RELEASE(busy) { busy.Release(); }

}  // namespace buffered_file_detail

// The record of one open file. Its layout is public only so that the sample
// path can run its common case inline (see BufferedFile_ReadInline and
// BufferedFile_WriteInline); everything else goes through the functions
// below. Allocated zero-filled; the 1 MiB buffer is part of the record.
struct BufferedFile {
    const BufferedFilePlatform* os;  // the calls this file makes, fixed at open
    char* path;                      // the name it was opened by, for error reports
    std::int32_t has_file;
    int fd;
    std::int32_t reading;
    std::int32_t writing;
    std::int64_t position TOLMEK_GUARDED_BY(buffered_file_detail::busy);  // the caller's position
    std::int64_t fill_offset;   // reading: offset of the block the next refill loads
    std::int64_t flush_offset;  // writing: offset at which the buffered bytes belong
    std::int32_t buffered;      // writing: bytes waiting in the buffer
    std::int32_t failed;        // 1 once a transfer failed; set by jobs and the caller
    std::int32_t service_held;
    NuvDlgHandle service;
    // Request number of the job not yet waited for, or 0.
    std::int32_t outstanding TOLMEK_GUARDED_BY(buffered_file_detail::busy);
    std::int32_t dirty_end;  // reading: bytes at the buffer's start that may be nonzero
    std::int32_t rewritten;  // reading: 1 once the file was written or cut through this handle
    alignas(8) unsigned char service_area[NUVDLG_WORK_AREA_SIZE];
    unsigned char buffer[kBufferedFileBlock];
};

namespace buffered_file_detail {

// The general read and write, called with the flag held.
std::int32_t ReadHeld(BufferedFile* file, void* destination, std::int32_t count)
    TOLMEK_REQUIRES(busy);
void WriteHeld(BufferedFile* file, const void* source, std::int32_t count) TOLMEK_REQUIRES(busy);

// memcpy with the sizes of single fields and frames expanded inline.
inline void SmallCopy(void* to, const void* from, std::int32_t count) {
    switch (count) {
        case 1: std::memcpy(to, from, 1); break;
        case 2: std::memcpy(to, from, 2); break;
        case 3: std::memcpy(to, from, 3); break;
        case 4: std::memcpy(to, from, 4); break;
        case 6: std::memcpy(to, from, 6); break;
        case 8: std::memcpy(to, from, 8); break;
        default: std::memcpy(to, from, static_cast<std::size_t>(count)); break;
    }
}

}  // namespace buffered_file_detail

// BufferedFile_Read and BufferedFile_Write with their common case inline: a
// transfer that lies inside the loaded block, or fits the write-behind buffer,
// while no job is outstanding is one memory copy under the busy flag.
// Everything else runs out of line under the same single take of the flag.
inline std::int32_t BufferedFile_ReadInline(BufferedFile* file, void* destination,
                                            std::int32_t count) {
    if (file == nullptr || destination == nullptr || count < 0) return -1;
    buffered_file_detail::TakeBusy();
    std::int32_t result = count;
    const auto at = static_cast<std::int32_t>(file->position & (kBufferedFileBlock - 1));
    if (file->reading != 0 && file->outstanding == 0 && count < kBufferedFileBlock - at)
        [[likely]] {
        buffered_file_detail::SmallCopy(destination, file->buffer + at, count);
        file->position += count;
    } else {
        result = buffered_file_detail::ReadHeld(file, destination, count);
    }
    buffered_file_detail::ReleaseBusy();
    return result;
}

inline void BufferedFile_WriteInline(BufferedFile* file, const void* source, std::int32_t count) {
    if (file == nullptr || source == nullptr || count <= 0) return;
    buffered_file_detail::TakeBusy();
    // buffered belongs to the flush job while one is outstanding: it is read
    // only after the check.
    if (file->writing != 0 && file->outstanding == 0 &&
        count < kBufferedFileBlock - file->buffered) [[likely]] {
        buffered_file_detail::SmallCopy(file->buffer + file->buffered, source, count);
        file->buffered += count;
        file->position += count;
    } else {
        buffered_file_detail::WriteHeld(file, source, count);
    }
    buffered_file_detail::ReleaseBusy();
}

// The program's one FileIoInterface table, built from the operations below.
const FileIoInterface* BufferedFile_Interface();

BufferedFile* BufferedFile_OpenRead(const char* path);
BufferedFile* BufferedFile_Create(const char* path);
// Waits for the outstanding job, writes out what is buffered, stops the
// worker and closes the file. Gives 0, or -1 when any transfer of the file
// failed during its life, the last flush included.
std::int32_t BufferedFile_Close(BufferedFile* file);
// Always delivers count bytes for a file opened for reading: bytes beyond the
// end of the file read as zeros.
std::int32_t BufferedFile_Read(BufferedFile* file, void* destination, std::int32_t count);
// count is at most 1 MiB.
void BufferedFile_Write(BufferedFile* file, const void* source, std::int32_t count);
// origin 0 beginning, 1 current position, 2 end. Every byte written before the
// seek is on disk when it returns. Gives the new position, or -1.
std::int64_t BufferedFile_Seek(BufferedFile* file, std::int64_t offset, std::int32_t origin);
std::int64_t BufferedFile_Tell(BufferedFile* file);
// Size on disk (bytes still in the write-behind buffer are not counted), or -1.
std::int64_t BufferedFile_GetSize(BufferedFile* file);
void BufferedFile_SetEndOfFile(BufferedFile* file, std::int64_t length);
// 0 while every transfer so far succeeded, -1 once one failed.
std::int32_t BufferedFile_GetError(BufferedFile* file);

// The platform's own calls.
const BufferedFilePlatform* BufferedFile_DefaultPlatform();
// Installs calls (null: the defaults) and gives the set installed before.
const BufferedFilePlatform* BufferedFile_SetPlatform(const BufferedFilePlatform* platform);
