#include "platform/console.h"

#include <windows.h>

namespace platform {
namespace {

// WriteFile on the standard handle: the bytes go out as they are, without
// the C library's text-mode translation of "\n".
void WriteAll(DWORD which, const char* data, std::size_t size) {
    HANDLE handle = GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
    while (size > 0) {
        const DWORD chunk = size > 0x10000 ? 0x10000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(handle, data, chunk, &written, nullptr) || written == 0) return;
        data += written;
        size -= written;
    }
}

}  // namespace

void ConsoleWriteOut(const char* data, std::size_t size) {
    WriteAll(STD_OUTPUT_HANDLE, data, size);
}
void ConsoleWriteErr(const char* data, std::size_t size) { WriteAll(STD_ERROR_HANDLE, data, size); }

}  // namespace platform
