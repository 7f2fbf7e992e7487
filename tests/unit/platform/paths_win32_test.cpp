// Paths of the Windows backend: drive letters, backslashes and the
// program's own location.
#include <gtest/gtest.h>

#include "platform/paths.h"
#include "tests/support/temp_dir.h"

TEST(FullPathWindows, DriveLetterPathsAreFoldedAndSlashesBecomeBackslashes) {
    std::string out;
    ASSERT_TRUE(platform::FullPath("C:\\a\\b\\..\\c/./d.wav", &out));
    EXPECT_EQ(out, "C:\\a\\c\\d.wav");
    ASSERT_TRUE(platform::FullPath("Q:\\x.wav", &out));  // a drive need not exist
    EXPECT_EQ(out, "Q:\\x.wav");
    EXPECT_FALSE(platform::FullPath("", &out));
}

TEST(FullPathWindows, RelativePathsStartAtTheCurrentDirectory) {
    std::string cwd, out;
    ASSERT_TRUE(platform::GetCurrentDir(&cwd));
    ASSERT_TRUE(platform::FullPath("take1.wav", &out));
    EXPECT_EQ(out, platform::JoinPath(cwd, "take1.wav"));
}

TEST(JoinPathWindows, OneBackslashBetweenFolderAndName) {
    EXPECT_EQ(platform::JoinPath("C:\\snd", "tolmek.ini"), "C:\\snd\\tolmek.ini");
    EXPECT_EQ(platform::JoinPath("C:\\", "tolmek.ini"), "C:\\tolmek.ini");
}

TEST(PathQueriesWindows, ProgramPathIsThisExecutable) {
    std::string program;
    ASSERT_TRUE(platform::GetProgramPath(&program));
    EXPECT_NE(program.find("test_platform.exe"), std::string::npos) << program;
    EXPECT_EQ(program[1], ':') << program;
}
