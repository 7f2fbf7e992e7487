#include <gtest/gtest.h>

#include "app/cmdline.h"
#include "app/status.h"
#include "tests/support/system.h"
#include "tests/support/temp_dir.h"

using namespace tolmek;

namespace {

class SettingsFiles : public ::testing::Test {
  protected:
    void SetUp() override { ResetParserState(); }

    int ReadIni(const std::string& content) {
        std::string path = dir.WriteFile("tolmek.ini", content);
        return ReadInitializationFileFrom(path, dir.Path("absent/tolmek.ini"), &job);
    }

    testsupport::TempDir dir;
    ResampleJob job;
};

}  // namespace

TEST_F(SettingsFiles, KeysOfTheTolmekSectionAreApplied) {
    std::string path = dir.WriteFile("set.txt",
                                     "[other]\n-freq=22050\n"
                                     "[tolmek]\n-freq=48000\n/ch=1\n -bit = 24 \n-vol=\"-6\"\n"
                                     "-meta=KEEP\n");
    EXPECT_EQ(ReadSettingsFile(path, &job), kStatusOk);
    EXPECT_EQ(job.output_sampling_rate, 48000);
    EXPECT_EQ(job.output_num_channels, 1);
    EXPECT_EQ(job.output_num_bits, 24);  // first character of the key is skipped, whatever it is
    EXPECT_EQ(job.volume_db, -6.0);
    EXPECT_TRUE(job.keep_meta);
    EXPECT_EQ(CurrentParserState().help_state, 2);
}

TEST_F(SettingsFiles, SubcommandFileMayNameInputAndOutput) {
    std::string path = dir.WriteFile(
        "set.txt", "[TOLMEK]\n-in=" + dir.Path("a.wav") + "\n-out=" + dir.Path("b.aif") + "\n");
    EXPECT_EQ(ApplySubcommand(kSubSub, path, &job), kStatusOk);
    EXPECT_EQ(job.input_path, dir.Path("a.wav"));
    EXPECT_EQ(job.output_path, dir.Path("b.aif"));
}

TEST_F(SettingsFiles, SubcommandFileRefusesHelpSubAndUnknownKeys) {
    EXPECT_EQ(ReadSettingsFile(dir.WriteFile("h.txt", "[TOLMEK]\n-freq=44100\n-help=freq\n"), &job),
              kErrSubFileHelp);
    EXPECT_EQ(job.output_sampling_rate, 44100);  // keys before the failure stay applied
    EXPECT_EQ(ReadSettingsFile(dir.WriteFile("s.txt", "[TOLMEK]\n-sub=x\n"), &job), kErrSubFileSub);
    EXPECT_EQ(ReadSettingsFile(dir.WriteFile("u.txt", "[TOLMEK]\n-xyz=1\n"), &job),
              kErrInvalidSubcommand);
    EXPECT_EQ(ReadSettingsFile(dir.WriteFile("v.txt", "[TOLMEK]\n-mode=turbo\n"), &job),
              kErrWrongMode);
}

TEST_F(SettingsFiles, SubcommandFileMustBeAReadableFile) {
    EXPECT_EQ(ApplySubcommand(kSubSub, dir.Path("none.txt"), &job), kErrSubFileInvalid);
    dir.MakeDir("folder");
    EXPECT_EQ(ApplySubcommand(kSubSub, dir.Path("folder"), &job), kErrSubFileDirectory);
    EXPECT_EQ(ApplySubcommand(kSubSub, "", &job), kErrSubFileInvalid);
}

TEST_F(SettingsFiles, LongValuesAreReadWholeAndRefusedAbove1023Bytes) {
    if (!testsupport::IsPosix())
        GTEST_SKIP() << "the ANSI calls of Windows take paths of at most 260 characters";
    std::string name1023 = dir.Path(std::string(1023 - dir.path().size() - 5, 'n') + ".wav");
    ASSERT_EQ(name1023.size(), 1023u);
    EXPECT_EQ(ReadSettingsFile(dir.WriteFile("ok.txt", "[TOLMEK]\n-out=" + name1023 + "\n"), &job),
              kStatusOk);
    EXPECT_EQ(job.output_path, name1023);

    std::string name1024 = name1023 + "x";
    EXPECT_EQ(
        ReadSettingsFile(dir.WriteFile("long.txt", "[TOLMEK]\n-out=" + name1024 + "\n"), &job),
        kErrBadParameter);
}

TEST_F(SettingsFiles, IniSettingsApplyAndUnknownKeysEndTheFileSilently) {
    EXPECT_EQ(ReadIni("[TOLMEK]\n-freq=32000\n-meta=keep\n-bogus=1\n-ch=1\n"), kStatusOk);
    EXPECT_EQ(job.output_sampling_rate, 32000);
    EXPECT_TRUE(job.keep_meta);
    EXPECT_EQ(job.output_num_channels, 0);
}

TEST_F(SettingsFiles, MetaTakesKeepOrDropInAnyCase) {
    EXPECT_EQ(ApplySubcommand(kSubMeta, "Keep", &job), kStatusOk);
    EXPECT_TRUE(job.keep_meta);
    EXPECT_EQ(ApplySubcommand(kSubMeta, "yes", &job), kErrInvalidParameter);
    EXPECT_TRUE(job.keep_meta);
    EXPECT_EQ(ApplySubcommand(kSubMeta, "DROP", &job), kStatusOk);
    EXPECT_FALSE(job.keep_meta);
}

TEST_F(SettingsFiles, IniFailingValueEndsTheFileSilently) {
    EXPECT_EQ(ReadIni("[TOLMEK]\n-bit=8\n-freq=fast\n-ch=2\n"), kStatusOk);
    EXPECT_EQ(job.output_num_bits, 8);
    EXPECT_EQ(job.output_num_channels, 0);
}

TEST_F(SettingsFiles, IniMustNotNameFilesSubOrHelp) {
    EXPECT_EQ(ReadIni("[TOLMEK]\n-in=" + dir.Path("a.wav") + "\n"), kErrIniInputFile);
    job = ResampleJob{};
    EXPECT_EQ(ReadIni("[TOLMEK]\n-out=" + dir.Path("b.wav") + "\n"), kErrIniOutputFile);
    job = ResampleJob{};
    EXPECT_EQ(ReadIni("[TOLMEK]\n-in=" + dir.Path("a.wav") + "\n-out=" + dir.Path("b.wav") + "\n"),
              kErrIniInputFile);
    job = ResampleJob{};
    EXPECT_EQ(ReadIni("[TOLMEK]\n-sub=x\n"), kErrIniSub);
    EXPECT_EQ(ReadIni("[TOLMEK]\n-help=freq\n"), kErrIniHelp);
}

TEST_F(SettingsFiles, SecondIniIsReadOnlyWhenTheFirstDoesNotExist) {
    std::string beside = dir.WriteFile("prog/tolmek.ini", "[TOLMEK]\n-freq=22050\n");
    EXPECT_EQ(ReadInitializationFileFrom(dir.Path("cwd/tolmek.ini"), beside, &job), kStatusOk);
    EXPECT_EQ(job.output_sampling_rate, 22050);

    job = ResampleJob{};
    std::string here = dir.WriteFile("cwd/tolmek.ini", "[TOLMEK]\n-ch=1\n");
    EXPECT_EQ(ReadInitializationFileFrom(here, beside, &job), kStatusOk);
    EXPECT_EQ(job.output_num_channels, 1);
    EXPECT_EQ(job.output_sampling_rate, 0);

    job = ResampleJob{};
    ResetParserState();
    EXPECT_EQ(ReadInitializationFileFrom(dir.Path("x/tolmek.ini"), dir.Path("y/tolmek.ini"), &job),
              kStatusOk);
    EXPECT_EQ(CurrentParserState().help_state, 0);
}

TEST_F(SettingsFiles, IniThatIsAFolderCannotBeRead) {
    std::string folder = dir.MakeDir("tolmek.ini");
    EXPECT_EQ(ReadInitializationFileFrom(folder, dir.Path("none"), &job), kErrSubFileInUse);
}
