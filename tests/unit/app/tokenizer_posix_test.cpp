// POSIX: an absolute path begins with "/".
#include <gtest/gtest.h>

#include "tests/unit/app/tokenize_helper.h"

using namespace tolmek;

TEST(Tokenizer, SlashBeforeAnythingButASubcommandNameIsAnAbsolutePath) {
    ArgumentToken path = Tokenize("/home/me/take1.wav");
    EXPECT_EQ(path.index, -1);
    EXPECT_EQ(path.value, "/home/me/take1.wav");
    EXPECT_EQ(Tokenize("/xyz=out.wav").value, "/xyz=out.wav");
    EXPECT_EQ(Tokenize("/in").index, kSubIn);  // the name alone is a switch
    EXPECT_EQ(Tokenize("/inx").value, "/inx");
}
