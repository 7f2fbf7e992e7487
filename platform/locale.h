// The language of the console texts.
#pragma once

#include <string>
#include <string_view>

namespace platform {

enum class ConsoleLanguage {
    kEnglish,
    kJapaneseShiftJis,  // Japanese texts written as code page 932 bytes
    kJapaneseUtf8,      // Japanese texts written as UTF-8
};

// The texts this console asks for. POSIX: the locale name classified as
// below. Windows: the Japanese texts as Shift_JIS bytes exactly when the
// system's and the user's default language ids (low byte 0x11) and locale
// ids (0x411) are Japanese and the console output code page is 932.
ConsoleLanguage DetectConsoleLanguage();

// The locale name from LC_ALL, else LC_MESSAGES, else LANG (the first one
// set and not empty); empty when none is set. POSIX backend only.
std::string LocaleName();

// Classifies a name of the form language[_territory][.codeset][@modifier]:
// language "ja" with codeset SJIS, Shift_JIS, CP932 or Windows-31J (any
// case) gives Shift_JIS, "ja" with UTF-8 (or utf8) gives UTF-8, anything
// else English. Installed locales are not consulted.
ConsoleLanguage ClassifyLocale(std::string_view name);

}  // namespace platform
