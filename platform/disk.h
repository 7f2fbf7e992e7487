// File-system queries of the output checks: the file system that will hold
// a path, its free space, and the identity of files.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// kNoSuchDrive: the path names a drive that does not exist (drive letters
// only; never on POSIX).
enum class VolumeKind { kWritable, kReadOnly, kOpticalMedium, kNoSuchDrive };

struct VolumeInfo {
    VolumeKind kind = VolumeKind::kWritable;
    std::uint64_t cluster_size = 0;  // the file system's fragment size, bytes
    std::uint64_t free_bytes = 0;    // space available to this process
};

// Describes the file system that holds `path`. POSIX: the file system of the
// nearest existing folder on `path` (the path itself when it is a folder,
// else its parent, and so on up to the root). Windows: the drive of the
// path's "X:" prefix, else the current directory's drive; a missing drive or
// a CD-ROM drive is told by the kind alone, without its space. Returns 0, or
// the system's error number of the failing query (errno, or GetLastError on
// Windows).
int QueryVolume(const std::string& path, VolumeInfo* info);

// What a system error number (as QueryVolume returns it) means to the output
// checks.
enum class SystemFault {
    kBadName,  // no such file or folder, access denied, bad path
    kBadHandle,
    kNoMedium,  // no disc in the drive, no such device
    kWriteProtected,
    kNotReady,
    kInUse,
    kOther,
};
SystemFault ClassifySystemError(int error_number);

// 1 when both paths name the same existing file (POSIX: same device and
// inode, links followed; Windows: same volume serial number and file index),
// 0 otherwise (including when either does not exist).
int SameFile(const std::string& a, const std::string& b);

// True when `path` (links followed) is a regular file (not a folder or a
// device).
bool IsRegularFile(const std::string& path);

}  // namespace platform
