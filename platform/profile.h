// Reader for initialization-format files ("[section]" lines followed by
// "key=value" lines).
//
// Rules: lines end with LF or CR LF; blanks and tabs around section names,
// key names and values are trimmed; empty lines and lines whose first
// non-blank character is ";" are ignored; section names match
// case-insensitively and only the first section of a name is read; a line
// without "=" is a key with an empty value; one pair of matching quotes
// (" or ') around a value is removed. Key names are listed in file order,
// each once (compared case-insensitively), with the value of its first
// occurrence. Values are never cut.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct ProfileEntry {
    std::string key;
    std::string value;
};

// Keys of `section` in `text`.
std::vector<ProfileEntry> ParseProfileSection(std::string_view text, std::string_view section);

// Reads the file at `path` and parses it as above; on Windows the system's
// own reader (GetPrivateProfileStringA) lists the keys and reads the values,
// with its rules (a line without "=" is no key there); values are not cut
// there either. Returns false when the file cannot be read (then `entries` is
// left empty).
[[nodiscard]] bool ReadProfileSection(const std::string& path, std::string_view section,
                                      std::vector<ProfileEntry>* entries);

}  // namespace platform
