#include "platform/disk.h"

#include <windows.h>

namespace platform {

namespace {

// "X:\" for a path that begins with a drive letter and a colon; empty
// otherwise, which makes the queries use the current directory's drive.
std::string DriveRoot(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') return std::string(1, path[0]) + ":\\";
    return {};
}

const char* RootOrNull(const std::string& root) { return root.empty() ? nullptr : root.c_str(); }

}  // namespace

int QueryVolume(const std::string& path, VolumeInfo* info) {
    const std::string root = DriveRoot(path);
    switch (GetDriveTypeA(RootOrNull(root))) {
        case DRIVE_UNKNOWN:
        case DRIVE_NO_ROOT_DIR: info->kind = VolumeKind::kNoSuchDrive; return 0;
        case DRIVE_CDROM: info->kind = VolumeKind::kOpticalMedium; return 0;
        default: info->kind = VolumeKind::kWritable; break;
    }

    DWORD sectors_per_cluster = 0, bytes_per_sector = 0, free_clusters = 0, total_clusters = 0;
    if (!GetDiskFreeSpaceA(RootOrNull(root), &sectors_per_cluster, &bytes_per_sector,
                           &free_clusters, &total_clusters)) {
        return static_cast<int>(GetLastError());
    }
    ULARGE_INTEGER available, total, total_free;
    if (!GetDiskFreeSpaceExA(RootOrNull(root), &available, &total, &total_free)) {
        return static_cast<int>(GetLastError());
    }
    info->cluster_size = static_cast<std::uint64_t>(sectors_per_cluster) * bytes_per_sector;
    info->free_bytes = available.QuadPart;
    return 0;
}

SystemFault ClassifySystemError(int error_number) {
    switch (static_cast<DWORD>(error_number)) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_ACCESS_DENIED:
        case ERROR_BAD_PATHNAME: return SystemFault::kBadName;
        case ERROR_INVALID_HANDLE: return SystemFault::kBadHandle;
        case ERROR_INVALID_DRIVE: return SystemFault::kNoMedium;
        case ERROR_WRITE_PROTECT: return SystemFault::kWriteProtected;
        case ERROR_NOT_READY: return SystemFault::kNotReady;
        case ERROR_SHARING_VIOLATION: return SystemFault::kInUse;
        default: return SystemFault::kOther;
    }
}

namespace {

// Volume serial number and file index of an existing file or folder.
bool FileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION* identity) {
    const HANDLE file = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool ok = GetFileInformationByHandle(file, identity) != 0;
    CloseHandle(file);
    return ok;
}

}  // namespace

int SameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION ia, ib;
    if (!FileIdentity(a, &ia) || !FileIdentity(b, &ib)) return 0;
    return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
                   ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow
               ? 1
               : 0;
}

bool IsRegularFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
        return false;
    }
    // A device name such as NUL or CON can pass for a file by its
    // attributes; its handle tells the truth.
    const HANDLE file =
        CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return true;  // held without sharing: only files are
    const bool disk = GetFileType(file) == FILE_TYPE_DISK;
    CloseHandle(file);
    return disk;
}

}  // namespace platform
