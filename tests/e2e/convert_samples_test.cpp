// Sample values written by a conversion: copied exactly at equal rates,
// gain and channel changes with rounding half away from zero and clipping,
// and the filter output against an independent evaluation of its formula.
#include <algorithm>
#include <cmath>
#include <numeric>

#include "convert_fixture.h"

namespace {

// Rounds half away from zero and clips to 32 bits.
std::int32_t Quantize(double x) {
    if (x > 2147483647.0) return 2147483647;
    if (x < -2147483648.0) return -2147483647 - 1;
    return static_cast<std::int32_t>(x >= 0 ? std::trunc(x + 0.5) : std::trunc(x - 0.5));
}

std::int32_t Pseudo(std::size_t k, int c, int amplitude) {
    // A mix of two tones and a little deterministic noise.
    double v =
        0.55 * std::sin(0.031 * static_cast<double>(k) + c) +
        0.35 * std::sin(0.47 * static_cast<double>(k) * (c + 1)) +
        0.1 * (static_cast<double>((k * 2654435761u + static_cast<std::size_t>(c)) % 1000) / 500.0 -
               1.0);
    return static_cast<std::int32_t>(std::lround(v * amplitude));
}

}  // namespace

class ConvertEqualRates : public ConvertTest {};

TEST_F(ConvertEqualRates, CopiesEverySampleUnchanged) {
    conv::WavFile in =
        conv::MakeWav(44100, 2, 5000, [](std::size_t k, int c) { return Pseudo(k, c, 32767); });
    in.samples[0] = -32768;
    in.samples[1] = 32767;
    Write("in.wav", in);
    conv::WavFile out = Convert({"in.wav", "-out=out.wav"}, "out.wav");
    EXPECT_EQ(out.samples, in.samples);
}

class ConvertChannels : public ConvertTest {};

TEST_F(ConvertChannels, MonoToStereoDuplicatesTheChannel) {
    conv::WavFile in =
        conv::MakeWav(22050, 1, 2000, [](std::size_t k, int) { return Pseudo(k, 0, 30000); });
    Write("in.wav", in);
    conv::WavFile out = Convert({"in.wav", "-out=out.wav", "-ch=2"}, "out.wav");
    ASSERT_EQ(out.channels, 2);
    ASSERT_EQ(out.frames(), in.frames());
    for (std::size_t k = 0; k < in.frames(); ++k) {
        ASSERT_EQ(out.at(k, 0), in.at(k, 0)) << k;
        ASSERT_EQ(out.at(k, 1), in.at(k, 0)) << k;
    }
}

TEST_F(ConvertChannels, StereoToMonoAddsTheChannelsAndClips) {
    Write("in.wav", conv::LoudPairs());
    conv::WavFile out = Convert({"in.wav", "-out=out.wav", "-ch=1"}, "out.wav");
    ASSERT_EQ(out.channels, 1);
    EXPECT_EQ(out.samples, (std::vector<std::int32_t>{3000, 32767, 32767, -32768, -29000, -32768}));
}

TEST_F(ConvertChannels, FourChannelsConvertAsFourWithoutAChannelRequest) {
    conv::WavFile in =
        conv::MakeWav(16000, 4, 1600, [](std::size_t k, int c) { return Pseudo(k, c, 20000); });
    Write("in.wav", in);
    conv::WavFile out = Convert({"in.wav", "-out=out.wav"}, "out.wav");
    EXPECT_EQ(out.channels, 4);
    EXPECT_EQ(out.samples, in.samples);
    conv::WavFile up = Convert({"in.wav", "-out=up.wav", "-freq=32000", "-mode=speed"}, "up.wav");
    EXPECT_EQ(up.channels, 4);
    EXPECT_EQ(up.frames(), 3200u);
}

// Beyond six channels the blocks are shorter and the channels share the
// processors; every channel still comes out as the same channel converted
// alone, bit for bit, across several blocks and the flush.
TEST_F(ConvertChannels, ThirtyTwoChannelsEachConvertAsThatChannelAlone) {
    constexpr int kChannels = 32;
    const conv::WavFile in = conv::MakeWav(
        8000, kChannels, 20000, [](std::size_t k, int c) { return Pseudo(k, c, 1000 * (c + 1)); });
    Write("in.wav", in);
    const conv::WavFile out = Convert({"in.wav", "-out=out.wav", "-freq=11025"}, "out.wav");
    ASSERT_EQ(out.channels, kChannels);
    for (const int c : {0, 13, kChannels - 1}) {
        SCOPED_TRACE(c);
        const conv::WavFile mono =
            conv::MakeWav(8000, 1, in.frames(), [&](std::size_t k, int) { return in.at(k, c); });
        Write("mono.wav", mono);
        const conv::WavFile alone =
            Convert({"mono.wav", "-out=alone.wav", "-freq=11025"}, "alone.wav");
        ASSERT_EQ(alone.frames(), out.frames());
        std::size_t differ = 0;
        for (std::size_t k = 0; k < out.frames(); ++k)
            differ += out.at(k, c) != alone.at(k, 0);
        EXPECT_EQ(differ, 0u);
    }
}

class ConvertGain : public ConvertTest {};

TEST_F(ConvertGain, HalvingRoundsHalvesAwayFromZero) {
    conv::WavFile in;
    in.rate = 8000;
    in.bits = 32;
    in.samples = {1, -1, 3, -3, 2, -2, 0, 2147483647, -2147483647 - 1};
    Write("in.wav", in);
    // -6.020599913279624 dB is a factor of exactly 0.5.
    conv::WavFile out = Convert({"in.wav", "-out=out.wav", "-vol=-6.020599913279624"}, "out.wav");
    EXPECT_EQ(out.samples,
              (std::vector<std::int32_t>{1, -1, 2, -2, 1, -1, 0, 1073741824, -1073741824}));
}

TEST_F(ConvertGain, ArbitraryGainMultipliesByTenToTheDbOverTwenty) {
    conv::WavFile in;
    in.rate = 8000;
    in.bits = 32;
    in.samples = {1000000, -1000000, 123456789, -7};
    Write("in.wav", in);
    conv::WavFile out = Convert({"in.wav", "-out=out.wav", "-vol=-6"}, "out.wav");
    const double factor = std::pow(10.0, -6.0 / 20.0);
    ASSERT_EQ(out.samples.size(), in.samples.size());
    for (std::size_t i = 0; i < in.samples.size(); ++i) {
        EXPECT_EQ(out.samples[i], Quantize(in.samples[i] * factor)) << i;
    }
}

TEST_F(ConvertGain, GainPastFullScaleClipsBothWays) {
    conv::WavFile in = conv::MakeWav(8000, 1, 4, [](std::size_t k, int) {
        const std::int32_t v[4] = {20000, -20000, 100, -100};
        return v[k];
    });
    Write("in.wav", in);
    conv::WavFile out = Convert({"in.wav", "-out=out.wav", "-vol=12"}, "out.wav");
    const double factor = std::pow(10.0, 12.0 / 20.0);
    EXPECT_EQ(out.samples, (std::vector<std::int32_t>{
                               32767, -32768, static_cast<std::int32_t>(std::round(100 * factor)),
                               static_cast<std::int32_t>(std::round(-100 * factor))}));
}

TEST_F(ConvertGain, NormalizeBringsThePeakToFullScaleAndReportsTheGain) {
    conv::WavFile in = conv::MakeWav(8000, 1, 100, [](std::size_t k, int) {
        return k == 50 ? 16384 : static_cast<std::int32_t>(k % 7) * 100 - 300;
    });
    Write("in.wav", in);
    testsupport::ChildResult r = Run({"in.wav", "-out=out.wav", "-vol=normalize", "-bit=32"});
    ASSERT_EQ(r.exit_code, 0) << r.out;
    EXPECT_NE(r.out.find(" volume control             : 6.020(dB)\n"), std::string::npos) << r.out;
    conv::WavFile out = Read("out.wav");
    const double factor = 2147483647.0 / 1073741824.0;
    ASSERT_EQ(out.frames(), in.frames());
    EXPECT_EQ(out.at(50, 0), 2147483647);
    for (std::size_t k = 0; k < in.frames(); ++k) {
        ASSERT_EQ(out.at(k, 0), Quantize(static_cast<double>(in.at(k, 0)) * 65536.0 * factor)) << k;
    }
}

TEST_F(ConvertGain, NormalizeOfSilenceKeepsUnityGain) {
    Write("in.wav", conv::MakeWav(8000, 2, 100, [](std::size_t, int) { return 0; }));
    testsupport::ChildResult r = Run({"in.wav", "-out=out.wav", "-vol=normalize", "-freq=16000"});
    ASSERT_EQ(r.exit_code, 0) << r.out;
    EXPECT_NE(r.out.find(" volume control             : 0.000(dB)\n"), std::string::npos) << r.out;
    conv::WavFile out = Read("out.wav");
    EXPECT_EQ(out.frames(), 200u);
    EXPECT_TRUE(
        std::all_of(out.samples.begin(), out.samples.end(), [](std::int32_t v) { return v == 0; }));
}

TEST_F(ConvertGain, NormalizeToMonoUsesTheLargestSumOfBothChannels) {
    // Frame 3 has the largest |left| + |right| although frame 1 holds the
    // largest single sample.
    conv::WavFile in = conv::MakeWav(8000, 2, 6, [](std::size_t k, int c) {
        const std::int32_t v[6][2] = {{100, 100},       {20000, -1000}, {-500, 300},
                                      {-12000, -11000}, {0, 0},         {7, 8}};
        return v[k][c];
    });
    Write("in.wav", in);
    conv::WavFile out =
        Convert({"in.wav", "-out=out.wav", "-ch=1", "-bit=32", "-vol=normalize"}, "out.wav");
    const double peak = (12000.0 + 11000.0) * 65536.0 + 0.5;
    const double factor = 2147483647.0 / peak;
    ASSERT_EQ(out.frames(), 6u);
    for (std::size_t k = 0; k < 6; ++k) {
        const double left = in.at(k, 0) * 65536.0 * factor;
        const double right = in.at(k, 1) * 65536.0 * factor;
        EXPECT_EQ(out.at(k, 0), Quantize(left + right)) << k;
    }
    // The extra 0.5 of the peak keeps the loudest frame just below full scale.
    EXPECT_EQ(out.at(3, 0), -2147483646);
}

// The converter's output for a whole stream: output n sits at input time
// n M / L and is the sum, in order of the input index m, of h(C + m L - n M)
// times x[m], the stream extended with its first and last sample.
class FilterReference {
  public:
    FilterReference(int in_rate, int out_rate, int quality) {
        const long long lcm =
            std::lcm(static_cast<long long>(in_rate), static_cast<long long>(out_rate));
        L_ = lcm / in_rate;
        M_ = lcm / out_rate;
        const long long taps = 1LL << quality;
        N_ = L_ * taps - 1;
        C_ = N_ / 2;
        const double fc = static_cast<double>(std::min(L_, M_)) * 0.5 /
                          (static_cast<double>(L_) * static_cast<double>(M_));
        const double wc = fc * 6.283185307179586;
        h_.resize(static_cast<std::size_t>(N_));
        for (long long i = 0; i < N_; ++i) {
            if (i == C_) {
                h_[static_cast<std::size_t>(i)] = 2.0 * fc * static_cast<double>(L_);
                continue;
            }
            const double d = static_cast<double>(i - C_);
            const double w = (1.0 - std::cos(6.283185307179586 * static_cast<double>(i) /
                                             static_cast<double>(N_ - 1))) *
                             0.5;
            h_[static_cast<std::size_t>(i)] =
                std::sin(wc * d) / (d * 3.141592653589793) * w * static_cast<double>(L_);
        }
    }

    double Output(const std::vector<double>& x, long long n) const {
        const long long s = static_cast<long long>(x.size());
        const long long shift = n * M_ - C_;
        long long m = shift >= 0 ? (shift + L_ - 1) / L_ : -((-shift) / L_);
        double y = 0.0;
        for (;; ++m) {
            const long long i = C_ + m * L_ - n * M_;
            if (i >= N_) break;
            const double v = x[static_cast<std::size_t>(std::clamp(m, 0LL, s - 1))];
            y = y + h_[static_cast<std::size_t>(i)] * v;
        }
        return y;
    }

  private:
    long long L_ = 1, M_ = 1, N_ = 0, C_ = 0;
    std::vector<double> h_;
};

class ConvertFilter : public ConvertTest {
  protected:
    // Converts channel by channel and compares every output frame with the
    // reference rounded to the 16-bit output: within one step everywhere,
    // and off by one only where the reference lies within the converter's
    // own error of a half step (a floor instead of a rounding would miss
    // about every other frame).
    void ExpectReference(const conv::WavFile& in, int out_rate, int quality,
                         const std::vector<std::string>& extra) {
        Write("in.wav", in);
        std::vector<std::string> args = {"in.wav", "-out=out.wav",
                                         "-freq=" + std::to_string(out_rate)};
        args.insert(args.end(), extra.begin(), extra.end());
        conv::WavFile out = Convert(args, "out.wav");
        const std::size_t expected_frames = static_cast<std::size_t>(std::trunc(
            static_cast<double>(out_rate) / in.rate * static_cast<double>(in.frames()) + 0.5));
        ASSERT_EQ(out.frames(), expected_frames);
        FilterReference reference(in.rate, out_rate, quality);
        for (int c = 0; c < in.channels; ++c) {
            std::vector<double> x;
            for (std::size_t k = 0; k < in.frames(); ++k)
                x.push_back(in.at(k, c) * 65536.0);
            int worst = 0;
            std::size_t off = 0;
            for (std::size_t n = 0; n < out.frames(); ++n) {
                const double y = reference.Output(x, static_cast<long long>(n)) / 65536.0;
                const int expected = std::clamp(Quantize(y), -32768, 32767);
                worst = std::max(worst, std::abs(out.at(n, c) - expected));
                off += out.at(n, c) != expected ? 1 : 0;
                ASSERT_LE(std::abs(out.at(n, c) - expected), 1)
                    << "channel " << c << " frame " << n;
            }
            EXPECT_LE(worst, 1);
            EXPECT_LT(off * 100, out.frames()) << "channel " << c;
        }
    }
};

TEST_F(ConvertFilter, UpFrom44100To48000AtQualityMatchesTheFormula) {
    ExpectReference(
        conv::MakeWav(44100, 1, 1500, [](std::size_t k, int c) { return Pseudo(k, c, 16000); }),
        48000, 10, {});
}

TEST_F(ConvertFilter, DownFrom48000To44100AtSpeedMatchesTheFormulaPerChannel) {
    ExpectReference(
        conv::MakeWav(48000, 2, 3000, [](std::size_t k, int c) { return Pseudo(k, c, 20000); }),
        44100, 3, {"-mode=speed"});
}

TEST_F(ConvertFilter, LongerThanOneSecondAcrossBlocksMatchesTheFormula) {
    ExpectReference(conv::MakeWav(8000, 1, 8000 * 2 + 123,
                                  [](std::size_t k, int c) { return Pseudo(k, c, 25000); }),
                    11025, 3, {"-mode=speed"});
}

// A short input is converted in quarter-second blocks, a long one in
// one-second blocks. Where the two inputs agree, and the filter does not
// reach the short one's end, their outputs agree bit for bit.
TEST_F(ConvertFilter, ShortAndLongInputsOfOneSignalGiveTheSameSamples) {
    const auto signal = [](std::size_t k, int c) { return Pseudo(k, c, 20000); };
    Write("short.wav", conv::MakeWav(8000, 2, 8000 * 3 + 77, signal));
    Write("long.wav", conv::MakeWav(8000, 2, 8000 * 13, signal));
    const conv::WavFile from_short =
        Convert({"short.wav", "-out=s.wav", "-freq=11025", "-bit=24"}, "s.wav");
    const conv::WavFile from_long =
        Convert({"long.wav", "-out=l.wav", "-freq=11025", "-bit=24"}, "l.wav");
    // 1,024 taps a phase at quality: an output at input time t uses the
    // input up to t + 512.
    const std::size_t agreeing = (8000 * 3 + 77 - 513) * 11025 / 8000;
    ASSERT_GT(from_short.frames(), agreeing);
    ASSERT_GT(from_long.frames(), agreeing);
    for (std::size_t n = 0; n < agreeing; ++n) {
        ASSERT_EQ(from_short.at(n, 0), from_long.at(n, 0)) << n;
        ASSERT_EQ(from_short.at(n, 1), from_long.at(n, 1)) << n;
    }
}
