#include "platform/paths.h"

#include <windows.h>

#include <vector>

namespace platform {

namespace {

bool IsFolder(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

bool GetCurrentDir(std::string* out) {
    const DWORD needed = GetCurrentDirectoryA(0, nullptr);
    if (needed == 0) return false;
    std::vector<char> buffer(needed + 1);
    const DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0 || length >= buffer.size()) return false;
    out->assign(buffer.data(), length);
    return true;
}

bool FullPath(const std::string& path, std::string* out) {
    if (path.empty()) return false;
    std::vector<char> buffer(1024);
    for (;;) {
        const DWORD length = GetFullPathNameA(path.c_str(), static_cast<DWORD>(buffer.size()),
                                              buffer.data(), nullptr);
        if (length == 0) return false;
        if (length < buffer.size()) {
            out->assign(buffer.data(), length);
            return true;
        }
        buffer.resize(length + 1);  // the size asked for, with its terminator
    }
}

PathInfo GetPathInfo(const std::string& path) {
    PathInfo info;
    if (path.empty()) {
        info.error_number = ERROR_FILE_NOT_FOUND;
        return info;
    }
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        info.error_number = static_cast<int>(GetLastError());
        return info;
    }
    if (IsFolder(attributes)) {
        info.kind = PathKind::kDirectory;
        return info;
    }
    info.kind = PathKind::kFile;
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA(path.c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
        info.size = (static_cast<std::int64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    }
    return info;
}

bool CanOpenForReading(const std::string& path) {
    if (IsFolder(GetFileAttributesA(path.c_str()))) return false;
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

bool GetProgramPath(std::string* out) {
    std::vector<char> buffer(1024);
    for (;;) {
        const DWORD length =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return false;
        if (length < buffer.size()) {
            out->assign(buffer.data(), length);
            return true;
        }
        if (buffer.size() > (1u << 16)) return false;
        buffer.resize(buffer.size() * 2);
    }
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    std::string joined = folder;
    if (joined.empty() || joined.back() != '\\') joined += '\\';
    return joined + name;
}

std::string::size_type FileNameOffset(const std::string& path) {
    const std::string::size_type slash = path.find_last_of("\\/:");
    return slash == std::string::npos ? 0 : slash + 1;
}

bool DeleteFileAt(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

}  // namespace platform
