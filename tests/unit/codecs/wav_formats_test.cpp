// WAV sample formats read through the wave stream: IEEE float, mu-law and
// A-law, directly and through the extensible 'fmt ', against values worked
// out here; and the formats that are refused.
#include "codecs/wav_formats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "tests/support/file_fixtures.h"
#include "tests/support/wav_images.h"
#include "wavestream/wstm/wstm.h"

namespace {

using namespace filetest;

constexpr std::int32_t kMax = 2147483647;
constexpr std::int32_t kMin = -2147483647 - 1;
constexpr char kUnsupported[] = "E2006110786 : This sample format is not supported.";

// A file as the wave stream opens it: the header model and every sample, or
// the messages of a failed open.
struct Opened {
    bool ok = false;
    std::int32_t bits = 0;
    std::int32_t channels = 0;
    std::uint32_t frames = 0;
    std::vector<std::int32_t> samples;
    Lines errors;
};

Opened Open(const Bytes& image) {
    ScratchDir dir;
    ErrorCapture errors;
    const std::string path = dir.Path("f.wav");
    filetest::WriteFile(path, image);
    Opened o;
    WstmHandle* h = WSTM_Open(path.c_str());
    o.errors = errors.lines();
    if (h == nullptr) return o;
    o.ok = true;
    o.bits = WSTM_GetNumBits(h);
    o.channels = WSTM_GetNumChannels(h);
    o.frames = WSTM_GetNumSamples(h);
    std::vector<std::int32_t> frame(static_cast<std::size_t>(o.channels));
    for (std::uint32_t i = 0; i < o.frames; ++i) {
        WSTM_ReadSample(h, frame.data(), o.channels);
        o.samples.insert(o.samples.end(), frame.begin(), frame.end());
    }
    WSTM_Close(h);
    return o;
}

// A 'fmt ' of the given tag whose byte rate and block align agree with a
// container of `container` bytes.
Bytes Fmt(std::uint32_t tag, std::uint32_t channels, std::uint32_t bits, std::uint32_t container) {
    return FmtChunk(tag, channels, 8000, 8000 * container * channels, container * channels, bits);
}

// An extensible 'fmt ' (40-byte body) whose sub-format GUID starts with
// `sub_tag`, followed by the standard suffix or by `suffix` when given.
Bytes ExtensibleFmt(std::uint32_t sub_tag, std::uint32_t channels, std::uint32_t bits,
                    std::uint32_t container, const Bytes* suffix = nullptr) {
    ByteBuilder b;
    b.U16LE(0xFFFE).U16LE(channels).U32LE(8000).U32LE(8000 * container * channels);
    b.U16LE(container * channels).U16LE(bits);
    b.U16LE(22).U16LE(bits).U32LE(channels == 1 ? 4 : 3);  // extension size, valid bits, mask
    b.U16LE(sub_tag);
    if (suffix != nullptr) {
        b.Append(*suffix);
    } else {
        b.U16LE(0).U16LE(0).U16LE(0x0010).U8(0x80).U8(0).U8(0).U8(0xAA);
        b.U8(0).U8(0x38).U8(0x9B).U8(0x71);
    }
    return Chunk("fmt ", b.bytes());
}

Bytes Floats32(const std::vector<float>& values) {
    ByteBuilder b;
    for (const float v : values) {
        std::uint32_t u;
        std::memcpy(&u, &v, 4);
        b.U32LE(u);
    }
    return b.bytes();
}

Bytes Floats64(const std::vector<double>& values) {
    ByteBuilder b;
    for (const double v : values) {
        std::uint64_t u;
        std::memcpy(&u, &v, 8);
        b.U32LE(static_cast<std::uint32_t>(u)).U32LE(static_cast<std::uint32_t>(u >> 32));
    }
    return b.bytes();
}

Bytes AllBytes() {
    Bytes b;
    for (int i = 0; i < 256; ++i)
        b.push_back(static_cast<std::uint8_t>(i));
    return b;
}

// G.711 worked out from its segment form: mu-law in 14-bit steps,
// ((2m + 33) << e) - 33, negative when the (uncomplemented) sign bit is
// clear; A-law in 13-bit steps, 2m + 1 in segment 0 and (2m + 33) << (e - 1)
// above, positive when the sign bit (after inverting the even bits) is set.
// Both scaled to 16 bits.
std::int32_t G711MuLaw(int byte) {
    const int u = 255 - byte;
    const int e = (u >> 4) & 7, m = u & 15;
    const int magnitude = (((2 * m + 33) << e) - 33) * 4;
    return (u & 0x80) ? -magnitude : magnitude;
}

std::int32_t G711ALaw(int byte) {
    const int a = byte ^ 0x55;
    const int e = (a >> 4) & 7, m = a & 15;
    const int magnitude = (e == 0 ? 2 * m + 1 : (2 * m + 33) << (e - 1)) * 8;
    return (a & 0x80) ? magnitude : -magnitude;
}

TEST(WavFloat, ThirtyTwoBitValuesRoundHalfAwayFromZeroAndClip) {
    const float step = std::ldexp(1.0f, -31);  // one unit of the 32-bit scale
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<float> in = {0.0f,     -0.0f,        0.5f,          -0.5f,
                                   step,     -step,        step / 2,      -step / 2,
                                   step / 4, 3 * step / 2, -3 * step / 2, 1.0f - step * 128,
                                   1.0f,     -1.0f,        1.5f,          -1.5f,
                                   inf,      -inf,         std::nanf(""), -std::nanf("")};
    const std::vector<std::int32_t> want = {
        0,  0,          1073741824, -1073741824, 1,    -1,   1,    -1,   0, 2,
        -2, 2147483520, kMax,       kMin,        kMax, kMin, kMax, kMin, 0, 0};
    const Opened o = Open(RiffWave({Fmt(3, 2, 32, 4), Chunk("data", Floats32(in))}));
    ASSERT_TRUE(o.ok) << testing::PrintToString(o.errors);
    EXPECT_EQ(o.bits, 32);
    EXPECT_EQ(o.frames, in.size() / 2);
    EXPECT_EQ(o.samples, want);
}

TEST(WavFloat, SixtyFourBitValuesKeepTheirFinerSteps) {
    const double step = std::ldexp(1.0, -31);
    const std::vector<double> in = {step / 2,       step / 2 - std::ldexp(1.0, -60),
                                    -step / 2,      1.0 - 2 * step,
                                    1.0 - step / 2, -1.0 + step / 2,
                                    -1.0 - step,    5e-324,
                                    1e300,          -1e300,
                                    std::nan(""),   0.25 + 3 * step};
    const std::vector<std::int32_t> want = {1,    0, -1,   kMax - 1, kMax, kMin,
                                            kMin, 0, kMax, kMin,     0,    536870915};
    const Opened o = Open(RiffWave({Fmt(3, 1, 64, 8), Chunk("data", Floats64(in))}));
    ASSERT_TRUE(o.ok) << testing::PrintToString(o.errors);
    EXPECT_EQ(o.bits, 32);
    EXPECT_EQ(o.frames, in.size());
    EXPECT_EQ(o.samples, want);
}

// The float runs keep the headroom the integer hook clips: x * 2^31 for
// every x, NaN as 0, beyond the largest float as the largest float; in runs
// longer than one buffer, with fewer channels asked for than the file has.
TEST(WavFloat, FloatRunsKeepTheValuesBeyondFullScale) {
    const double big = std::numeric_limits<float>::max() * 2147483648.0;
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<double> head = {1.5, -3.25, inf, -inf, std::nan(""), 1e300, 0.25, -1.0};
    const std::vector<double> want_head = {
        1.5 * 2147483648.0, -3.25 * 2147483648.0, big, -big, 0, big, 536870912.0, -2147483648.0};
    std::vector<double> in64 = head;
    for (int k = 0; in64.size() < 3000; ++k)
        in64.push_back(std::ldexp(k % 37 - 18, -3));  // a ramp past +-1.0
    std::vector<float> in32(in64.begin(), in64.end());
    for (const int bits : {32, 64}) {
        const Bytes data = bits == 32 ? Floats32(in32) : Floats64(in64);
        ScratchDir dir;
        const std::string path = dir.Path("f.wav");
        filetest::WriteFile(path, RiffWave({Fmt(3, 2, bits, bits / 8), Chunk("data", data)}));
        WstmHandle* h = WSTM_Open(path.c_str());
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(WSTM_IsFloat(h), 1);
        const std::size_t frames = in64.size() / 2;
        std::vector<double> left(frames, -7.0);
        ASSERT_EQ(WSTM_ReadFloatFrames(h, left.data(), 1, static_cast<std::int32_t>(frames)),
                  static_cast<std::int32_t>(frames));
        for (std::size_t f = 0; f < frames; ++f) {
            const double want = 2 * f < head.size() ? want_head[2 * f] : in64[2 * f] * 2147483648.0;
            ASSERT_EQ(left[f], want) << bits << " frame " << f;
        }
        WSTM_Close(h);
    }
}

TEST(WavCompanded, EveryMuLawAndALawByteExpandsToItsG711Value) {
    for (const std::uint32_t tag : {7u, 6u}) {
        SCOPED_TRACE(tag == 7 ? "mu-law" : "A-law");
        const Opened o = Open(RiffWave({Fmt(tag, 1, 8, 1), Chunk("data", AllBytes())}));
        ASSERT_TRUE(o.ok) << testing::PrintToString(o.errors);
        EXPECT_EQ(o.bits, 16);
        ASSERT_EQ(o.samples.size(), 256u);
        for (int byte = 0; byte < 256; ++byte) {
            const std::int32_t linear = tag == 7 ? G711MuLaw(byte) : G711ALaw(byte);
            EXPECT_EQ(o.samples[static_cast<std::size_t>(byte)], linear * 65536) << byte;
        }
    }
    // The ends of the scales and the two zeros of mu-law.
    EXPECT_EQ(G711MuLaw(0x00), -32124);
    EXPECT_EQ(G711MuLaw(0x80), 32124);
    EXPECT_EQ(G711MuLaw(0xFF), 0);
    EXPECT_EQ(G711MuLaw(0x7F), 0);
    EXPECT_EQ(G711ALaw(0xAA), 32256);
    EXPECT_EQ(G711ALaw(0x2A), -32256);
    EXPECT_EQ(G711ALaw(0xD5), 8);
    EXPECT_EQ(G711ALaw(0x55), -8);
}

TEST(WavExtensible, EachSubFormatReadsAsItsPlainTag) {
    struct Case {
        std::uint32_t tag, bits, container;
        Bytes data;
    };
    const Case cases[] = {
        {1, 16, 2, Bytes{0x01, 0x80, 0xFF, 0x7F}},
        {1, 24, 3, Bytes{0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F}},
        {3, 32, 4, Floats32({0.25f, -1.0f})},
        {3, 64, 8, Floats64({0.25, 2.0})},
        {7, 8, 1, Bytes{0x00, 0x80}},
        {6, 8, 1, Bytes{0xAA, 0x2A}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("sub-format " + std::to_string(c.tag) + ", " + std::to_string(c.bits) +
                     " bits");
        const Opened plain =
            Open(RiffWave({Fmt(c.tag, 2, c.bits, c.container), Chunk("data", c.data)}));
        const Opened ext =
            Open(RiffWave({ExtensibleFmt(c.tag, 2, c.bits, c.container), Chunk("data", c.data)}));
        ASSERT_TRUE(plain.ok) << testing::PrintToString(plain.errors);
        ASSERT_TRUE(ext.ok) << testing::PrintToString(ext.errors);
        EXPECT_EQ(ext.bits, plain.bits);
        EXPECT_EQ(ext.samples, plain.samples);
        EXPECT_EQ(ext.frames, 1u);
    }
}

TEST(WavExtensible, ShortChunkOrAnotherGuidIsRefused) {
    // 'fmt ' of 18 and 22 bytes: the extensible tag without room for the GUID.
    for (const std::size_t cut : {18u, 22u, 39u}) {
        Bytes body = ExtensibleFmt(1, 1, 16, 2);
        body.erase(body.begin(), body.begin() + 8);
        body.resize(cut);
        const Opened o = Open(RiffWave({Chunk("fmt ", body), Chunk("data", Bytes(4, 0))}));
        EXPECT_FALSE(o.ok) << cut;
        ASSERT_FALSE(o.errors.empty());
        EXPECT_EQ(o.errors.front(), kUnsupported) << cut;
    }
    const Bytes other_suffix(14, 0x11);
    const Opened o =
        Open(RiffWave({ExtensibleFmt(1, 1, 16, 2, &other_suffix), Chunk("data", Bytes(4, 0))}));
    EXPECT_FALSE(o.ok);
    ASSERT_FALSE(o.errors.empty());
    EXPECT_EQ(o.errors.front(), kUnsupported);
}

TEST(WavUnsupported, OtherFormatsAreRefusedBeforeTheirFieldsAreTested) {
    struct Case {
        const char* name;
        Bytes fmt;
    };
    // ADPCM and GSM with the fields their writers put there; the others with
    // a byte rate that is wrong too, which must not be what is reported.
    ByteBuilder adpcm;
    adpcm.U16LE(2).U16LE(1).U32LE(8000).U32LE(4096).U16LE(256).U16LE(4).U16LE(32).Zeros(32);
    ByteBuilder gsm;
    gsm.U16LE(0x31).U16LE(1).U32LE(8000).U32LE(1625).U16LE(65).U16LE(0).U16LE(2).U16LE(320);
    const Case cases[] = {
        {"MS ADPCM", Chunk("fmt ", adpcm.bytes())},
        {"GSM 6.10", Chunk("fmt ", gsm.bytes())},
        {"tag 0", FmtChunk(0, 1, 8000, 1, 2, 16)},
        {"MPEG layer 3", FmtChunk(0x55, 2, 44100, 1, 4, 16)},
        {"unknown tag", FmtChunk(0x1234, 1, 8000, 1, 2, 16)},
        {"24-bit float", FmtChunk(3, 1, 8000, 24000, 3, 24)},
        {"16-bit mu-law", FmtChunk(7, 1, 8000, 16000, 2, 16)},
        {"4-bit A-law", FmtChunk(6, 1, 8000, 8000, 1, 4)},
        {"extensible ADPCM", ExtensibleFmt(2, 1, 4, 1)},
    };
    for (const Case& c : cases) {
        const Opened o = Open(RiffWave({c.fmt, Chunk("data", Bytes(512, 0))}));
        EXPECT_FALSE(o.ok) << c.name;
        EXPECT_EQ(o.errors, (Lines{kUnsupported, "E2006110127 : Can not decode file header."}))
            << c.name;
    }
}

TEST(WavFloat, BlockAlignAndByteRateAreCheckedAgainstTheFloatContainer) {
    // 64-bit float stereo with the block of 32-bit samples.
    const Bytes data = Chunk("data", Bytes(16, 0));
    const Opened narrow = Open(RiffWave({FmtChunk(3, 2, 8000, 64000, 8, 64), data}));
    ASSERT_FALSE(narrow.errors.empty());
    EXPECT_EQ(narrow.errors.front(),
              "E2006110728 : The relations among the block size, the quantization bit and the "
              "number of channels are not correct.");
    const Opened rate = Open(RiffWave({FmtChunk(3, 2, 8000, 64000, 16, 64), data}));
    ASSERT_FALSE(rate.errors.empty());
    EXPECT_EQ(rate.errors.front(), "E2006110727 : Wrong byte rate.");
}

TEST(WavFloatToSample, MatchesTheRuleOnTheBoundaries) {
    // The conversion on its own, where the file would hide nothing more.
    EXPECT_EQ(wav_float_to_sample(std::ldexp(2147483646.5, -31)), kMax);
    EXPECT_EQ(wav_float_to_sample(std::ldexp(2147483646.25, -31)), kMax - 1);
    EXPECT_EQ(wav_float_to_sample(std::ldexp(-2147483647.5, -31)), kMin);
    EXPECT_EQ(wav_float_to_sample(std::ldexp(-2147483647.25, -31)), kMin + 1);
    EXPECT_EQ(wav_float_to_sample(std::ldexp(-0.5, -31)), -1);
    EXPECT_EQ(wav_float_to_sample(std::ldexp(0.4999999, -31)), 0);
}

}  // namespace
