#include "platform/console.h"

#include <unistd.h>

#include <cerrno>

namespace platform {
namespace {

void WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

}  // namespace

void ConsoleWriteOut(const char* data, std::size_t size) { WriteAll(STDOUT_FILENO, data, size); }
void ConsoleWriteErr(const char* data, std::size_t size) { WriteAll(STDERR_FILENO, data, size); }

}  // namespace platform
