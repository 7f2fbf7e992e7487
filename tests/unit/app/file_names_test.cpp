#include <gtest/gtest.h>

#include "app/cmdline.h"
#include "app/status.h"
#include "platform/cli.h"
#include "tests/support/system.h"
#include "tests/support/temp_dir.h"

using namespace tolmek;

namespace {

class FileNames : public ::testing::Test {
  protected:
    void SetUp() override { ResetParserState(); }

    int Bare(const std::string& value) { return ApplySubcommand(-1, value, &job); }
    int Resolve() { return ResolveFileNames(&job); }

    testsupport::TempDir dir;
    ResampleJob job;
};

}  // namespace

// Where unknown arguments are refused, the third name is refused instead.
TEST_F(FileNames, TwoBareNamesAreInputAndOutputAndAThirdIsIgnored) {
    EXPECT_EQ(Bare(dir.Path("a.wav")), kStatusOk);
    EXPECT_TRUE(job.input_path.empty());
    EXPECT_EQ(Bare(dir.Path("b.wav")), kStatusOk);
    EXPECT_EQ(Bare(dir.Path("c.wav")), kStatusOk);
    EXPECT_EQ(job.input_path, dir.Path("a.wav"));
    EXPECT_EQ(job.output_path, dir.Path("b.wav"));
    if (platform::RefusesUnknownArguments()) {
        EXPECT_EQ(Resolve(), kErrTooManyFileNames);
        return;
    }
    EXPECT_EQ(Resolve(), kStatusOk);
    EXPECT_EQ(job.input_path, dir.Path("a.wav"));
    EXPECT_EQ(job.output_path, dir.Path("b.wav"));
}

TEST_F(FileNames, BareNameBecomesTheOutputWhenTheInputIsNamed) {
    EXPECT_EQ(Bare(dir.Path("x.wav")), kStatusOk);
    EXPECT_EQ(ApplySubcommand(kSubIn, dir.Path("y.wav"), &job), kStatusOk);
    EXPECT_EQ(Resolve(), kStatusOk);
    EXPECT_EQ(job.input_path, dir.Path("y.wav"));
    EXPECT_EQ(job.output_path, dir.Path("x.wav"));
}

TEST_F(FileNames, DefaultOutputPutsAnUnderscoreBeforeTheFileName) {
    job.input_path = dir.Path("take1.wav");
    EXPECT_EQ(Resolve(), kStatusOk);
    EXPECT_EQ(job.output_path, dir.Path("_take1.wav"));
}

TEST_F(FileNames, MissingInputIsTooFewParameters) {
    EXPECT_EQ(Resolve(), kErrTooFewParameters);
    job.output_path = dir.Path("out.wav");
    EXPECT_EQ(Resolve(), kErrTooFewParameters);
}

TEST_F(FileNames, InputWithoutExtensionIsCompletedWavThenAifThenAiff) {
    dir.WriteFile("take1.aiff", "x");
    job.input_path = dir.Path("take1");
    EXPECT_EQ(Resolve(), kStatusOk);
    EXPECT_EQ(job.input_path, dir.Path("take1.aiff"));
    // The default output is made before the completion and then takes its extension.
    EXPECT_EQ(job.output_path, dir.Path("_take1.aiff"));

    dir.WriteFile("take1.aif", "x");
    job = ResampleJob{};
    job.input_path = dir.Path("take1");
    EXPECT_EQ(Resolve(), kStatusOk);
    EXPECT_EQ(job.input_path, dir.Path("take1.aif"));

    dir.WriteFile("take1.wav", "x");
    job = ResampleJob{};
    job.input_path = dir.Path("take1");
    EXPECT_EQ(Resolve(), kStatusOk);
    EXPECT_EQ(job.input_path, dir.Path("take1.wav"));
    EXPECT_EQ(job.output_path, dir.Path("_take1.wav"));
}

TEST_F(FileNames, InputWithoutExtensionMustExistSomehow) {
    job.input_path = dir.Path("nothing");
    EXPECT_EQ(Resolve(), kErrInvalidInputName);

    dir.WriteFile("plain", "x");  // the exact name exists: used as it is
    job = ResampleJob{};
    job.input_path = dir.Path("plain");
    EXPECT_EQ(Resolve(), kStatusOk);
    EXPECT_EQ(job.input_path, dir.Path("plain"));
    EXPECT_EQ(job.output_path, dir.Path("_plain"));
}

TEST_F(FileNames, InputWithExtensionIsNotCheckedHere) {
    job.input_path = dir.Path("missing.wav");
    EXPECT_EQ(Resolve(), kStatusOk);
}

TEST_F(FileNames, OutputWithoutExtensionTakesTheInputExtensionUnlessItExists) {
    job.input_path = dir.Path("in.AIF");
    job.output_path = dir.Path("result");
    EXPECT_EQ(Resolve(), kStatusOk);
    EXPECT_EQ(job.output_path, dir.Path("result.AIF"));

    dir.WriteFile("existing", "x");
    job.output_path = dir.Path("existing");
    EXPECT_EQ(Resolve(), kStatusOk);
    EXPECT_EQ(job.output_path, dir.Path("existing"));
}

TEST_F(FileNames, DotInAFolderNameIsNotAnExtension) {
    dir.WriteFile("v1.0/take.wav", "x");
    job.input_path = dir.Path("v1.0/take");
    EXPECT_EQ(Resolve(), kStatusOk);
    EXPECT_EQ(job.input_path, dir.Path("v1.0/take.wav"));
    EXPECT_EQ(job.output_path, dir.Path("v1.0/_take.wav"));
}

TEST_F(FileNames, SameInputAndOutputInAnyCaseIsRefused) {
    job.input_path = dir.Path("a.wav");
    job.output_path = dir.Path("A.WAV");
    EXPECT_EQ(Resolve(), kErrWrongOutputName);
}

TEST_F(FileNames, NamesAreMadeFullPaths) {
    EXPECT_EQ(ApplySubcommand(kSubIn, dir.path() + "/sub/../x/./a.wav", &job), kStatusOk);
    EXPECT_EQ(job.input_path, dir.Path("x/a.wav"));
    EXPECT_EQ(ApplySubcommand(kSubOut, "", &job), kErrInvalidFileName);
}

TEST_F(FileNames, OverlongPathsAreRefusedNotCut) {
    if (!testsupport::IsPosix())
        GTEST_SKIP() << "the ANSI calls of Windows take paths of at most 260 characters";
    std::string name = dir.Path(std::string(1100 - dir.path().size(), 'a') + ".wav");
    EXPECT_EQ(ApplySubcommand(kSubIn, name, &job), kErrInvalidFileName);
    EXPECT_TRUE(job.input_path.empty());

    // Exactly 1023 bytes is still a path; adding the "_" of the default output is not.
    std::string longest = dir.Path(std::string(1023 - dir.path().size() - 5, 'b') + ".wav");
    ASSERT_EQ(longest.size(), 1023u);
    EXPECT_EQ(ApplySubcommand(kSubIn, longest, &job), kStatusOk);
    EXPECT_EQ(Resolve(), kErrInvalidFileName);
}

TEST(FileNameParts, SlashAndBackslashBothEndTheScan) {
    EXPECT_EQ(FileNamePart("/a/b/c.wav"), "c.wav");
    EXPECT_EQ(FileNamePart("a\\b.wav"), "b.wav");
    EXPECT_EQ(FileNamePart("plain"), "plain");
    std::string_view extension;
    EXPECT_TRUE(GetExtension("/a.b/c.tar.wav", &extension));
    EXPECT_EQ(extension, "wav");
    EXPECT_FALSE(GetExtension("/a.b/c", &extension));
    EXPECT_FALSE(GetExtension("x.y\\c", &extension));
    EXPECT_TRUE(GetExtension("/a/c.", &extension));
    EXPECT_EQ(extension, "");
}
