#include "platform/file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/file_error.h"

namespace platform {

int FileOpenRead(const char* path) {
    int fd;
    do {
        fd = ::open(path, O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return -1;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        return -1;
    }
    const int saved = errno;
    (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    errno = saved;
    return fd;
}

int FileCreate(const char* path) {
    int fd;
    do {
        fd = ::open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

namespace {

// Moves count bytes, move(done) moving the next piece from byte `done` on as
// ::read or ::write would, restarted after a signal. Gives the bytes moved,
// or -1 with errno set; a piece of none ends the transfer with
// at_none(done).
template <class Move, class AtNone>
int32_t Transfer(int32_t count, Move move, AtNone at_none) {
    if (count < 0) {
        errno = EINVAL;
        return -1;
    }
    int32_t done = 0;
    while (done < count) {
        const ssize_t n = move(done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) return at_none(done);
        done += static_cast<int32_t>(n);
    }
    return done;
}

}  // namespace

int32_t FileRead(int fd, void* buffer, int32_t count) {
    auto* out = static_cast<unsigned char*>(buffer);
    return Transfer(
        count,
        [&](int32_t done) { return ::read(fd, out + done, static_cast<size_t>(count - done)); },
        [](int32_t done) { return done; });  // end of file
}

int32_t FileWrite(int fd, const void* buffer, int32_t count) {
    const auto* in = static_cast<const unsigned char*>(buffer);
    return Transfer(
        count,
        [&](int32_t done) { return ::write(fd, in + done, static_cast<size_t>(count - done)); },
        [](int32_t) {  // no progress and no reason given: treat as a full device
            errno = ENOSPC;
            return int32_t{-1};
        });
}

int64_t FileSeek(int fd, int64_t offset, int origin) {
    int whence;
    switch (origin) {
        case 0: whence = SEEK_SET; break;
        case 1: whence = SEEK_CUR; break;
        case 2: whence = SEEK_END; break;
        default: errno = EINVAL; return -1;
    }
    const off_t r = ::lseek(fd, static_cast<off_t>(offset), whence);
    return r < 0 ? -1 : static_cast<int64_t>(r);
}

int64_t FileSize(int fd) {
    struct stat st;
    if (::fstat(fd, &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

int FileTruncate(int fd, int64_t length) {
    int r;
    do {
        r = ::ftruncate(fd, static_cast<off_t>(length));
    } while (r != 0 && errno == EINTR);
    return r == 0 ? 0 : -1;
}

int FileClose(int fd) { return ::close(fd) == 0 ? 0 : -1; }

int FileReplace(const char* from, const char* to) { return ::rename(from, to) == 0 ? 0 : -1; }

int FileCopyMode(const char* model, const char* path) {
    struct stat st;
    if (::stat(model, &st) != 0) return -1;
    // The owner and group first, where the process may give them (root may;
    // others only a group they belong to), since changing them clears the
    // set-user-ID and set-group-ID bits.
    (void)::chown(path, st.st_uid, st.st_gid);
    return ::chmod(path, st.st_mode & 07777) == 0 ? 0 : -1;
}

int FileProbeWrite(const char* path) {
    int fd;
    do {
        fd = ::open(path, O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return errno;
    ::close(fd);
    return 0;
}

std::string FollowLinks(const std::string& path) {
    std::string current = path;
    // As many links as the system itself follows before it gives up.
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st;
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        std::vector<char> buffer(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4095) + 1);
        const ssize_t n = ::readlink(current.c_str(), buffer.data(), buffer.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size()) break;
        std::string target(buffer.data(), static_cast<std::size_t>(n));
        if (target[0] != '/') {
            const std::string::size_type slash = current.find_last_of('/');
            if (slash != std::string::npos) target = current.substr(0, slash + 1) + target;
        }
        current = std::move(target);
    }
    return current;
}

int LastSystemError() { return errno; }

std::string SystemErrorText(int error_number) { return std::strerror(error_number); }

}  // namespace platform
