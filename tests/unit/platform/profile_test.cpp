#include <gtest/gtest.h>

#include "platform/profile.h"
#include "tests/support/temp_dir.h"

using platform::ParseProfileSection;
using platform::ProfileEntry;

namespace {

std::vector<std::string> Flatten(const std::vector<ProfileEntry>& entries) {
    std::vector<std::string> out;
    for (const ProfileEntry& e : entries)
        out.push_back(e.key + "|" + e.value);
    return out;
}

}  // namespace

TEST(ProfileReader, KeysInFileOrderWithTrimmedValues) {
    auto entries =
        ParseProfileSection("[TOLMEK]\n-freq=48000\n  -ch =  2  \r\n\t-bit\t=\t24\n", "TOLMEK");
    EXPECT_EQ(Flatten(entries), (std::vector<std::string>{"-freq|48000", "-ch|2", "-bit|24"}));
}

TEST(ProfileReader, SectionNamesMatchInAnyCaseAndOnlyThatSectionIsRead) {
    auto entries = ParseProfileSection("-a=0\n[x]\n-b=1\n[ tolmek ]\n-c=2\n[y]\n-d=3\n", "TOLMEK");
    EXPECT_EQ(Flatten(entries), (std::vector<std::string>{"-c|2"}));
    EXPECT_TRUE(ParseProfileSection("[x]\n-b=1\n", "TOLMEK").empty());
}

TEST(ProfileReader, FirstOccurrenceOfAKeyWins) {
    auto entries = ParseProfileSection("[TOLMEK]\n-freq=1\n-ch=2\n-FREQ=3\n", "TOLMEK");
    EXPECT_EQ(Flatten(entries), (std::vector<std::string>{"-freq|1", "-ch|2"}));
}

TEST(ProfileReader, CommentsBlankLinesAndQuotes) {
    auto entries = ParseProfileSection(
        "; comment\n[TOLMEK]\n\n; -freq=1\n  ;x=1\n-out=\"my file.wav\"\n-in='a.wav'\n-vol=\"6\n-sub=\"\"\n",
        "TOLMEK");
    EXPECT_EQ(Flatten(entries),
              (std::vector<std::string>{"-out|my file.wav", "-in|a.wav", "-vol|\"6", "-sub|"}));
}

TEST(ProfileReader, LineWithoutEqualsIsAKeyWithEmptyValue) {
    auto entries = ParseProfileSection("[TOLMEK]\n-help\n=orphan\n-x=a=b\n", "TOLMEK");
    EXPECT_EQ(Flatten(entries), (std::vector<std::string>{"-help|", "-x|a=b"}));
}

TEST(ProfileReader, LongValuesAreNotCut) {
    std::string value(5000, 'v');
    auto entries = ParseProfileSection("[TOLMEK]\n-out=" + value + "\n", "TOLMEK");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].value, value);
}

TEST(ProfileReader, ReadsFilesAndReportsUnreadableOnes) {
    testsupport::TempDir dir;
    std::string path = dir.WriteFile("a.ini", "[TOLMEK]\n-freq=22050");  // no final newline
    std::vector<ProfileEntry> entries;
    ASSERT_TRUE(platform::ReadProfileSection(path, "TOLMEK", &entries));
    EXPECT_EQ(Flatten(entries), (std::vector<std::string>{"-freq|22050"}));
    EXPECT_FALSE(platform::ReadProfileSection(dir.Path("none.ini"), "TOLMEK", &entries));
    EXPECT_TRUE(entries.empty());
}
