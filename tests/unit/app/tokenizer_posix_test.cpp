// POSIX: an absolute path begins with "/".
#include <gtest/gtest.h>

#include "app/cmdline.h"
#include "app/status.h"

using namespace tolmek;

namespace {

ArgumentToken Tokenize(std::string_view text, int expected_result = 0)
{
    ArgumentToken token;
    EXPECT_EQ(TokenizeArgument(text, &token), expected_result) << text;
    return token;
}

}  // namespace

TEST(Tokenizer, SlashBeforeAnythingButASubcommandNameIsAnAbsolutePath)
{
    ArgumentToken path = Tokenize("/home/me/take1.wav");
    EXPECT_EQ(path.index, -1);
    EXPECT_EQ(path.value, "/home/me/take1.wav");
    EXPECT_EQ(Tokenize("/xyz=out.wav").value, "/xyz=out.wav");
    EXPECT_EQ(Tokenize("/in").index, kSubIn);  // the name alone is a switch
    EXPECT_EQ(Tokenize("/inx").value, "/inx");
}
