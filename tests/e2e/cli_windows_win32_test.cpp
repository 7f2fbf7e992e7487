// What the Windows program does differently: "/" switches, drive letters,
// and the Japanese texts chosen by the language ids and the console code page.
#include <windows.h>

#include "cli_fixture.h"
#include "convert_fixture.h"

namespace {

// The five conditions of the Japanese texts, as the system answers them now.
bool JapaneseSystem() {
    return (GetSystemDefaultLangID() & 0xFF) == 0x11 && (GetUserDefaultLangID() & 0xFF) == 0x11 &&
           GetSystemDefaultLCID() == 0x411 && GetUserDefaultLCID() == 0x411;
}

}  // namespace

class CliWindows : public CliTest {
  protected:
    void WriteInput() {
        dir.WriteFile("take1.wav",
                      conv::EncodeWav(conv::MakeWav(8000, 1, 100, [](std::size_t k, int) {
                          return static_cast<std::int32_t>(k);
                      })));
    }
};

TEST_F(CliWindows, SlashStartsEverySwitch) {
    testsupport::ChildResult r = Run({"/help"});
    EXPECT_EQ(r.out, cli::kBannerEnglish + cli::kUsageEnglish);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(Run({"/HELP=freq"}).out, cli::kBannerEnglish + cli::kHelpFreqEnglish);
    ExpectError({"in.wav", "/freq=0"}, "Error e114 : Invalid sampling frequency.");
    // A POSIX-style absolute path is a switch with a bad name here.
    ExpectError({"/tmp/in.wav"}, "Error d004 : Invalid subcommand.");
}

TEST_F(CliWindows, OutputOnAMissingDriveIsAnInvalidDriveName) {
    if (GetDriveTypeA("Q:\\") != DRIVE_NO_ROOT_DIR) GTEST_SKIP() << "Q: is mapped on this system";
    WriteInput();
    testsupport::ChildResult r = Run({"take1.wav", "Q:\\out.wav"});
    EXPECT_NE(r.out.find(" output : out.wav\n\nError b013 : Invalid drive name.\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.exit_code, 2);
}

TEST_F(CliWindows, OutputOnACdRomDriveIsRefused) {
    if (GetDriveTypeA("R:\\") != DRIVE_CDROM) {
        GTEST_SKIP() << "R: is no CD-ROM drive here (tools/wine_env.sh maps one under Wine)";
    }
    WriteInput();
    testsupport::ChildResult r = Run({"take1.wav", "R:\\out.wav"});
    EXPECT_NE(r.out.find("Error b044 : Cannot specify CD-ROM drive as output destination.\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.exit_code, 2);
}

TEST_F(CliWindows, BackslashAndSlashBothEndTheFolder) {
    WriteInput();
    dir.MakeDir("sub");
    EXPECT_EQ(FilesOf({"take1.wav", dir.path() + "\\sub/x.wav"}),
              "<< Files >>\n input  : take1.wav\n output : x.wav\n\n");
}

// The child inherits this test's console, set to code page 932. Under Wine
// without a terminal there is no console whose code page can be set (its
// code page reads as 0), and the test says so.
TEST_F(CliWindows, JapaneseSystemAndConsoleCodePage932WriteShiftJisBytes) {
    if (GetConsoleOutputCP() == 0) {
        FreeConsole();
        AllocConsole();
    }
    if (!SetConsoleOutputCP(932))
        GTEST_SKIP() << "no console whose code page can be set to 932 here";
    if (!JapaneseSystem()) GTEST_SKIP() << "the default languages of this system are not Japanese";
    testsupport::ChildResult r = Run({});
    EXPECT_EQ(r.out, cli::kBannerShiftJis + cli::kUsageShiftJis);
    EXPECT_EQ(r.exit_code, 0);
}

TEST_F(CliWindows, EnglishWhenAnyConditionFails) {
    // The test programs run without a console: its code page reads as 0.
    if (GetConsoleOutputCP() == 932) GTEST_SKIP() << "a console with code page 932 is attached";
    testsupport::ChildResult r = Run({});
    EXPECT_EQ(r.out, cli::kBannerEnglish + cli::kUsageEnglish);
}
