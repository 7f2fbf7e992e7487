// The error table (codes with their English and Japanese messages), the
// error line, and the record of the first module error text of a run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/locale.h"

namespace tolmek {

struct ErrorEntry {
    int code;
    const char* english;
    const char* japanese;  // UTF-8
};

extern const ErrorEntry kErrorTable[];
extern const std::size_t kErrorTableSize;

// Chooses the messages of the language for the rest of the run and
// registers RecordModuleError as the error callback of the support runtime.
void SelectErrorTable(platform::ConsoleLanguage language);

// Message of `code` in the selected language, or the fallback message when
// the table has no such code.
const std::string& LookupErrorText(int code);

// For a negative code: "Error %04x : %s\n" with the low 16 bits of the code
// and its message, then "(%s)\n" with the recorded module error text when
// one was reported, then the error hint when one was set (and clears it).
// Prints nothing for 0 or above.
void PrintError(int code);

// One more line for the next error line, already in the console's
// encoding, such as the subcommand an unknown switch most likely meant.
// An empty line clears it.
void SetErrorHint(std::string line);

// Error callback: keeps the first text reported in the run (at most 1023
// bytes) and ignores the rest. Safe to call from any thread.
int RecordModuleError(std::int32_t user_value, const char* text);

// Copies the recorded text into `text` (if not null); false when none.
bool RecordedModuleError(std::string* text);
void ClearModuleError();

}  // namespace tolmek
