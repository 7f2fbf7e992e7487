// Which file a failed system call was about, and why: the first such failure
// of a run is kept, so that the front end can name the file and the system's
// own reason after the run's outcome.
#pragma once

#include <string>

namespace platform {

// The calling thread's error of its last failed system call: errno, or
// GetLastError on Windows.
int LastSystemError();

// The system's own text for an error number (strerror, or FormatMessageA on
// Windows), without a line end or a final period.
std::string SystemErrorText(int error_number);

// Keeps `path` and `error_number` unless a failure is already kept. Safe to
// call from any thread, allocates nothing.
void NoteFileError(const char* path, int error_number);

// The failure kept since the last ClearFileError; false when there is none.
bool FirstFileError(std::string* path, int* error_number);

// Forgets the kept failure. Only while no other thread may note one.
void ClearFileError();

}  // namespace platform
