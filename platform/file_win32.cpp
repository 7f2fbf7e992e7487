#include "platform/file.h"

#include <windows.h>

#include <string>

#include "platform/file_error.h"

namespace platform {

namespace {

// A kernel handle keeps its meaning in 32 bits (Windows hands out handles
// that fit, for the sake of 32-bit programs), so it travels as the int of
// the interface; a valid handle is never -1.
int FromHandle(HANDLE handle) {
    if (handle == INVALID_HANDLE_VALUE) return -1;
    return static_cast<int>(reinterpret_cast<std::intptr_t>(handle));
}

HANDLE ToHandle(int fd) { return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(fd)); }

// Moves the file pointer by a 64-bit offset; the new offset, or -1.
int64_t MovePointer(HANDLE handle, int64_t offset, DWORD method) {
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER position;
    if (!SetFilePointerEx(handle, distance, &position, method)) return -1;
    return position.QuadPart;
}

}  // namespace

int FileOpenRead(const char* path) {
    // A folder cannot be opened this way (no backup semantics), so it is
    // refused as on POSIX.
    return FromHandle(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN,
                                  nullptr));
}

int FileCreate(const char* path) {
    return FromHandle(CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

int32_t FileRead(int fd, void* buffer, int32_t count) {
    if (count < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    auto* out = static_cast<unsigned char*>(buffer);
    int32_t done = 0;
    while (done < count) {
        DWORD n = 0;
        if (!ReadFile(ToHandle(fd), out + done, static_cast<DWORD>(count - done), &n, nullptr))
            return -1;
        if (n == 0) break;  // end of file
        done += static_cast<int32_t>(n);
    }
    return done;
}

int32_t FileWrite(int fd, const void* buffer, int32_t count) {
    if (count < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    const auto* in = static_cast<const unsigned char*>(buffer);
    int32_t done = 0;
    while (done < count) {
        DWORD n = 0;
        if (!WriteFile(ToHandle(fd), in + done, static_cast<DWORD>(count - done), &n, nullptr))
            return -1;
        if (n == 0) {  // no progress and no reason given: treat as a full disk
            SetLastError(ERROR_DISK_FULL);
            return -1;
        }
        done += static_cast<int32_t>(n);
    }
    return done;
}

int64_t FileSeek(int fd, int64_t offset, int origin) {
    DWORD method;
    switch (origin) {
        case 0: method = FILE_BEGIN; break;
        case 1: method = FILE_CURRENT; break;
        case 2: method = FILE_END; break;
        default: SetLastError(ERROR_INVALID_PARAMETER); return -1;
    }
    return MovePointer(ToHandle(fd), offset, method);
}

int64_t FileSize(int fd) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(ToHandle(fd), &size)) return -1;
    return size.QuadPart;
}

// SetEndOfFile ends the file at the file pointer; the pointer is put back
// afterwards, so that the call changes only the length, as on POSIX.
int FileTruncate(int fd, int64_t length) {
    const HANDLE handle = ToHandle(fd);
    const int64_t position = MovePointer(handle, 0, FILE_CURRENT);
    if (position < 0 || MovePointer(handle, length, FILE_BEGIN) < 0) return -1;
    const bool ok = SetEndOfFile(handle) != 0;
    const DWORD error = GetLastError();
    MovePointer(handle, position, FILE_BEGIN);
    if (ok) return 0;
    SetLastError(error);
    return -1;
}

int FileClose(int fd) { return CloseHandle(ToHandle(fd)) ? 0 : -1; }

int FileReplace(const char* from, const char* to) {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) ? 0 : -1;
}

int FileCopyMode(const char*, const char*) { return 0; }

int FileProbeWrite(const char* path) {
    // The access and sharing of FileCreate: a file another program holds
    // open for writing is refused here as it would be there.
    const HANDLE handle = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());
    CloseHandle(handle);
    return 0;
}

std::string FollowLinks(const std::string& path) { return path; }

int LastSystemError() { return static_cast<int>(GetLastError()); }

std::string SystemErrorText(int error_number) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error_number), 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = length > 0 && text != nullptr ? std::string(text, length) : std::string();
    if (text != nullptr) LocalFree(text);
    while (!result.empty() && (result.back() == '\r' || result.back() == '\n' ||
                               result.back() == ' ' || result.back() == '.')) {
        result.pop_back();
    }
    if (result.empty()) result = "System error " + std::to_string(error_number);
    return result;
}

}  // namespace platform
