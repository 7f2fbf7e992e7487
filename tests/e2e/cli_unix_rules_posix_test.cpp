// Where a shell expands wildcards: an argument starting with "-" that names
// no subcommand is refused (with the nearest subcommand named), and file
// names beyond the input and the output are refused before any file is
// touched.
#include "cli_fixture.h"
#include "convert_fixture.h"

namespace {

const std::string kTooMany = "Error e105 : Too many file names.";

}  // namespace

class CliUnixRules : public CliTest {};

TEST_F(CliUnixRules, FileNamesBeyondInputAndOutputAreRefused) {
    // What the shell hands over for `tolmek t*.wav -freq=48000`.
    const std::string take = conv::EncodeWav(conv::MakeWav(
        8000, 1, 80, [](std::size_t i, int) { return static_cast<std::int32_t>(i); }));
    for (const char* name : {"t1.wav", "t2.wav", "t3.wav"})
        dir.WriteFile(name, take);
    ExpectError({"t1.wav", "t2.wav", "t3.wav", "-freq=48000"}, kTooMany);
    for (const char* name : {"t1.wav", "t2.wav", "t3.wav"})
        EXPECT_EQ(dir.ReadFile(name), take) << name;

    // -in and -out, from the arguments or a subcommand file, take their place.
    dir.WriteFile("in.txt", "[TOLMEK]\n-in=a.wav\n");
    ExpectError({"a.wav", "b.wav", "-in=x.wav"}, kTooMany);
    ExpectError({"-in=a.wav", "-out=b.wav", "c.wav"}, kTooMany);
    ExpectError({"b.wav", "-sub=in.txt", "c.wav"}, kTooMany);
    EXPECT_EQ(FilesOf({"-sub=in.txt", "b.wav"}), cli::FilesBlock("a.wav", "b.wav"));
    EXPECT_EQ(FilesOf({"-in=a.wav", "-in=b.wav", "c.wav"}), cli::FilesBlock("b.wav", "c.wav"));
}

TEST_F(CliUnixRules, UnknownSwitchesAreRefusedWithTheNearestSubcommand) {
    const std::pair<const char*, const char*> cases[] = {
        {"-frq=48000", "-freq"},      {"-chanels=1", "-ch"},     {"-h", "-help"},
        {"-Frequency=8000", "-freq"}, {"--frq=48000", "-freq"},  {"-hc=1", "-ch"},
        {"-sample=10", "-smpl"},      {"-xyz=out.wav", nullptr}, {"-s=1", nullptr},
        {"-bin=1", nullptr},
    };
    for (const auto& [arg, hint] : cases) {
        ExpectError({"song.wav", arg},
                    std::string("Error d004 : Invalid subcommand.") +
                        (hint ? std::string("\n Did you mean ") + hint + "?" : std::string()));
    }
    EXPECT_EQ(Run({"song.wav", "-frq=48000"}, {"LANG=ja_JP.UTF-8"}).out,
              cli::kBannerUtf8 +
                  "Error d004 : 不正なサブコマンドが指定されています\n"
                  " もしかして -freq ですか？\n");
}

TEST_F(CliUnixRules, AFileWhoseNameStartsWithADashIsReachedAsAPath) {
    ExpectError({"-x.wav"}, "Error d004 : Invalid subcommand.");
    EXPECT_EQ(FilesOf({"./-x.wav"}), cli::FilesBlock("-x.wav", "_-x.wav"));
    EXPECT_EQ(FilesOf({"-in=-x.wav", "-out=-y.wav"}), cli::FilesBlock("-x.wav", "-y.wav"));
}
