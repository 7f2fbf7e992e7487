// File names, "tolmek.ini" and subcommand files through the program.
#include <filesystem>

#include "cli_fixture.h"
#include "platform/cli.h"

using cli::FilesBlock;

TEST_F(CliFileNames, BareNamesAndDefaultOutput) {
    EXPECT_EQ(FilesOf({"take1.wav"}), FilesBlock("take1.wav", "_take1.wav"));
    EXPECT_EQ(FilesOf({"x.wav", "-in=y.wav"}), FilesBlock("y.wav", "x.wav"));
    EXPECT_EQ(FilesOf({"-out=o.aif", "-in=i.wav"}), FilesBlock("i.wav", "o.aif"));
    // Under the one-dash rules a third name is ignored and an unknown switch
    // names a file; elsewhere both are refused (cli_unix_rules_posix_test).
    if (!platform::RefusesUnknownArguments()) {
        EXPECT_EQ(FilesOf({"a.wav", "b.wav", "c.wav"}), FilesBlock("a.wav", "b.wav"));
        EXPECT_EQ(FilesOf({"in.wav", "-xyz=out.wav"}), FilesBlock("in.wav", "out.wav"));
    }
}

TEST_F(CliFileNames, AbsolutePathsAreFileNamesNotSwitches) {
    std::string input = dir.Path("take1.wav");
    EXPECT_EQ(FilesOf({input}), FilesBlock("take1.wav", "_take1.wav"));
    EXPECT_EQ(FilesOf({input, dir.Path("freq")}), FilesBlock("take1.wav", "freq.wav"));
}

TEST_F(CliFileNames, InputExtensionIsCompletedAndPassedToTheOutput) {
    dir.WriteFile("take1.aif", "x");
    EXPECT_EQ(FilesOf({"take1"}), FilesBlock("take1.aif", "_take1.aif"));
    dir.WriteFile("take1.wav", "x");
    EXPECT_EQ(FilesOf({"take1"}), FilesBlock("take1.wav", "_take1.wav"));
    EXPECT_EQ(FilesOf({"take1", "result"}), FilesBlock("take1.wav", "result.wav"));
    dir.WriteFile("result", "x");
    EXPECT_EQ(FilesOf({"take1", "result"}), FilesBlock("take1.wav", "result"));
}

TEST_F(CliFileNames, FileNamesArePrintedLiterally) {
    EXPECT_EQ(FilesOf({"100%s.wav"}), FilesBlock("100%s.wav", "_100%s.wav"));
}

TEST_F(CliSettingsFiles, IniInTheCurrentFolderIsApplied) {
    dir.WriteFile("tolmek.ini", "[TOLMEK]\n-freq=5\n");
    ExpectError({"in.wav"}, "Error e114 : Invalid sampling frequency.");
    // Arguments come after the initialization file and overwrite it.
    EXPECT_EQ(FilesOf({"in.wav", "-freq=44100"}), FilesBlock("in.wav", "_in.wav"));
}

TEST_F(CliSettingsFiles, IniRefusesFilesSubAndHelp) {
    dir.WriteFile("tolmek.ini", "[TOLMEK]\n-in=a.wav\n");
    ExpectError({"in.wav"}, "Error e152 : Input file specified within initialization file.");
    dir.WriteFile("tolmek.ini", "[TOLMEK]\n-out=a.wav\n");
    ExpectError({"in.wav"}, "Error e153 : Output file specified within initialization file.");
    dir.WriteFile("tolmek.ini", "[TOLMEK]\n-sub=x\n");
    ExpectError({"in.wav"}, "Error e154 : -sub command found within initialization file.");
    dir.WriteFile("tolmek.ini", "[TOLMEK]\n-help=freq\n");
    ExpectError({"in.wav"}, "Error e155 : -help command found within initialization file.");
}

TEST_F(CliSettingsFiles, IniUnknownKeySkipsTheRestWithoutError) {
    dir.WriteFile("tolmek.ini", "[TOLMEK]\n-xyz=1\n-freq=5\n");
    EXPECT_EQ(FilesOf({"in.wav"}), FilesBlock("in.wav", "_in.wav"));
}

TEST_F(CliSettingsFiles, IniBesideTheProgramIsUsedWhenTheCurrentFolderHasNone) {
    std::string bin = dir.MakeDir("bin") + "/tolmek";
    std::filesystem::copy_file(TOLMEK_BIN, bin);
    std::filesystem::permissions(bin, std::filesystem::perms::owner_all);
    dir.WriteFile("bin/tolmek.ini", "[TOLMEK]\n-freq=5\n");
    std::string work = dir.MakeDir("work");

    testsupport::ChildOptions options;
    options.program = bin;
    options.args = {"in.wav"};
    options.env = {"LANG=C"};
    options.cwd = work;
    testsupport::ChildResult r = testsupport::RunChild(options);
    EXPECT_EQ(r.out, cli::kBannerEnglish + "Error e114 : Invalid sampling frequency.\n");
    EXPECT_EQ(r.exit_code, 2);

    // One in the current folder wins; the one beside the program is then not read.
    dir.WriteFile("work/tolmek.ini", "[TOLMEK]\n-ch=3\n");
    r = testsupport::RunChild(options);
    EXPECT_EQ(r.out, cli::kBannerEnglish + "Error e115 : Invalid channel number.\n");
}

TEST_F(CliSettingsFiles, SubcommandFileSettingsApplyAtItsPosition) {
    dir.WriteFile("set.txt", "[TOLMEK]\n-freq=5\n");
    ExpectError({"in.wav", "-sub=set.txt"}, "Error e114 : Invalid sampling frequency.");
    EXPECT_EQ(FilesOf({"in.wav", "-sub=set.txt", "-freq=48000"}), FilesBlock("in.wav", "_in.wav"));
    ExpectError({"in.wav", "-freq=48000", "-sub=set.txt"},
                "Error e114 : Invalid sampling frequency.");
}

TEST_F(CliSettingsFiles, SubcommandFileMayNameTheFilesRelativeToTheCurrentFolder) {
    dir.WriteFile("a.aif", "x");
    dir.WriteFile("sets/s.txt", "[TOLMEK]\n-in=a\n-out=b\n");
    EXPECT_EQ(FilesOf({"-sub=sets/s.txt"}), FilesBlock("a.aif", "b.aif"));
}

TEST_F(CliSettingsFiles, SubcommandFileErrors) {
    ExpectError({"in.wav", "-sub=none.txt"}, "Error e162 : Invalid subcommand file.");
    dir.MakeDir("folder");
    ExpectError({"in.wav", "-sub=folder"},
                "Error e163 : Specified input file in subcommand file is directory.");
    dir.WriteFile("sub.txt", "[TOLMEK]\n-sub=other.txt\n");
    ExpectError({"in.wav", "-sub=sub.txt"},
                "Error e164 : -sub command found within subcommand file.");
    dir.WriteFile("help.txt", "[TOLMEK]\n-help=freq\n");
    ExpectError({"in.wav", "-sub=help.txt"},
                "Error e165 : -help command found within subcommand file.");
    dir.WriteFile("bad.txt", "[TOLMEK]\n-frequency=1\n");
    ExpectError({"in.wav", "-sub=bad.txt"}, "Error e101 : Invalid subcommand.");
}
