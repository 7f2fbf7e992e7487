// Path queries of either backend: kind, size, the read probe and deletion.
#include <gtest/gtest.h>

#include "platform/paths.h"
#include "tests/support/temp_dir.h"

TEST(PathQueries, KindSizeAndReadProbe) {
    testsupport::TempDir dir;
    dir.WriteFile("f.bin", "12345");
    dir.MakeDir("d");
    platform::PathInfo file = platform::GetPathInfo(dir.Path("f.bin"));
    EXPECT_EQ(file.kind, platform::PathKind::kFile);
    EXPECT_EQ(file.size, 5);
    EXPECT_EQ(platform::GetPathInfo(dir.Path("d")).kind, platform::PathKind::kDirectory);
    EXPECT_EQ(platform::GetPathInfo(dir.Path("none")).kind, platform::PathKind::kMissing);
    EXPECT_TRUE(platform::CanOpenForReading(dir.Path("f.bin")));
    EXPECT_FALSE(platform::CanOpenForReading(dir.Path("d")));
    EXPECT_FALSE(platform::CanOpenForReading(dir.Path("none")));
    EXPECT_TRUE(platform::DeleteFileAt(dir.Path("f.bin")));
    EXPECT_FALSE(dir.Exists("f.bin"));
    EXPECT_FALSE(platform::DeleteFileAt(dir.Path("f.bin")));
}
