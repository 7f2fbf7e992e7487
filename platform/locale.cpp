#include "platform/locale.h"
#include "platform/ascii.h"

namespace platform {

ConsoleLanguage ClassifyLocale(std::string_view name) {
    std::string_view rest = name;
    std::size_t at = rest.find('@');
    if (at != std::string_view::npos) rest = rest.substr(0, at);
    std::string_view codeset;
    std::size_t dot = rest.find('.');
    if (dot != std::string_view::npos) {
        codeset = rest.substr(dot + 1);
        rest = rest.substr(0, dot);
    }
    std::string_view language = rest.substr(0, rest.find('_'));
    if (language != "ja") return ConsoleLanguage::kEnglish;

    for (std::string_view sjis : {"SJIS", "Shift_JIS", "CP932", "Windows-31J"}) {
        if (EqualsNoCase(codeset, sjis)) return ConsoleLanguage::kJapaneseShiftJis;
    }
    if (EqualsNoCase(codeset, "UTF-8") || EqualsNoCase(codeset, "utf8")) {
        return ConsoleLanguage::kJapaneseUtf8;
    }
    return ConsoleLanguage::kEnglish;
}

}  // namespace platform
