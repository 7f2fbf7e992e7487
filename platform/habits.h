// Command-line habits of the platform's own tools, taken next to the
// program's switches. Each platform backend defines these in its own file.
#pragma once

namespace platform {

// True where tools answer "--name" and "--version": a "--" before a
// subcommand name is then read as "-", and "--version" alone shows the
// banner. False where the program keeps its one-dash rules only.
bool TakesDoubleDashOptions();

}  // namespace platform
