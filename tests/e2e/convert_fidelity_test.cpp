// Output fidelity through the whole program: values rounded at the output's
// word length (not cut to its top bits), and TPDF dither on request, both
// measured against the 32-bit output of the same conversion.
#include <cmath>

#include "convert_fixture.h"

namespace {

// Error of a 16-bit output against the 32-bit output of the same
// conversion, in steps of 16 bits; values at full scale are left out.
struct ErrorStats {
    double mean = 0, deviation = 0, largest = 0;
};

ErrorStats Compare(const conv::WavFile& out16, const conv::WavFile& out32) {
    EXPECT_EQ(out16.samples.size(), out32.samples.size());
    double sum = 0, squares = 0;
    ErrorStats s;
    std::size_t n = 0;
    for (std::size_t i = 0; i < out16.samples.size() && i < out32.samples.size(); ++i) {
        const double reference = out32.samples[i] / 65536.0;
        if (std::fabs(reference) > 32766.0) continue;
        const double e = out16.samples[i] - reference;
        sum += e;
        squares += e * e;
        s.largest = std::max(s.largest, std::fabs(e));
        ++n;
    }
    s.mean = sum / static_cast<double>(n);
    s.deviation = std::sqrt(squares / static_cast<double>(n) - s.mean * s.mean);
    return s;
}

class ConvertFidelity : public ConvertTest {
  protected:
    void SetUp() override {
        // 1.5 s of stereo noise at 44100 Hz, 16 bits, about -3 dBFS at most.
        std::uint32_t state = 12345;
        Write("noise.wav", conv::MakeWav(44100, 2, 66150, [&state](std::size_t, int) {
                  state = state * 1664525u + 1013904223u;
                  return static_cast<std::int32_t>(state >> 16) % 23000;
              }));
        ASSERT_EQ(Run({"noise.wav", "-out=ref.wav", "-freq=48000", "-bit=32"}).exit_code, 0);
        reference = Read("ref.wav");
    }
    conv::WavFile reference;
};

}  // namespace

TEST_F(ConvertFidelity, ShorterOutputsRoundHalvesAwayFromZero) {
    conv::WavFile in;
    in.rate = 44100;
    in.bits = 24;
    in.samples = {128, 384, -128, -384, 127, 200};
    Write("six.wav", in);
    EXPECT_EQ(Convert({"six.wav", "-out=six16.wav", "-bit=16"}, "six16.wav").samples,
              (std::vector<std::int32_t>{1, 2, -1, -2, 0, 1}));

    const ErrorStats s =
        Compare(Convert({"noise.wav", "-out=o16.wav", "-freq=48000"}, "o16.wav"), reference);
    EXPECT_LT(std::fabs(s.mean), 0.02);
    EXPECT_LE(s.largest, 0.5);
}

TEST_F(ConvertFidelity, TpdfDitherHasNoOffsetHalfAStepOfSpreadAndRepeats) {
    const conv::WavFile dithered =
        Convert({"noise.wav", "-out=d1.wav", "-freq=48000", "-dither=tpdf"}, "d1.wav");
    const ErrorStats s = Compare(dithered, reference);
    EXPECT_LT(std::fabs(s.mean), 0.02);
    EXPECT_NEAR(s.deviation, 0.5, 0.03);
    EXPECT_LT(s.largest, 1.5);
    ASSERT_EQ(Run({"noise.wav", "-out=d2.wav", "-freq=48000", "-dither=TPDF"}).exit_code, 0);
    EXPECT_EQ(dir.ReadFile("d1.wav"), dir.ReadFile("d2.wav"));
    // -dither=off is the rounding alone; 32-bit outputs take no dither.
    ASSERT_EQ(Run({"noise.wav", "-out=off.wav", "-freq=48000", "-dither=off"}).exit_code, 0);
    ASSERT_EQ(Run({"noise.wav", "-out=plain.wav", "-freq=48000"}).exit_code, 0);
    EXPECT_EQ(dir.ReadFile("off.wav"), dir.ReadFile("plain.wav"));
    ASSERT_EQ(
        Run({"noise.wav", "-out=d32.wav", "-freq=48000", "-bit=32", "-dither=tpdf"}).exit_code, 0);
    EXPECT_EQ(dir.ReadFile("d32.wav"), dir.ReadFile("ref.wav"));
}
