// File-system queries of the output checks: the file system that will hold
// a path, its free space, and the identity of files.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

enum class VolumeKind { kWritable, kReadOnly, kOpticalMedium };

struct VolumeInfo {
    VolumeKind kind = VolumeKind::kWritable;
    std::uint64_t cluster_size = 0;   // the file system's fragment size, bytes
    std::uint64_t free_bytes = 0;     // space available to this process
};

// Describes the file system of the nearest existing folder on `path` (the
// path itself when it is a folder, else its parent, and so on up to the
// root). Returns 0, or the errno of the failing query.
int QueryVolume(const std::string& path, VolumeInfo* info);

// 1 when both paths name the same existing file (same device and inode,
// links followed), 0 otherwise (including when either does not exist).
int SameFile(const std::string& a, const std::string& b);

// True when `path` (links followed) is a regular file.
bool IsRegularFile(const std::string& path);

}  // namespace platform
