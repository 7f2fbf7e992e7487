// Console output of exact bytes: no translation, no buffering.
#pragma once

#include <cstddef>

namespace platform {

// Writes all `size` bytes to standard output / standard error. Failures
// are ignored: there is nowhere to report them.
void ConsoleWriteOut(const char* data, std::size_t size);
void ConsoleWriteErr(const char* data, std::size_t size);

}  // namespace platform
