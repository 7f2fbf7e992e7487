#include "platform/disk.h"

#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>

#include <cerrno>

namespace platform {

namespace {

// Magic numbers of the file systems of optical media.
constexpr unsigned long kIso9660Magic = 0x9660;
constexpr unsigned long kUdfMagic = 0x15013346;

// The path itself when it is a folder, else the nearest existing folder
// above it. "/" when nothing else exists.
std::string NearestFolder(const std::string& path) {
    std::string folder = path;
    for (;;) {
        struct stat st;
        if (!folder.empty() && stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return folder;
        std::string::size_type slash = folder.find_last_of('/');
        if (slash == std::string::npos) return ".";
        if (slash == 0) return "/";
        folder.resize(slash);
    }
}

}  // namespace

int QueryVolume(const std::string& path, VolumeInfo* info) {
    const std::string folder = NearestFolder(path);
    struct statvfs vfs;
    if (statvfs(folder.c_str(), &vfs) != 0) return errno;
    struct statfs fs;
    if (statfs(folder.c_str(), &fs) != 0) return errno;

    const unsigned long type = static_cast<unsigned long>(fs.f_type);
    if (type == kIso9660Magic || type == kUdfMagic) {
        info->kind = VolumeKind::kOpticalMedium;
    } else if ((vfs.f_flag & ST_RDONLY) != 0) {
        info->kind = VolumeKind::kReadOnly;
    } else {
        info->kind = VolumeKind::kWritable;
    }
    info->cluster_size = vfs.f_frsize != 0 ? vfs.f_frsize : vfs.f_bsize;
    info->free_bytes = static_cast<std::uint64_t>(vfs.f_bavail) * info->cluster_size;
    return 0;
}

SystemFault ClassifySystemError(int error_number) {
    switch (error_number) {
        case ENOENT:
        case ENOTDIR:
        case EACCES:
        case EPERM:
        case ENAMETOOLONG:
        case ELOOP: return SystemFault::kBadName;
        case EBADF: return SystemFault::kBadHandle;
        case ENODEV:
        case ENXIO:
        case ENOMEDIUM: return SystemFault::kNoMedium;
        case EROFS: return SystemFault::kWriteProtected;
        case EAGAIN: return SystemFault::kNotReady;
        case ETXTBSY:
        case EBUSY: return SystemFault::kInUse;
        default: return SystemFault::kOther;
    }
}

int SameFile(const std::string& a, const std::string& b) {
    struct stat sa;
    struct stat sb;
    if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return 0;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino ? 1 : 0;
}

bool IsRegularFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace platform
