// Command-line failures: each ends with its error line and exit code 2.
#include "cli_fixture.h"
#include "platform/cli.h"

TEST_F(CliArguments, ArgumentCountLimits) {
    ExpectError({"-freq=44100"}, "Error e103 : Too few command line parameters.");
    std::vector<std::string> eleven(11, "-ch=1");
    ExpectError(eleven, "Error e104 : Too many command line parameters.");
    std::vector<std::string> ten(10, "-ch=1");
    ExpectError(ten, "Error e103 : Too few command line parameters.");
}

TEST_F(CliArguments, ArgumentSyntaxErrors) {
    ExpectError({""}, "Error d001 : The command line argument is not specified.");
    ExpectError({"-"}, "Error d002 : The subcommand is not specified.");
    ExpectError({"/"}, "Error d002 : The subcommand is not specified.");
    ExpectError({"-freq="}, "Error d003 : The subcommand parameter is not specified.");
    ExpectError({"-fr_eq=1"}, platform::RefusesUnknownArguments()
                                  ? "Error d004 : Invalid subcommand.\n Did you mean -freq?"
                                  : "Error d004 : Invalid subcommand.");
    ExpectError({"in.wav", "-out=a\tb.wav"}, "Error d005 : Invalid subcommand parameter.");
}

TEST_F(CliArguments, OverlongArgumentIsRefusedNotCut) {
    ExpectError({"-out=" + std::string(1100, 'a') + ".wav", "in.wav"},
                "Error d005 : Invalid subcommand parameter.");
    ExpectError({"in.wav", "-out=" + std::string(1010, 'a')}, "Error b011 : Invalid file name.");
}

TEST_F(CliArguments, FirstFailureEndsTheParse) {
    ExpectError({"-freq", "-ch=9"}, "Error e114 : Invalid sampling frequency.");
    ExpectError({"-ch=9", "-freq"},
                "Error e114 : Invalid sampling frequency.");  // range checks come last
}

TEST_F(CliRanges, ValueErrors) {
    struct Case {
        const char* arg;
        const char* line;
    };
    const Case cases[] = {
        {"-freq", "Error e114 : Invalid sampling frequency."},
        {"-freq=+44100", "Error e114 : Invalid sampling frequency."},
        {"-freq=4e4", "Error e114 : Invalid sampling frequency."},
        {"-freq=5", "Error e114 : Invalid sampling frequency."},
        {"-freq=99999999999", "Error e114 : Invalid sampling frequency."},
        {"-ch=3", "Error e115 : Invalid channel number."},
        {"-ch=0", "Error e115 : Invalid channel number."},
        {"-bit=33", "Error e116 : Invalid quantization number."},
        {"-vol=999.5", "Error e117 : Invalid volume."},
        {"-vol=loud", "Error e117 : Invalid volume."},
        {"-smpl=-1", "Error e118 : Invalid sample number."},
        {"-smpl=3000000000", "Error e206 : Output file size becomes over 2GB."},
        {"-mode=11", "Error e111 : Wrong conversion mode."},
        {"-mode=fast", "Error e111 : Wrong conversion mode."},
        {"-prio=idle", "Error e102 : Invalid subcommand parameter."},
    };
    for (const Case& c : cases)
        ExpectError({"in.wav", c.arg}, c.line);
}

TEST_F(CliRanges, AcceptedValuesGetAsFarAsTheFileNames) {
    for (const char* arg : {"-freq=44100.9", "-FREQ=48000", "/freq=10", "-freq=192000", "-vol=-999",
                            "-vol=999", "-vol=NORMALIZE", "-mode=7", "-mode=Speed", "-mode=QUALITY",
                            "-smpl=0", "-bit=1", "-prio=NORMAL", "-prio=low", "-ch=2"}) {
        EXPECT_EQ(FilesOf({"in.wav", arg}), cli::FilesBlock("in.wav", "_in.wav")) << arg;
    }
}

TEST_F(CliFileNames, SameInputAndOutputInAnyCaseIsRefused) {
    ExpectError({"-in=a.wav", "-out=A.WAV"}, "Error e107 : Wrong output file name.");
    ExpectError({"a.wav", "./A.wav"}, "Error e107 : Wrong output file name.");
}

TEST_F(CliFileNames, MissingInputWithoutExtension) {
    testsupport::ChildResult r = Run({"take1"});
    EXPECT_EQ(r.out, cli::kBannerEnglish + "Error b021 : Invalid input file name.\n");
    EXPECT_EQ(r.exit_code, 2);
    // The name looked up, with the system's reason, follows on standard error.
    EXPECT_EQ(r.err.rfind("tolmek: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("take1: "), std::string::npos) << r.err;
}
