#pragma once
// ASCII-only text helpers shared by the settings reader, the locale test and
// the front end: keywords, section names, extensions and codesets are
// compared without regard to case, independently of any installed locale.
#include <string_view>

namespace platform {

inline char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

}  // namespace platform
