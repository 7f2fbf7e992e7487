#include "runtime/buffered_file.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/file.h"
#include "platform/file_error.h"
#include "platform/sync.h"
#include "runtime/nuvdlg.h"
#include "runtime/nuverr.h"

namespace {

using ServiceHandle = NuvDlgHandle;

constexpr std::int32_t kBlock = kBufferedFileBlock;

const BufferedFilePlatform kDefaultPlatform = {
    platform::FileOpenRead, platform::FileCreate, platform::FileRead,     platform::FileWrite,
    platform::FileSeek,     platform::FileSize,   platform::FileTruncate, platform::FileClose,
};

std::atomic<const BufferedFilePlatform*> g_platform{&kDefaultPlatform};

}  // namespace

// Serialises every operation of the table across all files and threads.
buffered_file_detail::BusyFlag buffered_file_detail::busy;

void buffered_file_detail::BusyFlag::TakeContended() {
    do {
        platform::SleepMilliseconds(10);
    } while (word_.exchange(1, std::memory_order_acquire) != 0);
}

namespace {

using buffered_file_detail::busy;

class TOLMEK_SCOPED_CAPABILITY BusyGuard {
  public:
    BusyGuard() TOLMEK_ACQUIRE(busy) { buffered_file_detail::TakeBusy(); }
    ~BusyGuard() TOLMEK_RELEASE() { buffered_file_detail::ReleaseBusy(); }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;
};

// Marks the file failed after a failed platform call: the system's error is
// taken first, before the report can change it, and noted with the path.
void Fail(BufferedFile* f, const char* text) {
    const int error_number = platform::LastSystemError();
    if (text != nullptr) NUVERR_Report(text);
    platform::NoteFileError(f->path, error_number);
    f->failed = 1;
}

// Refill job (worker): loads the block at fill_offset; the part beyond the end
// of the file reads as zeros. Only the bytes an earlier fill left beyond this
// one's end are cleared: a short file read again and again (the header walk
// seeks several times) does not clear the whole block each time.
int RefillJob(void* argument) {
    auto* f = static_cast<BufferedFile*>(argument);
    if (f->os->seek(f->fd, f->fill_offset, 0) < 0) {
        Fail(f, "E2006110110 : Seek operation has failed.");
        std::memset(f->buffer, 0, kBlock);
        f->dirty_end = 0;
    } else {
        const std::int32_t n = f->os->read(f->fd, f->buffer, kBlock);
        if (n < 0) {
            Fail(f, "E2006110111 : Reading error occurred.");
            std::memset(f->buffer, 0, kBlock);
            f->dirty_end = 0;
        } else {
            if (n < f->dirty_end)
                std::memset(f->buffer + n, 0, static_cast<std::size_t>(f->dirty_end - n));
            f->dirty_end = n;
        }
    }
    f->fill_offset += kBlock;
    return 0;
}

// Writes the buffered bytes at flush_offset; on success the buffer is empty.
bool WriteBuffered(BufferedFile* f) {
    if (f->os->seek(f->fd, f->flush_offset, 0) < 0) {
        Fail(f, "E2006110310 : Seek operation has failed.");
        return false;
    }
    if (f->os->write(f->fd, f->buffer, f->buffered) != f->buffered) {
        Fail(f, "E2006110311 : Writing error occurred.");
        return false;
    }
    f->flush_offset += f->buffered;
    f->buffered = 0;
    return true;
}

// Flush job (worker). After a failure the bytes stay in the buffer.
int FlushJob(void* argument) {
    (void)WriteBuffered(static_cast<BufferedFile*>(argument));
    return 0;
}

void WaitOutstanding(BufferedFile* f) TOLMEK_REQUIRES(busy) {
    if (f->outstanding > 0) {
        NUVDLG_Wait(f->service, f->outstanding);
        f->outstanding = 0;
    }
}

// Posts a job; a service that refuses it gets the job run here instead.
void Post(BufferedFile* f, int (*job)(void*)) TOLMEK_REQUIRES(busy) {
    const std::int32_t number = NUVDLG_Request(f->service, job, f);
    if (number > 0) {
        f->outstanding = number;
    } else {
        f->outstanding = 0;
        job(f);
    }
}

// A flush that is waited for at once runs here: handing it to the worker
// would only add the hand-off (and, for a short output, start its thread).
void FlushNow(BufferedFile* f) TOLMEK_REQUIRES(busy) {
    WaitOutstanding(f);
    (void)FlushJob(f);
}

// Empties the buffer whatever happens: a flush, and after a failed flush one
// direct retry at the same offset; bytes that still cannot be written are
// dropped (the failure was reported and stays remembered), so the buffer is
// never overrun and never written at a wrong offset.
void FlushOrDrop(BufferedFile* f) TOLMEK_REQUIRES(busy) {
    if (f->buffered == 0) return;
    FlushNow(f);
    if (f->buffered == 0) return;
    if (WriteBuffered(f)) return;
    f->flush_offset += f->buffered;
    f->buffered = 0;
}

void Release(BufferedFile* f) {
    if (f->service != ServiceHandle{}) {
        NUVDLG_Destroy(f->service);
        f->service = ServiceHandle{};
    }
    if (f->service_held) {
        NUVDLG_Finish();
        f->service_held = 0;
    }
    if (f->has_file) {
        if (f->os->close(f->fd) != 0) Fail(f, nullptr);
        f->has_file = 0;
    }
    std::free(f->path);
    std::free(f);
}

BufferedFile* Open(const char* path, bool for_writing) TOLMEK_REQUIRES(busy) {
    auto* f = static_cast<BufferedFile*>(std::calloc(1, sizeof(BufferedFile)));
    if (f == nullptr) {
        NUVERR_Report(for_writing ? "E2006110108 : Can not allocate memory."
                                  : "E2006110106 : Can not allocate memory.");
        return nullptr;
    }
    f->os = g_platform.load(std::memory_order_acquire);
    const std::size_t length = std::strlen(path) + 1;
    f->path = static_cast<char*>(std::malloc(length));
    if (f->path != nullptr) std::memcpy(f->path, path, length);
    f->fd = for_writing ? f->os->create(path) : f->os->open_read(path);
    if (f->fd < 0) {
        Fail(f, for_writing ? "E2006110109 : Can not create file."
                            : "E2006110109 : Can not open file.");
        Release(f);
        return nullptr;
    }
    f->has_file = 1;
    NUVDLG_Init();
    f->service_held = 1;
    f->service = NUVDLG_Create(f->service_area, NUVDLG_WORK_AREA_SIZE);
    if (f->service == ServiceHandle{}) {
        NUVERR_Report("E2006110103 : Can not create delegate.");
        Release(f);
        return nullptr;
    }
    if (for_writing) {
        f->writing = 1;
    } else {
        // The first block is loaded here: the caller reads the header from
        // it at once. Blocks after it load in the background.
        f->reading = 1;
        (void)RefillJob(f);
    }
    return f;
}

// Transfers that bypass the buffer: writes to a reading file, reads from a
// writing file. They use the file's own pointer.
std::int32_t DirectRead(BufferedFile* f, void* destination, std::int32_t count)
    TOLMEK_REQUIRES(busy) {
    WaitOutstanding(f);
    const std::int32_t n = f->os->read(f->fd, destination, count);
    if (n < 0) {
        Fail(f, "E2006110111 : Reading error occurred.");
        return -1;
    }
    std::memset(static_cast<unsigned char*>(destination) + n, 0,
                static_cast<std::size_t>(count - n));
    return n;
}

void DirectWrite(BufferedFile* f, const void* source, std::int32_t count) TOLMEK_REQUIRES(busy) {
    WaitOutstanding(f);
    f->rewritten = 1;
    if (f->os->write(f->fd, source, count) != count) {
        Fail(f, "E2006110311 : Writing error occurred.");
    }
}

void* IoOpenRead(const char* path) { return BufferedFile_OpenRead(path); }
void* IoCreate(const char* path) { return BufferedFile_Create(path); }
std::int32_t IoClose(void* f) { return BufferedFile_Close(static_cast<BufferedFile*>(f)); }
std::int32_t IoRead(void* f, void* b, std::int32_t n) {
    return BufferedFile_Read(static_cast<BufferedFile*>(f), b, n);
}
void IoWrite(void* f, const void* b, std::int32_t n) {
    BufferedFile_Write(static_cast<BufferedFile*>(f), b, n);
}
std::int64_t IoSeek(void* f, std::int64_t offset, std::int32_t origin) {
    return BufferedFile_Seek(static_cast<BufferedFile*>(f), offset, origin);
}
std::int64_t IoTell(void* f) { return BufferedFile_Tell(static_cast<BufferedFile*>(f)); }
std::int64_t IoGetSize(void* f) { return BufferedFile_GetSize(static_cast<BufferedFile*>(f)); }
void IoSetEndOfFile(void* f, std::int64_t length) {
    BufferedFile_SetEndOfFile(static_cast<BufferedFile*>(f), length);
}
std::int32_t IoGetError(void* f) { return BufferedFile_GetError(static_cast<BufferedFile*>(f)); }

const FileIoInterface kInterface = {
    IoOpenRead, IoCreate, nullptr,   IoClose,        IoRead,     IoWrite,
    IoSeek,     IoTell,   IoGetSize, IoSetEndOfFile, IoGetError, nullptr,
};

}  // namespace

const FileIoInterface* BufferedFile_Interface() { return &kInterface; }

const BufferedFilePlatform* BufferedFile_DefaultPlatform() { return &kDefaultPlatform; }

const BufferedFilePlatform* BufferedFile_SetPlatform(const BufferedFilePlatform* calls) {
    return g_platform.exchange(calls != nullptr ? calls : &kDefaultPlatform);
}

BufferedFile* BufferedFile_OpenRead(const char* path) {
    if (path == nullptr) return nullptr;
    BusyGuard busy;
    return Open(path, false);
}

BufferedFile* BufferedFile_Create(const char* path) {
    if (path == nullptr) return nullptr;
    BusyGuard busy;
    return Open(path, true);
}

std::int32_t BufferedFile_Close(BufferedFile* f) {
    if (f == nullptr) return -1;
    BusyGuard busy;
    WaitOutstanding(f);
    if (f->writing) FlushOrDrop(f);
    if (f->service != ServiceHandle{}) {
        NUVDLG_Destroy(f->service);
        f->service = ServiceHandle{};
    }
    if (f->has_file) {
        if (f->os->close(f->fd) != 0)
            Fail(f, f->writing ? "E2006110311 : Writing error occurred." : nullptr);
        f->has_file = 0;
    }
    const std::int32_t status = f->failed ? -1 : 0;
    Release(f);
    return status;
}

std::int32_t buffered_file_detail::ReadHeld(BufferedFile* f, void* destination,
                                            std::int32_t count) {
    if (!f->reading) return DirectRead(f, destination, count);
    if (count > std::numeric_limits<std::int64_t>::max() - f->position) return -1;
    auto* out = static_cast<unsigned char*>(destination);
    auto k = static_cast<std::int32_t>(f->position % kBlock);
    std::int32_t remaining = count;
    while (remaining > 0) {
        WaitOutstanding(f);
        const std::int32_t n = remaining < kBlock - k ? remaining : kBlock - k;
        std::memcpy(out, f->buffer + k, static_cast<std::size_t>(n));
        out += n;
        k += n;
        remaining -= n;
        if (k == kBlock) {
            Post(f, RefillJob);
            k = 0;
        }
    }
    f->position += count;
    return count;
}

void buffered_file_detail::WriteHeld(BufferedFile* f, const void* source, std::int32_t count) {
    if (!f->writing) {
        DirectWrite(f, source, count);
        return;
    }
    const auto* in = static_cast<const unsigned char*>(source);
    while (count > 0) {  // a write of more than 1 MiB goes in 1 MiB pieces
        const std::int32_t n = count < kBlock ? count : kBlock;
        if (n > std::numeric_limits<std::int64_t>::max() - f->position) {
            NUVERR_Report("E2006110311 : Writing error occurred.");
            f->failed = 1;
            return;
        }
        WaitOutstanding(f);
        if (f->buffered + n > kBlock) FlushOrDrop(f);
        std::memcpy(f->buffer + f->buffered, in, static_cast<std::size_t>(n));
        f->buffered += n;
        if (f->buffered == kBlock) Post(f, FlushJob);
        f->position += n;
        in += n;
        count -= n;
    }
}

std::int32_t BufferedFile_Read(BufferedFile* f, void* destination, std::int32_t count) {
    return BufferedFile_ReadInline(f, destination, count);
}

void BufferedFile_Write(BufferedFile* f, const void* source, std::int32_t count) {
    BufferedFile_WriteInline(f, source, count);
}

std::int64_t BufferedFile_Seek(BufferedFile* f, std::int64_t offset, std::int32_t origin) {
    if (f == nullptr) return -1;
    BusyGuard busy;
    WaitOutstanding(f);
    if (f->writing) FlushOrDrop(f);
    std::int64_t target;
    switch (origin) {
        case 0: target = offset; break;
        case 1: target = f->position + offset; break;
        case 2: {
            const std::int64_t size = f->os->size(f->fd);
            if (size < 0) {
                platform::NoteFileError(f->path, platform::LastSystemError());
                return -1;
            }
            target = size + offset;
            break;
        }
        default: return -1;
    }
    if (target < 0) return -1;
    const std::int64_t position = f->os->seek(f->fd, target, 0);
    if (position < 0) {
        platform::NoteFileError(f->path, platform::LastSystemError());
        return -1;
    }
    if (f->reading) {
        f->position = position;
        // The buffer holds the block before fill_offset (no job is
        // outstanding here). A seek within it, as the header walk makes
        // again and again in the first block, keeps it: reading the same
        // bytes once more would only cost a copy of up to 1 MiB each time.
        const std::int64_t block = position - position % kBlock;
        if (f->failed || f->rewritten || f->fill_offset != block + kBlock) {
            f->fill_offset = block;
            Post(f, RefillJob);
        }
    } else if (f->writing) {
        f->position = position;
        f->flush_offset = position;
    }
    return position;
}

std::int64_t BufferedFile_Tell(BufferedFile* f) {
    if (f == nullptr) return -1;
    BusyGuard busy;
    return f->position;
}

std::int64_t BufferedFile_GetSize(BufferedFile* f) {
    if (f == nullptr) return -1;
    BusyGuard busy;
    const std::int64_t size = f->os->size(f->fd);
    return size < 0 ? -1 : size;
}

void BufferedFile_SetEndOfFile(BufferedFile* f, std::int64_t length) {
    if (f == nullptr || length < 0) return;
    BusyGuard busy;
    WaitOutstanding(f);
    f->rewritten = 1;
    if (f->os->truncate(f->fd, length) != 0) Fail(f, nullptr);
}

std::int32_t BufferedFile_GetError(BufferedFile* f) {
    if (f == nullptr) return -1;
    BusyGuard busy;
    WaitOutstanding(f);
    return f->failed ? -1 : 0;
}
