// "--" before a subcommand name and "--version", where the platform's own
// tools take them; elsewhere they stay invalid subcommands.
#include "cli_fixture.h"
#include "convert_fixture.h"
#include "platform/cli.h"

using cli::kBannerEnglish;

namespace {

const std::string kInvalidSubcommand = "Error d004 : Invalid subcommand.";

}  // namespace

class CliDoubleDash : public CliTest {
  protected:
    // The run gives exactly what the one-dash arguments give, or, where the
    // platform keeps its one-dash rules, d004.
    void ExpectSameAs(const std::vector<std::string>& double_dash,
                      const std::vector<std::string>& one_dash) {
        if (!platform::TakesDoubleDashOptions()) {
            ExpectError(double_dash, kInvalidSubcommand);
            return;
        }
        testsupport::ChildResult got = Run(double_dash);
        testsupport::ChildResult want = Run(one_dash);
        EXPECT_EQ(got.out, want.out) << double_dash[0];
        EXPECT_EQ(got.err, want.err) << double_dash[0];
        EXPECT_EQ(got.exit_code, want.exit_code) << double_dash[0];
    }
};

TEST_F(CliDoubleDash, HelpPagesReadLikeTheirOneDashForms) {
    ExpectSameAs({"--help"}, {"-help"});
    ExpectSameAs({"--help=freq"}, {"-help=freq"});
    ExpectSameAs({"--HELP=Mode"}, {"-help=mode"});
    ExpectSameAs({"--help=xyz"}, {"-help=xyz"});
    ExpectSameAs({"--help", "--freq=44100"}, {"-help", "-freq=44100"});
    if (platform::TakesDoubleDashOptions()) {
        EXPECT_EQ(Run({"--help"}).out, kBannerEnglish + cli::kUsageEnglish);
    }
}

TEST_F(CliDoubleDash, SettingsAndTheirErrorsReadLikeTheirOneDashForms) {
    ExpectSameAs({"--freq=5", "in.wav"}, {"-freq=5", "in.wav"});
    ExpectSameAs({"--freq", "in.wav"}, {"-freq", "in.wav"});
    ExpectSameAs({"--freq=", "in.wav"}, {"-freq=", "in.wav"});
    ExpectSameAs({"--in=missing.wav"}, {"-in=missing.wav"});
    ExpectSameAs({"--prio=idle"}, {"-prio=idle"});
}

TEST_F(CliDoubleDash, VersionAloneShowsTheBannerAndEndsWithZero) {
    testsupport::ChildResult r = Run({"--version"});
    if (!platform::TakesDoubleDashOptions()) {
        EXPECT_EQ(r.out, kBannerEnglish + kInvalidSubcommand + "\n");
        EXPECT_EQ(r.exit_code, 2);
        return;
    }
    EXPECT_EQ(r.out, kBannerEnglish);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.exit_code, 0);
    // Even with a "tolmek.ini" that would stop -help.
    dir.WriteFile("tolmek.ini", "[TOLMEK]\n-freq=44100\n");
    EXPECT_EQ(Run({"--version"}).out, kBannerEnglish);
}

TEST_F(CliDoubleDash, AnythingElseAfterTwoDashesIsStillAnInvalidSubcommand) {
    for (const char* arg : {"--xyz", "--xyz=out.wav", "--", "--=x", "--VERSION", "--version=1"}) {
        ExpectError({arg}, kInvalidSubcommand);
    }
    // Where unknown switches are refused, the nearest subcommand is named.
    const std::string hint = platform::RefusesUnknownArguments() ? "\n Did you mean -freq?" : "";
    for (const char* arg : {"---freq=1", "--fr_eq=1"})
        ExpectError({arg}, kInvalidSubcommand + hint);
    // --version is the banner only when it stands alone.
    ExpectError({"--version", "in.wav"}, kInvalidSubcommand);
    ExpectError({"in.wav", "--version"}, kInvalidSubcommand);
}

class ConvertDoubleDash : public ConvertTest {};

TEST_F(ConvertDoubleDash, DoubleDashSettingsWriteTheSameFile) {
    Write(
        "in.wav", conv::MakeWav(44100, 2, 4410, [](std::size_t k, int c) {
            return static_cast<std::int32_t>((k * 13 + static_cast<std::size_t>(c) * 500) % 16000) -
                   8000;
        }));
    testsupport::ChildResult one =
        Run({"-freq=48000", "in.wav", "-out=one.wav", "-mode=speed", "-bit=24"});
    ASSERT_EQ(one.exit_code, 0) << one.out;
    testsupport::ChildResult two =
        Run({"--freq=48000", "--in=in.wav", "--out=two.wav", "--MODE=speed", "--bit=24"});
    if (!platform::TakesDoubleDashOptions()) {
        EXPECT_EQ(two.exit_code, 2);
        return;
    }
    ASSERT_EQ(two.exit_code, 0) << two.out;
    EXPECT_EQ(dir.ReadFile("two.wav"), dir.ReadFile("one.wav"));
    // The reports differ only in the output's name.
    std::string report = two.out;
    report.replace(report.find("two.wav"), 7, "one.wav");
    EXPECT_EQ(report, one.out);
}
