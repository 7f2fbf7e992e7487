// Writes the seed corpora of the command-line, settings-file and extended
// number fuzz targets into <folder>/cmdline, <folder>/settings and
// <folder>/extended. Switch names come from the program's own subcommand
// table and the extended numbers from its own encoder.
//
//   make_text_corpus <folder>

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "app/cmdline.h"
#include "codecs/aiff_extended.h"

namespace {

using namespace std::string_literals;

int g_written = 0;

void WriteFile(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) == 0 && ok) ++g_written;
}

// A value that the subcommand at `index` accepts.
std::string SampleValue(int index) {
    switch (index) {
        case tolmek::kSubHelp: return "freq";
        case tolmek::kSubIn: return "in.wav";
        case tolmek::kSubOut: return "out.aif";
        case tolmek::kSubFreq: return "48000";
        case tolmek::kSubCh: return "2";
        case tolmek::kSubBit: return "16";
        case tolmek::kSubSmpl: return "44100.5";
        case tolmek::kSubVol: return "-6.5";
        case tolmek::kSubMode: return "quality";
        case tolmek::kSubSub: return "job.txt";
        case tolmek::kSubPrio: return "normal";
        default: return "x";
    }
}

void WriteCommandLines(const std::string& dir) {
    std::vector<std::string> lines;
    for (int i = 0; i < tolmek::kNumSubcommands; ++i) {
        const std::string name = tolmek::kSubcommandNames[i];
        lines.push_back("-" + name + "=" + SampleValue(i));
        lines.push_back("/" + name + "=" + SampleValue(i));
        lines.push_back("-" + name);
    }
    lines.push_back("in.wav\0out.wav\0-freq=22050\0-ch=1\0-bit=8\0-vol=normalize"s);
    lines.push_back("/tmp/a.wav\0/tmp/b.aiff\0/MODE=speed\0-smpl=0"s);
    lines.push_back("-\0/\0-x=\0-a!b=1\0-vol=\x01"s);
    lines.push_back("-FREQ=192000\0-Bit=32\0-mode=7\0-vol=-999.0\0-smpl=2147483647"s);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        WriteFile(dir + "/args_" + std::to_string(i), lines[i]);
    }
}

void WriteSettings(const std::string& dir) {
    std::string all = "[TOLMEK]\n";
    for (int i = 0; i < tolmek::kNumSubcommands; ++i) {
        if (i == tolmek::kSubPrio || i == tolmek::kSubSub || i == tolmek::kSubHelp) continue;
        all += std::string("-") + tolmek::kSubcommandNames[i] + "=" + SampleValue(i) + "\n";
    }
    const std::string files[] = {
        all,
        "; comment\r\n[other]\r\n-freq=8000\r\n[ tolmek ]\r\n  -ch = 1 \r\n-bit=\"24\"\r\n",
        "[TOLMEK]\n-vol='normalize'\n-VOL=3\n-mode\n\n[TOLMEK]\n-freq=11025\n",
        "[TOLMEK]\n-sub=other.txt\n",
        "[TOLMEK]\n-help=vol\n",
        "[TOLMEK]\n-nosuch=1\n-freq=44100",
        "[TOLMEK\n-freq=1\n[]\n=\n\t;x\n[TOLMEK]\n\"\n'",
    };
    int n = 0;
    for (const std::string& text : files)
        WriteFile(dir + "/settings_" + std::to_string(n++), text);
}

void WriteExtended(const std::string& dir) {
    const double values[] = {0.0,
                             -0.0,
                             1.0,
                             8000.0,
                             11025.0,
                             22050.0,
                             44100.0,
                             48000.0,
                             96000.0,
                             192000.0,
                             0.5,
                             -44100.0,
                             2147483647.0,
                             2147483648.0,
                             -2147483649.0,
                             1e-310,
                             1e308,
                             std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN()};
    int n = 0;
    for (double v : values) {
        std::uint8_t bytes[kExtendedBytes];
        double_to_extended(v, bytes);
        std::string seed(reinterpret_cast<const char*>(bytes), kExtendedBytes);
        char raw[sizeof v];
        std::memcpy(raw, &v, sizeof v);
        seed.append(raw, sizeof v);
        WriteFile(dir + "/ext_" + std::to_string(n++), seed);
    }
    // Patterns the encoder never writes: zero exponent, clear integer bit, largest exponent.
    const std::uint8_t odd[][kExtendedBytes] = {
        {0x00, 0x00, 0x80, 0, 0, 0, 0, 0, 0, 0},
        {0x40, 0x0E, 0x00, 0x01, 0, 0, 0, 0, 0, 0},
        {0x7F, 0xFF, 0x00, 0, 0, 0, 0, 0, 0, 1},
        {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
    };
    for (const auto& bytes : odd) {
        WriteFile(dir + "/ext_" + std::to_string(n++),
                  std::string(reinterpret_cast<const char*>(bytes), kExtendedBytes));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_text_corpus <folder>\n");
        return 2;
    }
    const std::string root = argv[1];
    for (const char* sub : {"cmdline", "settings", "extended"}) {
        ::mkdir((root + "/" + sub).c_str(), 0755);
    }
    WriteCommandLines(root + "/cmdline");
    WriteSettings(root + "/settings");
    WriteExtended(root + "/extended");
    std::printf("%d seed files in %s\n", g_written, root.c_str());
    return g_written > 0 ? 0 : 1;
}
