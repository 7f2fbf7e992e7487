// Usage and help pages, and the choice of language.
#include "cli_fixture.h"
#include "tests/support/system.h"

using cli::kBannerEnglish;

TEST_F(CliPages, NoArgumentPrintsBannerAndUsage) {
    testsupport::ChildResult r = Run({});
    EXPECT_EQ(r.out, kBannerEnglish + cli::kUsageEnglish);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.exit_code, 0);
}

TEST_F(CliPages, HelpAlonePrintsTheUsagePage) {
    for (const char* help : {"-help", "-HELP", "/help", "/Help"}) {
        testsupport::ChildResult r = Run({help});
        EXPECT_EQ(r.out, kBannerEnglish + cli::kUsageEnglish) << help;
        EXPECT_EQ(r.exit_code, 0) << help;
    }
}

TEST_F(CliPages, HelpWithATopicPrintsThatPage) {
    struct Case {
        const char* arg;
        const std::string& page;
    };
    const Case cases[] = {
        {"-help=freq", cli::kHelpFreqEnglish},
        {"-help=FREQ", cli::kHelpFreqEnglish},
        {"/help=ch", cli::kHelpChEnglish},
        {"-help=mode", cli::kHelpModeEnglish},
    };
    for (const Case& c : cases) {
        testsupport::ChildResult r = Run({c.arg});
        EXPECT_EQ(r.out, kBannerEnglish + c.page) << c.arg;
        EXPECT_EQ(r.exit_code, 0) << c.arg;
    }
    // The last -help names the page.
    EXPECT_EQ(Run({"-help=ch", "-help=freq"}).out, kBannerEnglish + cli::kHelpFreqEnglish);
}

TEST_F(CliPages, EveryHelpPageNamesItsSubcommand) {
    for (const char* topic :
         {"help", "in", "out", "freq", "ch", "bit", "smpl", "vol", "mode", "sub", "prio", "meta"}) {
        testsupport::ChildResult r = Run({std::string("-help=") + topic});
        EXPECT_EQ(r.out.rfind(kBannerEnglish + "Subcommand : " + topic, 0), 0u) << topic;
        EXPECT_EQ(r.exit_code, 0);
    }
}

TEST_F(CliPages, UnknownHelpTopicIsAnInvalidParameter) {
    ExpectError({"-help=xyz"}, "Error e102 : Invalid subcommand parameter.");
    ExpectError({"-help=-freq"}, "Error e102 : Invalid subcommand parameter.");
}

TEST_F(CliPages, HelpWithAnyOtherSettingShowsNoPage) {
    ExpectError({"-help", "-freq=44100"}, "Error e103 : Too few command line parameters.");
    ExpectError({"-freq=44100", "-help=freq"}, "Error e103 : Too few command line parameters.");
    dir.WriteFile("tolmek.ini", "[TOLMEK]\n-freq=44100\n");
    ExpectError({"-help"}, "Error e103 : Too few command line parameters.");
}

TEST_F(CliPages, IniWithoutKeysLeavesHelpAlone) {
    dir.WriteFile("tolmek.ini", "; nothing set\n[TOLMEK]\n");
    EXPECT_EQ(Run({"-help=freq"}).out, kBannerEnglish + cli::kHelpFreqEnglish);
}

TEST_F(CliLanguage, ShiftJisLocaleWritesJapaneseCodePage932Bytes) {
    if (!testsupport::IsPosix())
        GTEST_SKIP() << "the language comes from locale variables on POSIX only";
    for (const char* lang : {"LANG=ja_JP.SJIS", "LANG=ja_JP.Shift_JIS", "LANG=ja_JP.cp932",
                             "LANG=ja_JP.WINDOWS-31J"}) {
        testsupport::ChildResult r = Run({}, {lang});
        EXPECT_EQ(r.out, cli::kBannerShiftJis + cli::kUsageShiftJis) << lang;
        EXPECT_EQ(r.exit_code, 0);
    }
    testsupport::ChildResult r = Run({"-freq"}, {"LANG=ja_JP.SJIS"});
    EXPECT_EQ(r.out, cli::kBannerShiftJis + cli::kInvalidFrequencyShiftJis);
    EXPECT_EQ(r.exit_code, 2);
}

TEST_F(CliLanguage, Utf8JapaneseLocaleWritesTheSameTextsInUtf8) {
    if (!testsupport::IsPosix())
        GTEST_SKIP() << "the language comes from locale variables on POSIX only";
    testsupport::ChildResult r = Run({"-help=vol"}, {"LANG=ja_JP.UTF-8"});
    EXPECT_EQ(r.out, cli::kBannerUtf8 + cli::kHelpVolUtf8);
    r = Run({"-freq=0"}, {"LANG=ja_JP.UTF-8"});
    EXPECT_EQ(r.out,
              cli::kBannerUtf8 + "Error e114 : サンプリング周波数の指定が正しくありません\n");
}

TEST_F(CliLanguage, LocaleVariablesAreTakenInPosixOrder) {
    if (!testsupport::IsPosix())
        GTEST_SKIP() << "the language comes from locale variables on POSIX only";
    EXPECT_EQ(Run({}, {"LC_ALL=C", "LANG=ja_JP.SJIS"}).out.rfind(kBannerEnglish, 0), 0u);
    EXPECT_EQ(
        Run({}, {"LC_MESSAGES=ja_JP.SJIS", "LANG=en_US.UTF-8"}).out.rfind(cli::kBannerShiftJis, 0),
        0u);
    EXPECT_EQ(
        Run({}, {"LC_ALL=", "LC_MESSAGES=", "LANG=ja_JP.UTF-8"}).out.rfind(cli::kBannerUtf8, 0),
        0u);
    EXPECT_EQ(Run({}, {"LC_ALL=ja_JP.eucJP"}).out.rfind(kBannerEnglish, 0), 0u);
    EXPECT_EQ(Run({}, {}).out.rfind(kBannerEnglish, 0), 0u);
}
