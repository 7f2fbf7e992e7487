// The calls behind replacing an output, and the record of the first failed
// file call, on either backend.
#include <gtest/gtest.h>

#include <string>

#include "platform/file.h"
#include "platform/file_error.h"
#include "platform/paths.h"
#include "tests/support/temp_dir.h"

TEST(FileReplace, RenamesOverAnExistingFileAndReportsWhyItCannot) {
    testsupport::TempDir dir;
    dir.WriteFile("new.tmp", "new bytes");
    dir.WriteFile("old.wav", "old");
    EXPECT_EQ(platform::FileProbeWrite(dir.Path("old.wav").c_str()), 0);
    ASSERT_EQ(platform::FileReplace(dir.Path("new.tmp").c_str(), dir.Path("old.wav").c_str()), 0);
    EXPECT_EQ(dir.ReadFile("old.wav"), "new bytes");
    EXPECT_FALSE(dir.Exists("new.tmp"));

    EXPECT_EQ(platform::FileReplace(dir.Path("new.tmp").c_str(), dir.Path("old.wav").c_str()), -1);
    const int error_number = platform::LastSystemError();
    EXPECT_NE(error_number, 0);
    EXPECT_EQ(platform::FileProbeWrite(dir.Path("new.tmp").c_str()), error_number);
    EXPECT_EQ(dir.ReadFile("old.wav"), "new bytes");

    // The system's own words, without a line end or a final period.
    const std::string text = platform::SystemErrorText(error_number);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
    EXPECT_NE(text.back(), '.') << text;
}

TEST(FileErrorRecord, KeepsTheFirstUntilCleared) {
    std::string path;
    int error_number = 0;
    platform::ClearFileError();
    EXPECT_FALSE(platform::FirstFileError(&path, &error_number));
    platform::NoteFileError("/a/first.wav", 2);
    platform::NoteFileError("/a/second.wav", 5);
    ASSERT_TRUE(platform::FirstFileError(&path, &error_number));
    EXPECT_EQ(path, "/a/first.wav");
    EXPECT_EQ(error_number, 2);
    platform::ClearFileError();
    platform::NoteFileError("/a/second.wav", 5);
    ASSERT_TRUE(platform::FirstFileError(&path, &error_number));
    EXPECT_EQ(path, "/a/second.wav");
    platform::ClearFileError();
}

TEST(FileNameOffset, StartsAfterTheLastSeparator) {
    EXPECT_EQ(platform::FileNameOffset("/a/b/out.wav"), 5u);
    EXPECT_EQ(platform::FileNameOffset("out.wav"), 0u);
    EXPECT_EQ(platform::FileNameOffset("/out.wav"), 1u);
#ifdef _WIN32
    EXPECT_EQ(platform::FileNameOffset("C:\\a\\out.wav"), 5u);
    EXPECT_EQ(platform::FileNameOffset("C:out.wav"), 2u);
#endif
}
