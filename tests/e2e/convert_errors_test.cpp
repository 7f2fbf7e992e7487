// Failures of preparation and conversion: the exact error line, exit code 2
// and no output file left behind.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "convert_fixture.h"
#include "tests/support/system.h"

namespace {

conv::WavFile Short(int rate, int channels) {
    return conv::MakeWav(rate, channels, 100,
                         [](std::size_t k, int) { return static_cast<std::int32_t>(k); });
}

std::size_t CountEntries(const std::string& folder) {
    std::size_t n = 0;
    for (auto it = std::filesystem::directory_iterator(folder);
         it != std::filesystem::directory_iterator(); ++it)
        ++n;
    return n;
}

}  // namespace

class ConvertErrors : public ConvertTest {
  protected:
    // The run ends with exactly these lines after the file names, exit
    // code 2, and the folder holds no more entries than before.
    void ExpectFailure(const std::vector<std::string>& args, const std::string& lines) {
        const std::size_t before = CountEntries(dir.path());
        testsupport::ChildResult r = Run(args);
        EXPECT_EQ(r.exit_code, 2);
        const std::string after = conv::AfterBanner(r.out);
        const std::size_t files_end = after.find("\n\n");
        ASSERT_NE(files_end, std::string::npos) << after;
        EXPECT_EQ(after.substr(files_end + 2), lines);
        EXPECT_EQ(CountEntries(dir.path()), before);
    }
};

TEST_F(ConvertErrors, MissingInput) {
    ExpectFailure({"none.wav", "-out=out.wav"}, "Error b021 : Invalid input file name.\n");
}

TEST_F(ConvertErrors, InputIsAFolder) {
    dir.MakeDir("folder.wav");
    ExpectFailure({"folder.wav", "-out=out.wav"},
                  "Error b022 : Specified input file is directory.\n");
}

TEST_F(ConvertErrors, EmptyInput) {
    dir.WriteFile("empty.wav", "");
    ExpectFailure({"empty.wav", "-out=out.wav"}, "Error e203 : Specified file has no data.\n");
}

TEST_F(ConvertErrors, UnreadableHeaderShowsTheModuleText) {
    dir.WriteFile("junk.wav", "this is not a wave file at all, just text");
    testsupport::ChildResult r = Run({"junk.wav", "-out=out.wav"});
    EXPECT_EQ(r.exit_code, 2);
    const std::string after = conv::AfterBanner(r.out);
    const std::size_t at = after.find("Error c001 : Cannot open input file.\n(");
    ASSERT_NE(at, std::string::npos) << after;
    EXPECT_EQ(after.back(), '\n');
    EXPECT_EQ(after.substr(after.size() - 2), ")\n");
    EXPECT_FALSE(dir.Exists("out.wav"));
}

TEST_F(ConvertErrors, ThirtyThreeChannelsAreRefused) {
    Write("in.wav", Short(8000, 33));
    ExpectFailure({"in.wav", "-out=out.wav"},
                  "Error e202 : The number of channels of the input file is not supported.\n");
}

TEST_F(ConvertErrors, ThirtyThreeChannelsAreRefusedBeforeTheNormalizationPass) {
    Write("in.wav", Short(8000, 33));
    ExpectFailure({"in.wav", "-out=out.wav", "-vol=normalize"},
                  "Error e202 : The number of channels of the input file is not supported.\n");
}

TEST_F(ConvertErrors, ChannelChangeOfAMultichannelInput) {
    Write("in.wav", Short(8000, 4));
    ExpectFailure(
        {"in.wav", "-out=out.wav", "-ch=2"},
        "Error e201 : The number change of channels of a multichannel audio is not supported.\n");
}

TEST_F(ConvertErrors, AiffOutputOver2GB) {
    Write("in.wav", Short(8000, 2));
    ExpectFailure({"in.wav", "-out=out.aif", "-smpl=536870912"},
                  "Error e206 : Output file size becomes over 2GB.\n");
}

TEST_F(ConvertErrors, DerivedCountThatDoesNotFitIsOver2GB) {
    // 120000 frames at 10 Hz are 2304000000 frames at 192 kHz.
    conv::WavFile in = conv::MakeWav(10, 1, 120000, [](std::size_t, int) { return 0; });
    in.bits = 8;
    Write("in.wav", in);
    ExpectFailure({"in.wav", "-out=out.wav", "-freq=192000"},
                  "Error e206 : Output file size becomes over 2GB.\n");
}

TEST_F(ConvertErrors, OutputIsAFolder) {
    Write("in.wav", Short(8000, 1));
    dir.MakeDir("out.wav");
    ExpectFailure({"in.wav", "-out=out.wav"}, "Error b032 : Specified output file is directory.\n");
}

TEST_F(ConvertErrors, OutputInAMissingFolderCannotBeOpened) {
    Write("in.wav", Short(8000, 1));
    testsupport::ChildResult r = Run({"in.wav", "-out=nowhere/out.wav"});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_NE(r.out.find("Error c002 : Cannot open output file.\n"), std::string::npos) << r.out;
    EXPECT_FALSE(dir.Exists("nowhere"));
}

TEST_F(ConvertErrors, HardLinkToTheInputIsRefusedAndTheInputSurvives) {
    conv::WavFile in = Short(8000, 1);
    Write("in.wav", in);
    std::filesystem::create_hard_link(dir.Path("in.wav"), dir.Path("other.wav"));
    ExpectFailure({"in.wav", "-out=other.wav", "-freq=16000"},
                  "Error e107 : Wrong output file name.\n");
    EXPECT_EQ(dir.ReadFile("in.wav"), conv::EncodeWav(in));
}

TEST_F(ConvertErrors, FullDiskInMidRunIsAWriteFailure) {
    if (!testsupport::IsPosix())
        GTEST_SKIP() << "POSIX only: a file size limit is set through /bin/sh";
    // The output may not grow beyond 64 KiB: its first large write fails as
    // on a full disk.
    Write("in.wav", conv::MakeWav(44100, 2, 441000, [](std::size_t k, int) {
              return static_cast<std::int32_t>(k % 1000);
          }));
    testsupport::ChildOptions options;
    options.program = "/bin/sh";
    options.args = {"-c",           "trap '' XFSZ; ulimit -f 128 && exec \"$0\" \"$@\"",
                    TOLMEK_BIN,     "in.wav",
                    "-out=out.wav", "-freq=48000",
                    "-mode=speed"};
    options.env = {"LANG=C"};
    options.cwd = dir.path();
    testsupport::ChildResult r = testsupport::RunChild(options);
    EXPECT_EQ(r.exit_code, 2) << r.out << r.err;
    EXPECT_EQ(r.out.find("Completed"), std::string::npos);
    const std::size_t at = r.out.find("Error c003 : Cannot write output file.\n(");
    EXPECT_NE(at, std::string::npos) << r.out;
    EXPECT_FALSE(dir.Exists("out.wav"));
}

TEST_F(ConvertErrors, DeviceThatRefusesWritesFailsAndIsNotDeleted) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "POSIX only: /dev devices";
    struct stat before;
    if (stat("/dev/full", &before) != 0 || !S_ISCHR(before.st_mode)) GTEST_SKIP() << "no /dev/full";
    Write("in.wav", conv::MakeWav(8000, 1, 80000, [](std::size_t k, int) {
              return static_cast<std::int32_t>(k % 100);
          }));
    testsupport::ChildResult r = Run({"in.wav", "-out=/dev/full"});
    EXPECT_EQ(r.exit_code, 2) << r.out;
    EXPECT_EQ(r.out.find("Completed"), std::string::npos);
    EXPECT_TRUE(r.out.find("Error c003 : Cannot write output file.\n") != std::string::npos ||
                r.out.find("Error c002 : Cannot open output file.\n") != std::string::npos)
        << r.out;
    struct stat after;
    ASSERT_EQ(stat("/dev/full", &after), 0);
    EXPECT_TRUE(S_ISCHR(after.st_mode));
}

TEST_F(ConvertErrors, DeviceOutputCompletes) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "POSIX only: /dev devices";
    Write("in.wav", Short(8000, 1));
    testsupport::ChildResult r = Run({"in.wav", "-out=/dev/null", "-freq=16000"});
    EXPECT_EQ(r.exit_code, 0) << r.out;
    struct stat after;
    ASSERT_EQ(stat("/dev/null", &after), 0);
    EXPECT_TRUE(S_ISCHR(after.st_mode));
}
