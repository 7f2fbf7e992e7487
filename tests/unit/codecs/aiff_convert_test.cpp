// Whole conversions through the built program between WAV and AIFF: header
// values, markers and loops moved to the new rate, the same samples whatever
// the containers, and the format names of the report. Skipped when the
// program has not been built.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/unit/codecs/aiff_test_util.h"
#include "wavestream/wstm/wstm.h"

namespace {

using filetest::ScratchDir;

constexpr std::int32_t kInRate = 44100;
constexpr std::int32_t kOutRate = 48000;
constexpr std::int32_t kFrames = 22050;
const std::int32_t kMarkers[] = {100, 12345};
const std::int32_t kLoops[][2] = {{1000, 20000}, {500, 600}};

bool HaveProgram() { return std::filesystem::exists(TOLMEK_BIN); }

// Half a second of two tones with the markers and loops above.
void MakeInput(const std::string& path) {
    WstmHandle* h = WSTM_Create(path.c_str(), kInRate, 2, 16, kFrames);
    ASSERT_NE(h, nullptr);
    for (std::int32_t i = 0; i < kFrames; ++i) {
        const std::int32_t frame[2] = {
            static_cast<std::int32_t>(std::lround(0x30000000 * std::sin(i * 0.0627))),
            static_cast<std::int32_t>(std::lround(0x20000000 * std::sin(i * 0.1423)))};
        (void)WSTM_WriteSample(h, frame, 2);
    }
    (void)WSTM_SetNumMarkers(h, 2);
    for (int i = 0; i < 2; ++i)
        (void)WSTM_SetMarker(h, i, kMarkers[i]);
    (void)WSTM_SetNumLoops(h, 2);
    for (int i = 0; i < 2; ++i)
        (void)WSTM_SetLoop(h, i, kLoops[i][0], kLoops[i][1]);
    ASSERT_EQ(WSTM_Close(h), 0);
}

std::int32_t Scaled(std::int32_t position) {
    const double r = static_cast<double>(kOutRate) / kInRate;
    return static_cast<std::int32_t>(position * r + 0.5);
}

struct Output {
    std::int32_t file_format = 0;
    std::int32_t rate = 0, channels = 0, bits = 0;
    std::uint32_t frames = 0;
    std::vector<std::int32_t> markers;
    std::vector<std::pair<std::int32_t, std::int32_t>> loops;
    std::vector<std::int32_t> samples;
};

Output ReadBack(const std::string& path) {
    Output o;
    WstmHandle* h = WSTM_Open(path.c_str());
    if (h == nullptr) return o;
    o.file_format = h->file_format;
    o.rate = WSTM_GetSamplingRate(h);
    o.channels = WSTM_GetNumChannels(h);
    o.bits = WSTM_GetNumBits(h);
    o.frames = WSTM_GetNumSamples(h);
    for (std::int32_t i = 0; i < WSTM_GetNumMarkers(h); ++i) {
        std::int32_t p = 0;
        (void)WSTM_GetMarker(h, i, &p);
        o.markers.push_back(p);
    }
    for (std::int32_t i = 0; i < WSTM_GetNumLoops(h); ++i) {
        std::int32_t s = 0, e = 0;
        (void)WSTM_GetLoop(h, i, &s, &e);
        o.loops.emplace_back(s, e);
    }
    std::vector<std::int32_t> frame(static_cast<std::size_t>(o.channels));
    for (std::uint32_t i = 0; i < o.frames; ++i) {
        (void)WSTM_ReadSample(h, frame.data(), o.channels);
        o.samples.insert(o.samples.end(), frame.begin(), frame.end());
    }
    (void)WSTM_Close(h);
    return o;
}

class AiffConvert : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!HaveProgram()) GTEST_SKIP() << "the program is not built";
    }
    // Runs the program in the scratch folder; gives its standard output.
    std::string Convert(const std::string& in, const std::string& out,
                        const std::vector<std::string>& extra = {"-freq=48000"}) {
        std::vector<std::string> args = {in, "-out=" + out};
        args.insert(args.end(), extra.begin(), extra.end());
        const testsupport::ChildResult r = testsupport::RunTolmek(args, dir_.root());
        EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
        return r.out;
    }
    std::string Path(const std::string& name) const { return dir_.Path(name); }
    ScratchDir dir_;
};

TEST_F(AiffConvert, EveryPairOfFormatsCarriesMarkersAndLoopsToTheNewRate) {
    MakeInput(Path("in.wav"));
    MakeInput(Path("in.aiff"));
    struct Case {
        const char *in, *out, *report;
        std::int32_t out_format;
    };
    const Case cases[] = {
        {"in.wav", "w2a.aif", " file format                : WAV -> AIFF\n", kWstmFormatAiff},
        {"in.aiff", "a2w.wav", " file format                : AIFF -> WAV\n", kWstmFormatWav},
        {"in.aiff", "a2a.AIFF", " file format                : AIFF -> AIFF\n", kWstmFormatAiff},
        {"in.wav", "w2w.wav", " file format                : WAV -> WAV\n", kWstmFormatWav},
    };
    std::vector<Output> outputs;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.out);
        const std::string report = Convert(c.in, c.out);
        EXPECT_NE(report.find(c.report), std::string::npos) << report;
        Output o = ReadBack(Path(c.out));
        EXPECT_EQ(o.file_format, c.out_format);
        EXPECT_EQ(o.rate, kOutRate);
        EXPECT_EQ(o.channels, 2);
        EXPECT_EQ(o.bits, 16);
        EXPECT_EQ(o.frames, static_cast<std::uint32_t>(Scaled(kFrames)));
        // The given markers come first; an AIFF input also holds one marker per
        // loop point, which moves along with them.
        ASSERT_GE(o.markers.size(), 2u);
        EXPECT_EQ(o.markers[0], Scaled(kMarkers[0]));
        EXPECT_EQ(o.markers[1], Scaled(kMarkers[1]));
        ASSERT_EQ(o.loops.size(), 2u);
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(o.loops[i].first, Scaled(kLoops[i][0]));
            EXPECT_EQ(o.loops[i].second, Scaled(kLoops[i][1]));
        }
        outputs.push_back(std::move(o));
    }
    // The containers do not change the audio.
    for (const Output& o : outputs)
        EXPECT_EQ(o.samples, outputs.back().samples);
    EXPECT_GT(outputs.back().samples.size(), 0u);
}

TEST_F(AiffConvert, AifcOutputIsWrittenAsAiffButReportedAsWav) {
    MakeInput(Path("in.aif"));
    const std::string report = Convert("in.aif", "out.aifc", {"-freq=8000", "-bit=8", "-ch=1"});
    EXPECT_NE(report.find(" file format                : AIFF -> WAV\n"), std::string::npos)
        << report;
    const Output o = ReadBack(Path("out.aifc"));
    EXPECT_EQ(o.file_format, kWstmFormatAiff);
    EXPECT_EQ(o.rate, 8000);
    EXPECT_EQ(o.channels, 1);
    EXPECT_EQ(o.bits, 8);
}

}  // namespace
