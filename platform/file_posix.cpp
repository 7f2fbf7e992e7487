#include "platform/file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

int32_t FileRead(int fd, void* buffer, int32_t count) {
  if (count < 0) {
    errno = EINVAL;
    return -1;
  }
  auto* out = static_cast<unsigned char*>(buffer);
  int32_t done = 0;
  while (done < count) {
    const ssize_t n = ::read(fd, out + done, static_cast<size_t>(count - done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;  // end of file
    done += static_cast<int32_t>(n);
  }
  return done;
}

int32_t FileWrite(int fd, const void* buffer, int32_t count) {
  if (count < 0) {
    errno = EINVAL;
    return -1;
  }
  const auto* in = static_cast<const unsigned char*>(buffer);
  int32_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(fd, in + done, static_cast<size_t>(count - done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) {  // no progress and no reason given: treat as a full device
      errno = ENOSPC;
      return -1;
    }
    done += static_cast<int32_t>(n);
  }
  return done;
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

}  // namespace platform
