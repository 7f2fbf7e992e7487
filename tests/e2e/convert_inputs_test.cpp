// Inputs beyond integer PCM through the whole program: float WAV converted
// to 32-bit PCM and with its headroom, formats that are not read and files cut short refused with
// exit code 2 and no output, files longer than stated still converted.
#include <cmath>
#include <cstring>
#include <limits>

#include "convert_fixture.h"

namespace {

void PutLE(std::string& s, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A mono WAV at 8000 Hz with a 16-byte 'fmt ' of the given tag and sample
// width, then the sample bytes.
std::string WavOf(int tag, int bits, const std::string& data) {
    const int block = bits / 8;
    std::string fmt;
    PutLE(fmt, static_cast<std::uint64_t>(tag), 2);
    PutLE(fmt, 1, 2);
    PutLE(fmt, 8000, 4);
    PutLE(fmt, static_cast<std::uint64_t>(8000 * block), 4);
    PutLE(fmt, static_cast<std::uint64_t>(block), 2);
    PutLE(fmt, static_cast<std::uint64_t>(bits), 2);
    std::string wav = "RIFF";
    PutLE(wav, 4 + 8 + fmt.size() + 8 + data.size(), 4);
    wav += "WAVEfmt ";
    PutLE(wav, fmt.size(), 4);
    wav += fmt + "data";
    PutLE(wav, data.size(), 4);
    return wav + data;
}

std::string Floats(const std::vector<float>& values) {
    std::string s;
    for (const float v : values) {
        std::uint32_t u;
        std::memcpy(&u, &v, 4);
        PutLE(s, u, 4);
    }
    return s;
}

std::string Line(const char* text) {
    return std::string("Error c001 : Cannot open input file.\n(") + text + ")\n";
}

}  // namespace

class ConvertInputs : public ConvertTest {
  protected:
    // The run fails with exit code 2, its output ends with `tail`, and no
    // output file is left; in Japanese the module's text is the same.
    void ExpectRefused(const std::string& input, const std::string& tail) {
        for (const char* lang : {"LANG=C", "LANG=ja_JP.UTF-8"}) {
            testsupport::ChildResult r =
                testsupport::RunTolmek({input, "-out=out.wav", "-freq=48000"}, dir.path(), {lang});
            EXPECT_EQ(r.exit_code, 2) << lang;
            const std::size_t open = tail.find('(');
            ASSERT_GE(r.out.size(), tail.size() - open);
            EXPECT_EQ(r.out.substr(r.out.size() - (tail.size() - open)), tail.substr(open))
                << r.out;
            if (std::string(lang) == "LANG=C") {
                EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail) << r.out;
            }
            EXPECT_FALSE(dir.Exists("out.wav")) << lang;
        }
    }
};

TEST_F(ConvertInputs, FloatSamplesBecomeThirtyTwoBitPcm) {
    const float step = std::ldexp(1.0f, -31);
    const std::vector<float> in = {0.5f, -0.25f, 1.5f, -1.5f, step / 2, std::nanf(""), 1.0f, -1.0f};
    const std::vector<std::int32_t> want = {1073741824, -536870912, 2147483647, -2147483647 - 1,
                                            1,          0,          2147483647, -2147483647 - 1};
    dir.WriteFile("f32.wav", WavOf(3, 32, Floats(in)));
    testsupport::ChildResult r = Run({"f32.wav", "-out=out.wav", "-bit=32"});
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_NE(r.out.find(" number of quantization bit : 32(bit float) -> 32(bit)\n"),
              std::string::npos)
        << r.out;
    conv::WavFile out = Read("out.wav");
    EXPECT_EQ(out.bits, 32);
    EXPECT_EQ(out.samples, want);
}

// Values beyond +-1.0 are headroom: they reach the gain and the peak pass
// as they are, and clip only at the output, where they are counted.
TEST_F(ConvertInputs, FloatHeadroomReachesTheGainAndClipsOnlyAtTheOutput) {
    // +3.5 dBFS: the float at or just above 10^(3.5 / 20).
    const float peak = std::nextafter(static_cast<float>(std::pow(10.0, 3.5 / 20.0)), 2.0f);
    ASSERT_GE(20.0 * std::log10(peak), 3.5);
    const std::vector<float> in = {peak, -0.5f, 1.25f, -1.0f, std::nanf(""), 0.25f};
    dir.WriteFile("loud.wav", WavOf(3, 32, Floats(in)));
    testsupport::ChildResult r = Run({"loud.wav", "-out=out.wav", "-vol=-6", "-bit=32"});
    ASSERT_EQ(r.exit_code, 0) << r.out;
    EXPECT_EQ(r.err.find("clipped"), std::string::npos) << r.err;
    conv::WavFile out = Read("out.wav");
    const double factor = std::pow(10.0, -6.0 / 20.0);
    ASSERT_EQ(out.samples.size(), in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        const double x = std::isnan(in[i]) ? 0.0 : in[i] * 2147483648.0 * factor;
        EXPECT_EQ(out.samples[i], static_cast<std::int32_t>(std::round(x))) << i;
    }
    EXPECT_NEAR(20.0 * std::log10(out.samples[0] / 2147483648.0), -2.50, 0.005);

    r = Run({"loud.wav", "-out=norm.wav", "-vol=normalize", "-bit=32"});
    ASSERT_EQ(r.exit_code, 0) << r.out;
    EXPECT_NE(r.out.find(" volume control             : -3.500(dB)\n"), std::string::npos) << r.out;
    EXPECT_EQ(Read("norm.wav").samples[0], 2147483647);

    // Infinities and values beyond full scale clip once, at 16 bits; the
    // peak pass leaves the infinities out.
    const float inf = std::numeric_limits<float>::infinity();
    dir.WriteFile("inf.wav", WavOf(3, 32, Floats({inf, -inf, 1.5f, 0.5f, -1.0f})));
    r = Run({"inf.wav", "-out=inf16.wav", "-bit=16"});
    ASSERT_EQ(r.exit_code, 0) << r.out;
    EXPECT_NE(r.err.find(" Warning : 3 samples were clipped.\n"), std::string::npos) << r.err;
    EXPECT_EQ(Read("inf16.wav").samples,
              (std::vector<std::int32_t>{32767, -32768, 32767, 16384, -32768}));
    r = Run({"inf.wav", "-out=infn.wav", "-bit=16", "-vol=normalize"});
    EXPECT_NE(r.out.find(" volume control             : -3.521(dB)\n"), std::string::npos) << r.out;
}

TEST_F(ConvertInputs, OtherSampleFormatsAreRefused) {
    std::string adpcm = WavOf(2, 8, std::string(256, '\x11'));  // tag 2: MS ADPCM
    dir.WriteFile("adpcm.wav", adpcm);
    ExpectRefused("adpcm.wav", Line("E2006110786 : This sample format is not supported."));
    dir.WriteFile("gsm.wav", WavOf(0x31, 8, std::string(65, '\x22')));
    ExpectRefused("gsm.wav", Line("E2006110786 : This sample format is not supported."));
}

TEST_F(ConvertInputs, FilesCutShortAreRefusedAndLongerOnesConverted) {
    Write(
        "full.wav", conv::MakeWav(8000, 2, 4000, [](std::size_t k, int c) {
            return static_cast<std::int32_t>((k * 37 + static_cast<std::size_t>(c) * 11) % 20000) -
                   10000;
        }));
    // The AIFF twin, written by the program itself at the same rate.
    ASSERT_EQ(Run({"full.wav", "-out=full.aif"}).exit_code, 0);
    const std::string wav = dir.ReadFile("full.wav");
    const std::string aiff = dir.ReadFile("full.aif");

    dir.WriteFile("cut.wav", wav.substr(0, wav.size() / 2));
    ExpectRefused("cut.wav", Line("E2006110765 : The size written in 'data' chunk is wrong."));
    dir.WriteFile("cut9.wav", wav.substr(0, wav.size() - 9));
    ExpectRefused("cut9.wav", Line("E2006110765 : The size written in 'data' chunk is wrong."));
    dir.WriteFile("cut.aif", aiff.substr(0, aiff.size() / 2));
    ExpectRefused("cut.aif", Line("E2006110861 : The size written in 'SSND' chunk is wrong."));
    dir.WriteFile("cut9.aif", aiff.substr(0, aiff.size() - 9));
    ExpectRefused("cut9.aif", Line("E2006110861 : The size written in 'SSND' chunk is wrong."));

    // Up to 8 bytes short: the chunk head is not counted in the size test,
    // and the missing bytes read as zeros, exactly as if they were there.
    for (const std::size_t missing : {1u, 8u}) {
        for (const std::string* whole : {&wav, &aiff}) {
            const std::string ext = whole == &wav ? ".wav" : ".aif";
            std::string zeroed = *whole;
            std::fill(zeroed.end() - static_cast<std::ptrdiff_t>(missing), zeroed.end(), '\0');
            dir.WriteFile("short" + ext, whole->substr(0, whole->size() - missing));
            dir.WriteFile("zeroed" + ext, zeroed);
            ASSERT_EQ(Run({"short" + ext, "-out=short_out.wav", "-freq=11025"}).exit_code, 0)
                << missing << ext;
            ASSERT_EQ(Run({"zeroed" + ext, "-out=zeroed_out.wav", "-freq=11025"}).exit_code, 0);
            EXPECT_EQ(dir.ReadFile("short_out.wav"), dir.ReadFile("zeroed_out.wav"))
                << missing << ext;
        }
    }

    dir.WriteFile("long.wav", wav + std::string(1001, '\0'));
    dir.WriteFile("long.aif", aiff + std::string(1, '\0'));
    for (const char* name : {"long.wav", "long.aif"}) {
        testsupport::ChildResult r = Run({name, "-out=out.wav"});
        EXPECT_EQ(r.exit_code, 0) << name << r.out;
        EXPECT_EQ(Read("out.wav").frames(), 4000u) << name;
    }
}
