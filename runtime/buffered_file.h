#pragma once
// Buffered file I/O: the one FileIoInterface table of the program.
//
// A file opened for reading is read through a 1 MiB read-ahead buffer that the
// file's own worker service refills in the background; a file created for
// writing is written through a 1 MiB write-behind buffer that the worker
// empties in the background. The caller sees a plain byte stream with a
// position: every read, write and seek is complete, as far as the caller's
// view of the data goes, when it returns.
//
// Every operation of the table runs whole under one process-wide busy flag
// (an atomic exchange; 10 ms sleeps while another thread holds it). Worker
// jobs do not take it.
//
// Nothing is lost silently: a read that fails for another reason than the
// end of the file, and a write that does not complete, are reported through
// NUVERR_Report and remembered by the file. BufferedFile_GetError tells
// whether any transfer failed so far; BufferedFile_Close answers the same
// question including its own last flush.

#include <cstdint>

// The table of file operations through which the file stream reaches a file.
// Slots 2 and 11 are empty.
struct FileIoInterface {
  void* (*open_read)(const char* path);                                  // 0
  void* (*create)(const char* path);                                     // 1
  void* reserved2;                                                       // 2
  std::int32_t (*close)(void* file);                                     // 3: 0, or -1 if a transfer failed
  std::int32_t (*read)(void* file, void* buffer, std::int32_t count);    // 4: count delivered, or -1
  void (*write)(void* file, const void* buffer, std::int32_t count);     // 5
  std::int32_t (*seek)(void* file, std::int32_t offset, std::int32_t origin);  // 6: new position, or -1
  std::int32_t (*tell)(void* file);                                      // 7
  std::int32_t (*get_size)(void* file);                                  // 8: size on disk, or -1
  void (*set_end_of_file)(void* file, std::int32_t length);              // 9
  std::int32_t (*get_error)(void* file);                                 // 10: 0, or -1 if a transfer failed
  void* reserved11;                                                      // 11
};

// Size of the read-ahead and write-behind buffer.
inline constexpr std::int32_t kBufferedFileBlock = 1 << 20;

struct BufferedFile;

// The program's one FileIoInterface table, built from the operations below.
const FileIoInterface* BufferedFile_Interface();

BufferedFile* BufferedFile_OpenRead(const char* path);
BufferedFile* BufferedFile_Create(const char* path);
// Waits for the outstanding job, writes out what is buffered, stops the
// worker and closes the file. Gives 0, or -1 when any transfer of the file
// failed during its life, the last flush included.
std::int32_t BufferedFile_Close(BufferedFile* file);
// Always delivers count bytes for a file opened for reading: bytes beyond the
// end of the file read as zeros.
std::int32_t BufferedFile_Read(BufferedFile* file, void* destination, std::int32_t count);
// count is at most 1 MiB.
void BufferedFile_Write(BufferedFile* file, const void* source, std::int32_t count);
// origin 0 beginning, 1 current position, 2 end. Every byte written before the
// seek is on disk when it returns. Gives the new position, or -1.
std::int32_t BufferedFile_Seek(BufferedFile* file, std::int32_t offset, std::int32_t origin);
std::int32_t BufferedFile_Tell(BufferedFile* file);
// Size on disk (bytes still in the write-behind buffer are not counted), or -1.
std::int32_t BufferedFile_GetSize(BufferedFile* file);
void BufferedFile_SetEndOfFile(BufferedFile* file, std::int32_t length);
// 0 while every transfer so far succeeded, -1 once one failed.
std::int32_t BufferedFile_GetError(BufferedFile* file);

// The platform calls the buffered file makes. The default set is the
// platform's own; a replacement (for example one that makes a chosen call
// fail) can be installed while no buffered file is open.
struct BufferedFilePlatform {
  int (*open_read)(const char* path);
  int (*create)(const char* path);
  std::int32_t (*read)(int fd, void* buffer, std::int32_t count);
  std::int32_t (*write)(int fd, const void* buffer, std::int32_t count);
  std::int64_t (*seek)(int fd, std::int64_t offset, int origin);
  std::int64_t (*size)(int fd);
  int (*truncate)(int fd, std::int64_t length);
  int (*close)(int fd);
};

// The platform's own calls.
const BufferedFilePlatform* BufferedFile_DefaultPlatform();
// Installs calls (null: the defaults) and gives the set installed before.
const BufferedFilePlatform* BufferedFile_SetPlatform(const BufferedFilePlatform* platform);
