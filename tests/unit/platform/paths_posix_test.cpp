#include <gtest/gtest.h>

#include <unistd.h>

#include "platform/paths.h"
#include "tests/support/temp_dir.h"

using platform::FullPath;

namespace {

std::string Full(const std::string& path) {
    std::string out;
    EXPECT_TRUE(FullPath(path, &out)) << path;
    return out;
}

}  // namespace

TEST(FullPath, FoldsDotsAndRepeatedSeparatorsLexically) {
    EXPECT_EQ(Full("/a/b/../c/./d.wav"), "/a/c/d.wav");
    EXPECT_EQ(Full("//a///b"), "/a/b");
    EXPECT_EQ(Full("/../../x"), "/x");
    EXPECT_EQ(Full("/a/.."), "/");
    EXPECT_EQ(Full("/"), "/");
    EXPECT_EQ(Full("/a/b/"), "/a/b/");
    EXPECT_EQ(Full("/a/b\\c.wav"), "/a/b\\c.wav");  // a backslash is part of a name here
}

TEST(FullPath, RelativePathsStartAtTheCurrentDirectory) {
    std::string cwd;
    ASSERT_TRUE(platform::GetCurrentDir(&cwd));
    std::string expected = cwd == "/" ? "/x.wav" : cwd + "/x.wav";
    EXPECT_EQ(Full("x.wav"), expected);
    EXPECT_EQ(Full("./sub/../x.wav"), expected);
    std::string empty;
    EXPECT_FALSE(FullPath("", &empty));
}

TEST(FullPath, LinksAreNotResolved) {
    testsupport::TempDir dir;
    dir.MakeDir("real");
    ASSERT_EQ(symlink((dir.path() + "/real").c_str(), (dir.path() + "/link").c_str()), 0);
    EXPECT_EQ(Full(dir.path() + "/link/../f.wav"), dir.path() + "/f.wav");
}

TEST(PathQueries, ProgramPathIsThisExecutable) {
    std::string program;
    ASSERT_TRUE(platform::GetProgramPath(&program));
    EXPECT_EQ(program.front(), '/');
    EXPECT_NE(program.find("test_platform"), std::string::npos);
}
