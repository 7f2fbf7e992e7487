#pragma once
// Files by descriptor: the few calls the buffered file layer makes.
//
// Every call returns -1 on failure and leaves the system's error (errno, or
// GetLastError on Windows, where the descriptor is the file's handle) as the
// system set it, so that a caller can still name the reason. Transfers are complete: a read
// stops early only at the end of the file, a write only on an error.

#include <cstdint>
#include <string>

namespace platform {

// Opens an existing file for reading, with the hint of sequential access.
// A directory is refused.
int FileOpenRead(const char* path);
// Creates a file for reading and writing, replacing any existing one.
int FileCreate(const char* path);
// Reads up to count bytes at the file pointer; gives the number read
// (fewer only at the end of the file), or -1.
int32_t FileRead(int fd, void* buffer, int32_t count);
// Writes count bytes at the file pointer; gives count, or -1 when not every
// byte could be written (the bytes before the failure may be on disk).
int32_t FileWrite(int fd, const void* buffer, int32_t count);
// Moves the file pointer (origin 0 beginning, 1 current, 2 end); gives the
// new offset from the beginning, or -1.
int64_t FileSeek(int fd, int64_t offset, int origin);
// Size of the file on disk, or -1.
int64_t FileSize(int fd);
// Ends the file at length bytes; 0 or -1.
int FileTruncate(int fd, int64_t length);
// Closes the descriptor; 0 or -1.
int FileClose(int fd);

// Gives the closed file `from` the name `to` in one step, replacing a file
// of that name (rename, or MoveFileExA with MOVEFILE_REPLACE_EXISTING);
// 0 or -1. Both names must lie on one file system.
int FileReplace(const char* from, const char* to);
// Gives `path` the permission bits of the existing file `model`, and its
// owner and group where the process may (POSIX; a Windows file has none of
// these to copy); 0 or -1.
int FileCopyMode(const char* model, const char* path);
// 0 when the existing file `path` could be opened for writing, else the
// system's error number. The file is opened without truncation and closed at
// once; call it for regular files only (opening a FIFO could wait).
int FileProbeWrite(const char* path);
// The file a path leads to: symbolic links on its last part are followed
// (a relative link against the link's folder), also when the last one leads
// nowhere yet. Windows: the path itself.
std::string FollowLinks(const std::string& path);

}  // namespace platform
