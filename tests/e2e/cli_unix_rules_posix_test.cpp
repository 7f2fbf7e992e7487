// The command line where a shell expands wildcards: an argument starting
// with "-" that names no subcommand is refused (with the subcommand it most
// likely meant), and file names beyond the input and the output are refused
// before any file is touched.
#include <filesystem>
#include <map>

#include "cli_fixture.h"
#include "convert_fixture.h"

namespace {

const std::string kInvalid = "Error d004 : Invalid subcommand.\n";
const std::string kTooMany = "Error e105 : Too many file names.";

std::size_t Entries(const std::string& folder) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
        ++n;
    return n;
}

}  // namespace

class CliUnixRules : public CliTest {};

// What a shell hands over for `tolmek t*.wav -freq=48000` in a folder of
// three takes.
TEST_F(CliUnixRules, AGlobOfThreeFilesChangesNone) {
    std::map<std::string, std::string> takes;
    int k = 0;
    for (const std::string name : {"t1.wav", "t2.wav", "t3.wav"}) {
        ++k;
        takes[name] = conv::EncodeWav(
            conv::MakeWav(44100, 1, 441 * static_cast<std::size_t>(k),
                          [k](std::size_t i, int) { return static_cast<std::int32_t>(i) * k; }));
        dir.WriteFile(name, takes[name]);
    }
    ExpectError({"t1.wav", "t2.wav", "t3.wav", "-freq=48000"}, kTooMany);
    for (const auto& [name, bytes] : takes)
        EXPECT_EQ(dir.ReadFile(name), bytes) << name;
    EXPECT_EQ(Entries(dir.path()), 3u);
}

// Bare names may fill only what -in and -out (given as arguments or in a
// subcommand file) leave open; a later -in still replaces an earlier one.
TEST_F(CliUnixRules, FileNamesBeyondInputAndOutputAreRefused) {
    dir.WriteFile("both.txt", "[TOLMEK]\n-in=a.wav\n-out=b.wav\n");
    dir.WriteFile("in.txt", "[TOLMEK]\n-in=a.wav\n");
    struct Case {
        std::vector<std::string> args;
        const char* input;  // null: refused
        const char* output;
    };
    const Case cases[] = {
        {{"a.wav", "b.wav", "c.wav"}, nullptr, nullptr},
        {{"a.wav", "b.wav", "-in=x.wav"}, nullptr, nullptr},
        {{"a.wav", "b.wav", "-out=x.wav"}, nullptr, nullptr},
        {{"-in=a.wav", "b.wav", "c.wav"}, nullptr, nullptr},
        {{"-in=a.wav", "-out=b.wav", "c.wav"}, nullptr, nullptr},
        {{"-sub=both.txt", "c.wav"}, nullptr, nullptr},
        {{"b.wav", "-sub=in.txt", "c.wav"}, nullptr, nullptr},
        {{"a.wav", "b.wav"}, "a.wav", "b.wav"},
        {{"x.wav", "-in=y.wav"}, "y.wav", "x.wav"},
        {{"-out=o.wav", "i.wav"}, "i.wav", "o.wav"},
        {{"-sub=in.txt", "b.wav"}, "a.wav", "b.wav"},
        {{"-in=a.wav", "-in=b.wav", "c.wav"}, "b.wav", "c.wav"},
    };
    for (const Case& c : cases) {
        if (c.input == nullptr) {
            ExpectError(c.args, kTooMany);
        } else {
            EXPECT_EQ(FilesOf(c.args), cli::FilesBlock(c.input, c.output)) << c.args[0];
        }
    }
}

TEST_F(CliUnixRules, UnknownSwitchesAreRefusedWithTheNearestSubcommand) {
    struct Case {
        const char* arg;
        const char* hint;  // empty: no suggestion
    };
    const Case cases[] = {
        {"-frq=48000", "-freq"}, {"-chanels=1", "-ch"},
        {"-h", "-help"},         {"-Frequency=8000", "-freq"},
        {"-fr_eq=1", "-freq"},   {"--frq=48000", "-freq"},
        {"-hlep", "-help"},      {"-hc=1", "-ch"},
        {"-sample=10", "-smpl"}, {"-xyz=out.wav", ""},
        {"-version", ""},        {"-s=1", ""},
        {"-bin=1", ""},
    };
    for (const Case& c : cases) {
        testsupport::ChildResult r = Run({"song.wav", c.arg});
        const std::string hint = *c.hint ? std::string(" Did you mean ") + c.hint + "?\n" : "";
        EXPECT_EQ(r.out, cli::kBannerEnglish + kInvalid + hint) << c.arg;
        EXPECT_EQ(r.err, "") << c.arg;
        EXPECT_EQ(r.exit_code, 2) << c.arg;
    }
    EXPECT_EQ(Entries(dir.path()), 0u);  // no "48000.wav" or "1.wav"

    testsupport::ChildResult r = Run({"song.wav", "-frq=48000"}, {"LANG=ja_JP.UTF-8"});
    EXPECT_EQ(r.out, cli::kBannerUtf8 +
                         "Error d004 : 不正なサブコマンドが指定されています\n"
                         " もしかして -freq ですか？\n");
}

TEST_F(CliUnixRules, AFileWhoseNameStartsWithADashIsReachedAsAPath) {
    dir.WriteFile("-x.wav", conv::EncodeWav(conv::MakeWav(8000, 1, 80, [](std::size_t i, int) {
                      return static_cast<std::int32_t>(i);
                  })));
    ExpectError({"-x.wav"}, kInvalid.substr(0, kInvalid.size() - 1));
    EXPECT_EQ(FilesOf({"-in=-x.wav", "-out=-y.wav"}), cli::FilesBlock("-x.wav", "-y.wav"));
    testsupport::ChildResult r = Run({"./-x.wav", "-freq=16000"});
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_TRUE(dir.Exists("_-x.wav"));
}
