#include "platform/locale.h"

#include <windows.h>

namespace platform {

namespace {

constexpr unsigned kJapaneseLanguage = 0x11;  // primary language id
constexpr LCID kJapaneseLocale = 0x411;
constexpr UINT kShiftJisCodePage = 932;

// All five, in this order; the first that fails ends the test.
bool DetectJapaneseConsole() {
    return (GetSystemDefaultLangID() & 0xFF) == kJapaneseLanguage &&
           (GetUserDefaultLangID() & 0xFF) == kJapaneseLanguage &&
           GetSystemDefaultLCID() == kJapaneseLocale && GetUserDefaultLCID() == kJapaneseLocale &&
           GetConsoleOutputCP() == kShiftJisCodePage;
}

}  // namespace

ConsoleLanguage DetectConsoleLanguage() {
    return DetectJapaneseConsole() ? ConsoleLanguage::kJapaneseShiftJis : ConsoleLanguage::kEnglish;
}

}  // namespace platform
