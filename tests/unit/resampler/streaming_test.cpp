// Block streaming: counts, seeding and padding, piece-size independence,
// pool dispatch and Flush.
#include <algorithm>
#include <cmath>

#include "tests/unit/resampler/engine_fixture.h"

namespace {

using namespace enginetest;

// The same stream run one block at a time by the in-order reference kernel
// on the calling thread, in one piece per second.
std::vector<double> ReferenceRun(int32_t in, int32_t out, int32_t quality,
                                 const std::vector<double>& input) {
    Converter c(in, out, quality);
    ConverterTestPeer::UseKernel(c.p, nuvsrc::KernelVariant::kReference);
    ConverterTestPeer::UsePool(c.p, false);
    return Stream(c.p, input, {in});
}

TEST(ConverterStreaming, ConstantStaysOneFromFirstOutputToLast) {
    Library lib;
    Converter c(44100, 48000, 10);
    const std::vector<double> ones(44100, 1.0);
    const auto y = Stream(c.p, ones, {44100});
    ASSERT_EQ(y.size(), 48000u);
    double worst = 0.0;
    for (double v : y)
        worst = std::max(worst, std::fabs(v - 1.0));
    EXPECT_LT(worst, 1e-8);
}

TEST(ConverterStreaming, OneSecondOfInputGivesOneSecondOfOutput) {
    Library lib;
    struct Case {
        int32_t in, out, quality;
    };
    for (const Case& k : {Case{44100, 48000, 10}, Case{48000, 44100, 7}, Case{8000, 44100, 5},
                          Case{96000, 8000, 3}, Case{44100, 22050, 6}}) {
        Converter c(k.in, k.out, k.quality);
        const auto y = Stream(c.p, Noise(static_cast<size_t>(k.in), 1), {k.in});
        EXPECT_EQ(y.size(), static_cast<size_t>(k.out)) << k.in << "->" << k.out;
    }
}

TEST(ConverterStreaming, PiecesOfOneToFortyGiveTheOnePieceOutput) {
    Library lib;
    const auto input = Noise(4800, 7);
    Converter whole(96000, 8000, 3);
    const auto expected = Stream(whole.p, input, {4800});
    ASSERT_EQ(expected.size(), 400u);
    for (int32_t piece = 1; piece <= 40; ++piece) {
        Converter c(96000, 8000, 3);
        EXPECT_TRUE(SameBits(Stream(c.p, input, {piece}), expected)) << "piece " << piece;
    }
}

TEST(ConverterStreaming, PiecesOfOneThousandAndOneSecondGiveTheSameOutput) {
    Library lib;
    const auto input = Noise(44100, 3);
    Converter whole(44100, 48000, 7);
    const auto expected = Stream(whole.p, input, {44100});
    for (int32_t piece : {1, 1000}) {
        Converter c(44100, 48000, 7);
        EXPECT_TRUE(SameBits(Stream(c.p, input, {piece}), expected)) << "piece " << piece;
    }
}

// Random piece sizes over ratios up and down, near unity, equal and extreme:
// the same bits and counts as the reference run.
void CheckRandomPieces(int32_t quality) {
    struct Case {
        int32_t in, out;
    };
    const Case cases[] = {{44100, 48000},  {48000, 44100},  {48000, 47952},
                          {44100, 44100},  {96000, 8000},   {8000, 96000},
                          {11025, 192000}, {192000, 11025}, {1000, 3}};
    std::mt19937 rng(static_cast<uint32_t>(2024 + quality));
    for (const Case& k : cases) {
        // Up to one second of input, and a bounded number of outputs.
        const int64_t outputs = quality == 3 ? 40000 : (quality == 7 ? 16000 : 6000);
        const int64_t length = std::min<int64_t>({k.in, 30000, outputs * k.in / k.out}) + 77;
        const auto input =
            Noise(static_cast<size_t>(length), static_cast<uint32_t>(k.in + quality));
        const auto expected = ReferenceRun(k.in, k.out, quality, input);
        std::vector<int32_t> pieces(31);
        std::uniform_int_distribution<int32_t> size(0, std::min(k.in, 9000));
        for (int32_t& p : pieces)
            p = size(rng);
        Converter c(k.in, k.out, quality);
        EXPECT_TRUE(SameBits(Stream(c.p, input, pieces), expected))
            << k.in << "->" << k.out << " q" << quality;
    }
}

TEST(ConverterStreaming, RandomPiecesMatchTheReferenceAtQuality3) {
    Library lib;
    CheckRandomPieces(3);
}

TEST(ConverterStreaming, RandomPiecesMatchTheReferenceAtQuality7) {
    Library lib;
    CheckRandomPieces(7);
}

TEST(ConverterStreaming, RandomPiecesMatchTheReferenceAtQuality10) {
    Library lib;
    CheckRandomPieces(10);
}

TEST(ConverterStreaming, EveryKernelVariantGivesTheReferenceBits) {
    Library lib;
    const auto input = Noise(12000, 11);
    for (int32_t quality : {3, 10}) {
        const auto expected = ReferenceRun(44100, 48000, quality, input);
        for (nuvsrc::KernelVariant v : nuvsrc::kAllKernelVariants) {
            if (!nuvsrc::KernelSupported(v)) continue;
            Converter c(44100, 48000, quality);
            ConverterTestPeer::UseKernel(c.p, v);
            EXPECT_TRUE(SameBits(Stream(c.p, input, {12000}), expected))
                << nuvsrc::KernelName(v) << " q" << quality;
        }
    }
}

// A converter takes the variant of the calibration (the home one before it
// has run); forcing any other one, with the pool and one-second pieces as
// the tool feeds them, gives the same bits, and so does changing variants
// in the middle of the stream, as following the calibration does.
TEST(ConverterStreaming, ForcedVariantGivesTheCalibratedChoiceBits) {
    Library lib;
    const auto input = Noise(2 * 44100 + 777, 12);
    const std::vector<double> first(input.begin(), input.begin() + 44100 + 333);
    const std::vector<double> rest(input.begin() + 44100 + 333, input.end());
    Converter chosen(44100, 48000, 10);
    EXPECT_EQ(ConverterTestPeer::Kernel(chosen.p), nuvsrc::CurrentKernel());
    const auto expected = Stream(chosen.p, input, {44100});
    for (nuvsrc::KernelVariant v : nuvsrc::kAllKernelVariants) {
        if (!nuvsrc::KernelSupported(v) || v == nuvsrc::KernelVariant::kReference) continue;
        Converter c(44100, 48000, 10);
        ConverterTestPeer::UseKernel(c.p, v);
        EXPECT_EQ(ConverterTestPeer::Kernel(c.p), v);
        EXPECT_TRUE(SameBits(Stream(c.p, input, {44100}), expected)) << nuvsrc::KernelName(v);
        for (nuvsrc::KernelVariant w : nuvsrc::kAllKernelVariants) {
            if (!nuvsrc::KernelSupported(w) || w == v) continue;
            Converter switched(44100, 48000, 10);
            ConverterTestPeer::UseKernel(switched.p, v);
            auto out = Stream(switched.p, first, {44100}, false);
            ConverterTestPeer::SwitchKernel(switched.p, w);
            const auto tail = Stream(switched.p, rest, {44100});
            out.insert(out.end(), tail.begin(), tail.end());
            EXPECT_TRUE(SameBits(out, expected))
                << nuvsrc::KernelName(v) << " then " << nuvsrc::KernelName(w);
        }
    }
}

// Whole-second pieces at ratios of few blocks per second: the lane group
// the history phase runs takes nearly every block of a call, with input
// that reaches up to a second past the held samples.
TEST(ConverterStreaming, SecondPiecesOfFewBlocksGiveTheReferenceBits) {
    Library lib;
    struct Case {
        int32_t in, out, quality;
    };
    for (const Case& k : {Case{44100, 40960, 3}, Case{44100, 40960, 10}, Case{48000, 47976, 6}}) {
        const auto input = Noise(static_cast<size_t>(3 * k.in + 999), 13);
        const auto expected = ReferenceRun(k.in, k.out, k.quality, input);
        Converter c(k.in, k.out, k.quality);
        EXPECT_TRUE(SameBits(Stream(c.p, input, {k.in}), expected)) << k.in << "->" << k.out;
    }
}

TEST(ConverterStreaming, CoefficientsOnDemandGiveTheTableBits) {
    Library lib;
    const auto input = Noise(6000, 5);
    Converter table(44100, 48000, 5);
    Converter computed(44100, 48000, 5, 0);
    ASSERT_TRUE(ConverterTestPeer::Inspect(table.p).has_table);
    ASSERT_FALSE(ConverterTestPeer::Inspect(computed.p).has_table);
    EXPECT_TRUE(SameBits(Stream(computed.p, input, {1234}), Stream(table.p, input, {6000})));
}

TEST(ConverterStreaming, ShortFirstPieceIsHeldInTheHistory) {
    Library lib;
    Converter c(44100, 48000, 10);
    const auto d = ConverterTestPeer::Inspect(c.p);
    const auto input = Noise(4000, 9);
    const int32_t short_count =
        static_cast<int32_t>(d.design.block_length - d.design.history_start) - 1;
    const double* y = nullptr;
    int32_t count = -1;
    int32_t err = 1;
    c->Convert(input.data(), short_count, &y, &count, &err);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(y, nullptr);
    EXPECT_EQ(ConverterTestPeer::Inspect(c.p).history_fill, d.design.history_start + short_count);
    // One more sample completes the first block.
    c->Convert(input.data() + short_count, 1, &y, &count, &err);
    EXPECT_EQ(count, 160);
}

TEST(ConverterStreaming, EqualRatesPassInputThrough) {
    Library lib;
    Converter c(44100, 44100, 10);
    const auto input = Noise(1000, 4);
    const double* y = nullptr;
    int32_t count = -1;
    int32_t err = 1;
    c->Convert(input.data(), 1000, &y, &count, &err);
    EXPECT_EQ(err, 0);
    ASSERT_EQ(count, 1000);
    EXPECT_EQ(std::memcmp(y, input.data(), 8000), 0);
    c->Flush(&y, &count, &err);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(count, 0);
}

TEST(ConverterStreaming, EmptyPieceSucceedsWithoutOutput) {
    Library lib;
    Converter c(48000, 44100, 7);
    const double x = 0.5;
    const double* y = &x;
    int32_t count = -1;
    int32_t err = 1;
    c->Convert(&x, 0, &y, &count, &err);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(count, 0);
}

TEST(ConverterStreaming, FlushOwingMoreThanTheBufferGrowsIt) {
    Library lib;
    // At 2 Hz the history holds up to 5 samples beyond its start, which owe
    // 5 * 24000 outputs, more than the 96000 the buffer holds.
    Converter c(2, 48000, 3);
    const std::vector<double> input = {0.5, -0.25, 1.0, 0.0, -1.0, 0.75, 0.25, -0.5, 0.125, 1.0};
    const auto y = Stream(c.p, input, {2});
    EXPECT_EQ(y.size(), 240000u);
    EXPECT_GE(ConverterTestPeer::Inspect(c.p).output_capacity, 120000);
    Converter reference(2, 48000, 3);
    ConverterTestPeer::UseKernel(reference.p, nuvsrc::KernelVariant::kReference);
    EXPECT_TRUE(SameBits(Stream(reference.p, input, {1}), y));
}

TEST(ConverterStreaming, ResetRepeatsTheFirstRun) {
    Library lib;
    Converter c(48000, 44100, 7);
    const auto input = Noise(20000, 8);
    const auto first = Stream(c.p, input, {4096});
    int32_t err = 1;
    c->Reset(&err);
    EXPECT_EQ(err, 0);
    EXPECT_TRUE(SameBits(Stream(c.p, input, {4096}), first));
}

TEST(ConverterStreaming, CloneMadeMidStreamContinuesLikeItsSource) {
    Library lib;
    Converter source(44100, 48000, 7);
    const auto input = Noise(20000, 12);
    const std::vector<double> head(input.begin(), input.begin() + 5003);
    const std::vector<double> rest(input.begin() + 5003, input.end());
    Stream(source.p, head, {5003}, false);
    int32_t err = 1;
    Converter clone(source->Clone(&err));
    ASSERT_EQ(err, 0);
    EXPECT_TRUE(SameBits(Stream(clone.p, rest, {777}), Stream(source.p, rest, {20000})));
}

// A clone takes over the held input whatever its state: none yet, a few
// samples, or a next block that begins inside the next call's input (the
// blocks of 96000 -> 8000 at quality 3 advance 12 samples and read 8).
TEST(ConverterStreaming, CloneMadeBeforeInputOrBetweenBlocksContinuesLikeItsSource) {
    Library lib;
    const auto input = Noise(3000, 21);
    for (int32_t split = 0; split <= 40; ++split) {
        Converter source(96000, 8000, 3);
        const std::vector<double> head(input.begin(), input.begin() + split);
        const std::vector<double> rest(input.begin() + split, input.end());
        Stream(source.p, head, {7}, false);
        const int32_t held = ConverterTestPeer::Inspect(source.p).history_fill;
        int32_t err = 1;
        Converter clone(source->Clone(&err));
        ASSERT_EQ(err, 0);
        EXPECT_TRUE(SameBits(Stream(clone.p, rest, {5}), Stream(source.p, rest, {3000})))
            << "split " << split << " held " << held;
    }
    Converter fresh(44100, 48000, 7);
    int32_t err = 1;
    Converter clone(fresh->Clone(&err));
    ASSERT_EQ(err, 0);
    const auto more = Noise(9000, 22);
    EXPECT_TRUE(SameBits(Stream(clone.p, more, {1000}), Stream(fresh.p, more, {9000})));
}

// Flush owes the outputs of the stream continued with its last sample: the
// stream and its flush equal the start of the padded stream without one.
TEST(ConverterStreaming, FlushGivesTheStreamPaddedWithItsLastSample) {
    Library lib;
    struct Case {
        int32_t in, out, quality, length;
    };
    const Case cases[] = {{44100, 48000, 10, 300}, {44100, 48000, 10, 5000},
                          {48000, 44100, 7, 4099}, {96000, 8000, 3, 777},
                          {8000, 44100, 5, 3001},  {1000, 3, 3, 999}};
    for (const Case& k : cases) {
        Converter flushed(k.in, k.out, k.quality);
        Converter padded(k.in, k.out, k.quality);
        auto input = Noise(static_cast<size_t>(k.length), static_cast<uint32_t>(k.length));
        const auto expected = Stream(flushed.p, input, {k.in < 1000 ? k.in : 1000});
        const int64_t d = ConverterTestPeer::Inspect(padded.p).design.block_length;
        input.resize(input.size() + static_cast<size_t>(4 * d + 64), input.back());
        const auto longer = Stream(padded.p, input, {k.in < 1000 ? k.in : 1000}, false);
        ASSERT_LE(expected.size(), longer.size()) << k.in << "->" << k.out;
        EXPECT_EQ(std::memcmp(expected.data(), longer.data(), expected.size() * 8), 0)
            << k.in << "->" << k.out << " q" << k.quality << " length " << k.length;
    }
}

TEST(ConverterStreaming, ConvertAfterFlushWarnsAndGoesOn) {
    Library lib;
    Messages messages;
    Converter c(44100, 48000, 3);
    const auto input = Noise(1000, 2);
    Stream(c.p, input, {1000});
    const double* y = nullptr;
    int32_t count = -1;
    int32_t err = 1;
    c->Convert(input.data(), 1000, &y, &count, &err);
    EXPECT_EQ(err, 0);
    EXPECT_GT(count, 0);
    const auto lines = messages.Take();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0],
              "W2007100902:The Convert function has been executed before the parameter is reset.");
}

TEST(ConverterStreaming, RefusedCallsChangeNoStreamState) {
    Library lib;
    Messages messages;
    Converter c(44100, 48000, 3);
    const auto input = Noise(44101, 2);
    const double* y = nullptr;
    int32_t count = -1;
    int32_t err = 0;
    c->Convert(nullptr, 10, &y, &count, &err);
    EXPECT_EQ(err, -1);
    c->Convert(input.data(), 10, nullptr, &count, &err);
    EXPECT_EQ(err, -1);
    c->Convert(input.data(), -1, &y, &count, &err);
    EXPECT_EQ(err, -1);
    c->Convert(input.data(), 44101, &y, &count, &err);
    EXPECT_EQ(err, -1);
    c->Flush(nullptr, &count, &err);
    EXPECT_EQ(err, -1);
    const std::vector<std::string> expected = {
        "E2006102407:Null pointer is passed.",
        "E2006102407:Null pointer is passed.",
        "E2006102408:The number of input samples is illegal.",
        "E2006102409:The number of input samples needs to be smaller than the input sampling "
        "frequency.",
        "E2006102410:Null pointer is passed.",
    };
    EXPECT_EQ(messages.Take(), expected);
    EXPECT_EQ(ConverterTestPeer::Inspect(c.p).history_fill,
              ConverterTestPeer::Inspect(c.p).design.history_start);
    // A count equal to the input rate is accepted.
    c->Convert(input.data(), 44100, &y, &count, &err);
    EXPECT_EQ(err, 0);
}

TEST(ConverterStreaming, PoolRunsGiveTheCallingThreadBits) {
    Library lib;
    const auto input = Noise(2 * 44100, 21);
    Converter alone(44100, 48000, 7);
    ConverterTestPeer::UsePool(alone.p, false);
    Converter pooled(44100, 48000, 7);
    EXPECT_TRUE(SameBits(Stream(pooled.p, input, {44100}), Stream(alone.p, input, {44100})));
}

TEST(ConverterAccuracy, SineArrivesAtTheOutputRate) {
    Library lib;
    const double f = 997.0;
    std::vector<double> input(44100);
    for (size_t i = 0; i < input.size(); ++i)
        input[i] = std::sin(nuvsrc::kTwoPi * f * i / 44100.0);
    Converter c(44100, 48000, 10);
    const auto y = Stream(c.p, input, {44100});
    ASSERT_EQ(y.size(), 48000u);
    double worst = 0.0;
    for (size_t n = 4000; n < 44000; ++n) {
        worst = std::max(worst, std::fabs(y[n] - std::sin(nuvsrc::kTwoPi * f * n / 48000.0)));
    }
    EXPECT_LT(worst, 1e-4);
}

}  // namespace
