// How this system's command line names switches and files.
#pragma once

namespace platform {

// False where an argument beginning with "/" may be an absolute path (POSIX):
// it then starts a switch only when a known subcommand name follows. True
// where paths begin with a drive letter or a backslash (Windows): "/" always
// starts a switch, as "-" does.
bool SlashAlwaysStartsSwitch();

// True where tools answer "--name" and "--version" (POSIX): a "--" before a
// subcommand name is then read as "-", and "--version" alone shows the
// banner. False where the program keeps its one-dash rules only (Windows).
bool TakesDoubleDashOptions();

// True where a shell expands wildcards before the program sees its
// arguments and tools refuse what they do not know (POSIX): an argument
// beginning with "-" that names no subcommand is an error, not a file name,
// and file names beyond the input and the output are refused. False where
// the program keeps its one-dash rules only (Windows): an unknown switch
// gives its value as a file name and a third file name is ignored.
bool RefusesUnknownArguments();

}  // namespace platform
