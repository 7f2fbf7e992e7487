#include <gtest/gtest.h>

#include <windows.h>

#include "platform/locale.h"

// Japanese (as Shift_JIS bytes) exactly when all five answers are Japanese;
// any other answer gives English. Whatever this system answers, the choice
// must follow it.
TEST(ConsoleLanguageWindows, FollowsTheFiveConditions) {
    const bool japanese = (GetSystemDefaultLangID() & 0xFF) == 0x11 &&
                          (GetUserDefaultLangID() & 0xFF) == 0x11 &&
                          GetSystemDefaultLCID() == 0x411 && GetUserDefaultLCID() == 0x411 &&
                          GetConsoleOutputCP() == 932;
    EXPECT_EQ(platform::DetectConsoleLanguage(), japanese
                                                     ? platform::ConsoleLanguage::kJapaneseShiftJis
                                                     : platform::ConsoleLanguage::kEnglish);
}
