#include <gtest/gtest.h>

#include "platform/locale.h"

using platform::ClassifyLocale;
using platform::ConsoleLanguage;

TEST(LocaleClassification, JapaneseWithShiftJisCodesets) {
    for (const char* name :
         {"ja_JP.SJIS", "ja_JP.sjis", "ja_JP.Shift_JIS", "ja_JP.SHIFT_JIS", "ja_JP.CP932",
          "ja_JP.cp932", "ja_JP.Windows-31J", "ja.SJIS", "ja_JP.SJIS@modifier"}) {
        EXPECT_EQ(ClassifyLocale(name), ConsoleLanguage::kJapaneseShiftJis) << name;
    }
}

TEST(LocaleClassification, JapaneseWithUtf8) {
    for (const char* name : {"ja_JP.UTF-8", "ja_JP.utf8", "ja.UTF-8", "ja_JP.utf-8@x"}) {
        EXPECT_EQ(ClassifyLocale(name), ConsoleLanguage::kJapaneseUtf8) << name;
    }
}

TEST(LocaleClassification, EverythingElseIsEnglish) {
    for (const char* name : {"", "C", "POSIX", "C.UTF-8", "en_US.UTF-8", "ja_JP", "ja_JP.eucJP",
                             "ja", "jam_JP.SJIS", "JA_JP.SJIS", "de_DE.SJIS", "ja_JP.SJIS2"}) {
        EXPECT_EQ(ClassifyLocale(name), ConsoleLanguage::kEnglish) << name;
    }
}
