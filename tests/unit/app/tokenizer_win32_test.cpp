// Windows: paths begin with a drive letter or a backslash, so "/" starts a
// switch whatever follows, as "-" does.
#include <gtest/gtest.h>

#include "tests/unit/app/tokenize_helper.h"

using namespace tolmek;

TEST(Tokenizer, SlashAlwaysStartsASwitch) {
    ArgumentToken known = Tokenize("/FREQ=44100");
    EXPECT_EQ(known.index, kSubFreq);
    EXPECT_EQ(known.name, "/FREQ");
    EXPECT_EQ(known.value, "44100");
    // An unknown name is still a switch: its value becomes the bare name.
    ArgumentToken unknown = Tokenize("/xyz=out.wav");
    EXPECT_EQ(unknown.index, -1);
    EXPECT_EQ(unknown.name, "/xyz");
    EXPECT_EQ(unknown.value, "out.wav");
    EXPECT_EQ(Tokenize("/inx").name, "/inx");
    EXPECT_EQ(Tokenize("/inx").value, "");
}

TEST(Tokenizer, SlashPathsAreSwitchesWithBadNames) {
    Tokenize("/home/me/take1.wav", kTokenBadName);
    Tokenize("/", kTokenNoName);
    Tokenize("/freq=", kTokenNoValue);
    // Windows paths are bare names.
    EXPECT_EQ(Tokenize("C:\\snd\\take1.wav").value, "C:\\snd\\take1.wav");
    EXPECT_EQ(Tokenize("\\\\server\\share\\a.wav").index, -1);
}
