// Following the links an output name leads through.
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/file.h"
#include "tests/support/temp_dir.h"

TEST(FollowLinks, LeadsToTheLastTargetEvenOneNotMadeYet) {
    testsupport::TempDir dir;
    dir.WriteFile("sub/real.wav", "x");
    ASSERT_EQ(symlink("sub/real.wav", dir.Path("one").c_str()), 0);
    ASSERT_EQ(symlink(dir.Path("one").c_str(), dir.Path("two").c_str()), 0);
    ASSERT_EQ(symlink("sub/later.wav", dir.Path("dangling").c_str()), 0);
    EXPECT_EQ(platform::FollowLinks(dir.Path("two")), dir.path() + "/sub/real.wav");
    EXPECT_EQ(platform::FollowLinks(dir.Path("dangling")), dir.path() + "/sub/later.wav");
    EXPECT_EQ(platform::FollowLinks(dir.Path("sub/real.wav")), dir.Path("sub/real.wav"));
    EXPECT_EQ(platform::FollowLinks(dir.Path("none")), dir.Path("none"));
}
