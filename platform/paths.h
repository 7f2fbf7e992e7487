// File-system queries of the front end: full paths, attributes, the
// open-for-reading probe, the current directory, the program's own path
// and file deletion.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

enum class PathKind { kMissing, kFile, kDirectory };

struct PathInfo {
    PathKind kind = PathKind::kMissing;
    std::int64_t size = 0;  // bytes; 0 for directories
    int error_number = 0;   // kMissing: why the lookup failed (errno, or the Win32 error)
};

// Makes `path` absolute against the current directory and folds "." and
// ".." lexically (no link resolution, ".." at the root stays at the root).
// Repeated separators collapse; a trailing separator is kept. Returns false
// for an empty path or when the current directory cannot be read.
[[nodiscard]] bool FullPath(const std::string& path, std::string* out);

// Kind and size of what `path` names (links are followed).
PathInfo GetPathInfo(const std::string& path);

// True when `path` is a regular file (not a directory) that this process
// can open for reading; the file is closed again at once.
[[nodiscard]] bool CanOpenForReading(const std::string& path);

[[nodiscard]] bool GetCurrentDir(std::string* out);

// Full path of the running executable.
[[nodiscard]] bool GetProgramPath(std::string* out);

// `name` inside `folder`, joined by the system's separator ("/", or "\\"
// on Windows) unless the folder already ends with one.
std::string JoinPath(const std::string& folder, const std::string& name);

// Where the last part of `path` starts: after its last separator ("/", or
// "\\", "/" or a drive's ":" on Windows), 0 when it has none.
std::string::size_type FileNameOffset(const std::string& path);

// Removes a file; true on success, else the system's error is left set.
bool DeleteFileAt(const std::string& path);

}  // namespace platform
