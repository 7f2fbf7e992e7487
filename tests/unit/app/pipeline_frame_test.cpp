// The frame operations of the conversion loop (the functions RenderFrames
// runs on every chunk) and the input the loop consumes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "app/frame_ops.h"
#include "app/pipeline.h"

using namespace tolmek;

namespace {

std::int32_t Q(double x) { return QuantizeValue(x); }

// RenderFrames over planes given channel by channel; the interleaved
// result, and in *clipped the count it returned.
std::vector<std::int32_t> Render(int in, int out, double factor,
                                 const std::vector<std::vector<double>>& planes,
                                 std::int32_t* clipped = nullptr, int bits = 32) {
    const double* heads[kMaxChannels] = {};
    for (int c = 0; c < in; ++c)
        heads[c] = planes[c].data();
    const auto n = static_cast<std::int32_t>(planes[0].size());
    std::vector<std::int32_t> ints(static_cast<std::size_t>(n) * out, -7);
    const std::int32_t count =
        RenderFrames(FrameShape{in, out, factor, bits}, heads, n, ints.data());
    if (clipped != nullptr) *clipped = count;
    return ints;
}

// Whether rounding half away from zero, without any limit, leaves the
// 32-bit range: the values whose result is full scale only by clipping.
bool RoundsOutOfRange(double x) {
    if (x != x) return false;
    const double r = x >= 0 ? std::trunc(x + 0.5) : std::trunc(x - 0.5);
    return r > 2147483647.0 || r < -2147483648.0;
}

}  // namespace

TEST(PipelineQuantize, RoundsHalvesAwayFromZero) {
    EXPECT_EQ(Q(0.5), 1);
    EXPECT_EQ(Q(-0.5), -1);
    EXPECT_EQ(Q(1.5), 2);
    EXPECT_EQ(Q(-1.5), -2);
    EXPECT_EQ(Q(2.4999), 2);
    EXPECT_EQ(Q(-2.4999), -2);
    EXPECT_EQ(Q(0.0), 0);
    EXPECT_EQ(Q(-0.0), 0);
}

TEST(PipelineQuantize, ClipsToThe32BitRange) {
    EXPECT_EQ(Q(2147483647.0), 2147483647);
    EXPECT_EQ(Q(2147483647.4), 2147483647);
    EXPECT_EQ(Q(2147483648.0), 2147483647);
    EXPECT_EQ(Q(1e300), 2147483647);
    EXPECT_EQ(Q(-2147483648.0), -2147483647 - 1);
    EXPECT_EQ(Q(-2147483648.4), -2147483647 - 1);
    EXPECT_EQ(Q(-2147483649.0), -2147483647 - 1);
    EXPECT_EQ(Q(-1e300), -2147483647 - 1);
    EXPECT_EQ(Q(std::numeric_limits<double>::infinity()), 2147483647);
    EXPECT_EQ(Q(std::numeric_limits<double>::quiet_NaN()), 0);
}

// Below 32 bits the values round to the output's own steps and clip to its
// own range, on every path (kept channels of each count, adapted channels).
TEST(PipelineWordLength, RoundsToTheStepsOfTheOutputAndClipsToItsRange) {
    struct Case {
        int bits;
        double x;           // full scale +-2^31
        std::int32_t want;  // in steps of the output
        int clips;
    };
    const double s24 = 256.0;  // one step of a 24-bit value
    const Case cases[] = {
        {16, 128 * s24, 1, 0},
        {16, 384 * s24, 2, 0},
        {16, -128 * s24, -1, 0},
        {16, -384 * s24, -2, 0},
        {16, 127 * s24, 0, 0},
        {16, 200 * s24, 1, 0},
        {16, 32767.49 * 65536, 32767, 0},
        {16, 32767.5 * 65536, 32767, 1},
        {16, -32768.49 * 65536, -32768, 0},
        {16, -32768.5 * 65536, -32768, 1},
        {8, 1e300, 127, 1},
        {8, -0.5 * 16777216, -1, 0},
        {1, 0.49 * 2147483648.0, 0, 0},
        {1, -0.5 * 2147483648.0, -1, 0},
        {1, 0.5 * 2147483648.0, 0, 1},
        {24, 2.5 * s24, 3, 0},
    };
    for (const Case& c : cases) {
        const std::int32_t want =
            static_cast<std::int32_t>(static_cast<std::uint32_t>(c.want) << (32 - c.bits));
        const WordLength word = WordLengthOf(c.bits);
        EXPECT_EQ(QuantizeValue(c.x, word), want) << c.bits << " " << c.x;
        EXPECT_EQ(ClipsValue(c.x, word), c.clips) << c.bits << " " << c.x;
        for (const int channels : {1, 2, 3}) {
            std::int32_t clipped = -1;
            const std::vector<std::vector<double>> planes(channels, std::vector<double>{c.x, 0.0});
            const auto ints = Render(channels, channels, 1.0, planes, &clipped, c.bits);
            EXPECT_EQ(ints[0], want) << c.bits << " " << c.x << " " << channels;
            EXPECT_EQ(clipped, c.clips * channels) << c.bits << " " << c.x;
        }
        std::int32_t clipped = -1;
        EXPECT_EQ(Render(1, 2, 1.0, {{c.x}}, &clipped, c.bits)[1], want) << c.x;
        EXPECT_EQ(clipped, 2 * c.clips) << c.bits << " " << c.x;
    }
}

TEST(PipelineChannels, MonoIsDuplicatedToStereo) {
    double frame[kMaxChannels] = {0.25, 99.0};
    AdaptFrame(1, 2, frame);
    EXPECT_EQ(frame[0], 0.25);
    EXPECT_EQ(frame[1], 0.25);
}

TEST(PipelineChannels, StereoIsAddedToMonoWithoutAveraging) {
    double frame[kMaxChannels] = {2147483647.0, 2147483647.0};
    AdaptFrame(2, 1, frame);
    EXPECT_EQ(frame[0], 4294967294.0);
    EXPECT_EQ(QuantizeValue(frame[0]), 2147483647);
}

TEST(PipelineVolume, UnityGainLeavesSamplesUntouched) {
    double frame[kMaxChannels] = {0.1, -1e300};
    ScaleFrame(1.0, 2, frame);
    EXPECT_EQ(frame[0], 0.1);
    EXPECT_EQ(frame[1], -1e300);
    EXPECT_EQ(ScaleValue(1.0, -0.0), 0.0);
    EXPECT_TRUE(std::signbit(ScaleValue(1.0, -0.0)));
}

TEST(PipelineVolume, GainScalesOnlyTheInputChannels) {
    double frame[kMaxChannels] = {3.0, 8.0};
    ScaleFrame(0.5, 1, frame);
    EXPECT_EQ(frame[0], 1.5);
    EXPECT_EQ(frame[1], 8.0);
}

// The chunk as the block loop renders it: the same steps in the same order
// on both paths (equal channel counts, and adapted ones).
TEST(PipelineClipCount, CountsExactlyTheValuesThatRoundOutOfRange) {
    const double inf = std::numeric_limits<double>::infinity();
    const double values[] = {0.0,
                             2147483647.0,
                             2147483647.4999,
                             2147483647.5,
                             2147483648.0,
                             1e300,
                             inf,
                             -2147483648.0,
                             -2147483648.4999,
                             -2147483648.5,
                             -2147483649.0,
                             -1e300,
                             -inf,
                             std::numeric_limits<double>::quiet_NaN()};
    for (double x : values) {
        EXPECT_EQ(ClipsValue(x), RoundsOutOfRange(x) ? 1 : 0) << x;
        // A counted value is exactly one that lands on full scale by clipping.
        if (ClipsValue(x) == 1) {
            EXPECT_TRUE(Q(x) == 2147483647 || Q(x) == -2147483647 - 1) << x;
        }
    }
    EXPECT_EQ(ClipsValue(2147483647.5), 1);
    EXPECT_EQ(ClipsValue(2147483647.4999), 0);
    EXPECT_EQ(ClipsValue(-2147483648.5), 1);
    EXPECT_EQ(ClipsValue(-2147483648.4999), 0);
}

TEST(PipelineRender, EqualChannelsAreScaledRoundedAndInterleaved) {
    std::int32_t clipped = -1;
    const auto ints = Render(2, 2, 2.0, {{0.25, -0.75, 1.2e9}, {1.0, 1e300, -2.5}}, &clipped);
    EXPECT_EQ(ints, (std::vector<std::int32_t>{1, 2, -2, 2147483647, 2147483647, -5}));
    EXPECT_EQ(clipped, 2);
}

TEST(PipelineRender, UnityGainPassesValuesThroughToRounding) {
    std::int32_t clipped = -1;
    const auto ints = Render(1, 1, 1.0, {{0.5, -0.5, 2147483647.4, -2147483648.6}}, &clipped);
    EXPECT_EQ(ints, (std::vector<std::int32_t>{1, -1, 2147483647, -2147483647 - 1}));
    EXPECT_EQ(clipped, 1);  // only -2147483648.6 rounds beyond the range
}

TEST(PipelineRender, FullScaleReachedByRoundingIsNotCountedAsClipped) {
    std::int32_t clipped = -1;
    const auto ints =
        Render(2, 2, 1.0, {{2147483647.0, 3.0}, {-2147483648.0, -2147483648.4}}, &clipped);
    EXPECT_EQ(ints, (std::vector<std::int32_t>{2147483647, -2147483647 - 1, 3, -2147483647 - 1}));
    EXPECT_EQ(clipped, 0);
}

TEST(PipelineRender, FullScaleValuesAreFoundAmongAnyOthers) {
    const std::int32_t ints[] = {0,  2147483647, -2147483647 - 1, 2147483646, -2147483647,
                                 -1, 1,          2147483647};
    EXPECT_EQ(CountFullScale(ints, 8), 3);
    EXPECT_EQ(CountFullScale(ints, 1), 0);
    EXPECT_EQ(CountFullScale(ints, 0), 0);
    // At 16 bits full scale is 0x7FFF0000 and 0x80000000.
    const std::int32_t words[] = {0x7FFF0000, 0x7FFE0000, -2147483647 - 1, 65536, -65536};
    EXPECT_EQ(CountFullScale(words, 5, 16), 2);
}

TEST(PipelineRender, MonoToStereoScalesOnceAndDuplicates) {
    std::int32_t clipped = -1;
    auto ints = Render(1, 2, 0.5, {{3.0, -7.0}}, &clipped);
    EXPECT_EQ(ints, (std::vector<std::int32_t>{2, 2, -4, -4}));
    EXPECT_EQ(clipped, 0);
    // A clipped mono value is clipped in both of its output channels.
    ints = Render(1, 2, 4.0, {{1e9, 1.0}}, &clipped);
    EXPECT_EQ(ints, (std::vector<std::int32_t>{2147483647, 2147483647, 4, 4}));
    EXPECT_EQ(clipped, 2);
}

TEST(PipelineRender, StereoToMonoScalesBeforeAddingAndClipsTheSum) {
    // 1.5 x 0.5 + 2.5 x 0.5 = 2; two full-scale channels clip at unity gain.
    std::int32_t clipped = -1;
    auto ints = Render(2, 1, 0.5, {{1.5, -1.0}, {2.5, -0.5}}, &clipped);
    EXPECT_EQ(ints, (std::vector<std::int32_t>{2, -1}));
    EXPECT_EQ(clipped, 0);
    ints =
        Render(2, 1, 1.0, {{2147483647.0, -2147483648.0, 1e9}, {2147483647.0, -2147483648.0, 1e9}},
               &clipped);
    EXPECT_EQ(ints, (std::vector<std::int32_t>{2147483647, -2147483647 - 1, 2000000000}));
    EXPECT_EQ(clipped, 2);
}

TEST(PipelineRender, AWholeChunkIsRendered) {
    std::vector<double> plane(kChunkFrames);
    for (std::int32_t k = 0; k < kChunkFrames; ++k)
        plane[k] = k - 0.5;
    const auto ints = Render(1, 1, 1.0, {plane});
    for (std::int32_t k = 0; k < kChunkFrames; ++k)
        EXPECT_EQ(ints[k], k == 0 ? -1 : k) << k;
}

TEST(PipelineRender, KeptChannelsRoundEveryKindOfValueAsOneValueAtATime) {
    // Awkward values over a whole chunk, so that the vector loop itself
    // (not only its remainder) meets each of them on every channel.
    const double awkward[] = {0.5,
                              -0.5,
                              -0.0,
                              2.5,
                              -2.5,
                              1e-300,
                              2147483646.5,
                              2147483647.4999,
                              2147483647.5,
                              -2147483648.4999,
                              -2147483648.5,
                              1e300,
                              -1e300,
                              std::numeric_limits<double>::infinity(),
                              -std::numeric_limits<double>::infinity(),
                              std::numeric_limits<double>::quiet_NaN()};
    constexpr int kKinds = sizeof awkward / sizeof awkward[0];
    for (const int channels : {1, 2, 3}) {
        std::vector<std::vector<double>> planes(channels, std::vector<double>(kChunkFrames));
        for (int c = 0; c < channels; ++c) {
            for (std::int32_t k = 0; k < kChunkFrames; ++k)
                planes[c][k] = awkward[(k + 5 * c) % kKinds];
        }
        std::int32_t clipped = -1;
        const auto ints = Render(channels, channels, 1.0, planes, &clipped);
        std::int32_t expected_clipped = 0;
        for (std::int32_t k = 0; k < kChunkFrames; ++k) {
            for (int c = 0; c < channels; ++c) {
                const double x = planes[c][k];
                std::int32_t expected = 0;
                if (x == x) {
                    const double r = x >= 0 ? std::trunc(x + 0.5) : std::trunc(x - 0.5);
                    expected = r >= 2147483647.0    ? 2147483647
                               : r <= -2147483648.0 ? -2147483647 - 1
                                                    : static_cast<std::int32_t>(r);
                }
                expected_clipped += RoundsOutOfRange(x) ? 1 : 0;
                ASSERT_EQ(ints[k * channels + c], expected) << channels << " " << k << " " << x;
            }
        }
        EXPECT_EQ(clipped, expected_clipped) << channels;
    }
}

TEST(PipelineRender, EveryCompiledCopyOfTheKeptRoundingGivesTheSameValues) {
    std::vector<double> left(kChunkFrames);
    std::vector<double> right(kChunkFrames);
    for (std::int32_t k = 0; k < kChunkFrames; ++k) {
        left[k] = (k % 7 == 0 ? 3e9 : 1.0) * (k - 127.5) * 1234567.25;
        right[k] = k % 11 == 0 ? std::numeric_limits<double>::quiet_NaN() : -k * 0.5;
    }
    const double* planes[] = {left.data(), right.data()};
    std::vector<std::int32_t> portable(2 * kChunkFrames);
    const std::int32_t full = QuantizeKeptAndCount<2>(0.75, planes, kChunkFrames, portable.data());
    std::vector<std::int32_t> chosen(2 * kChunkFrames);
    EXPECT_EQ(RenderKept<2>(0.75, planes, kChunkFrames, chosen.data()), full);
    EXPECT_EQ(chosen, portable);
#if TOLMEK_FRAME_AVX2
    if (FrameAvx2()) {
        std::vector<std::int32_t> avx2(2 * kChunkFrames);
        EXPECT_EQ(QuantizeKeptAndCountAvx2<2>(0.75, planes, kChunkFrames, avx2.data()), full);
        EXPECT_EQ(avx2, portable);
        std::vector<std::int32_t> mono(kChunkFrames);
        std::vector<std::int32_t> mono_avx2(kChunkFrames);
        EXPECT_EQ(QuantizeKeptAndCountAvx2<1>(2.0, planes, kChunkFrames, mono_avx2.data()),
                  QuantizeKeptAndCount<1>(2.0, planes, kChunkFrames, mono.data()));
        EXPECT_EQ(mono_avx2, mono);
        const WordLength word = WordLengthOf(16);
        std::vector<std::int32_t> short_avx2(2 * kChunkFrames);
        EXPECT_EQ(QuantizeKeptAndCountAvx2<2>(0.75, planes, kChunkFrames, short_avx2.data(), word),
                  QuantizeKeptAndCount<2>(0.75, planes, kChunkFrames, portable.data(), word));
        EXPECT_EQ(short_avx2, portable);
    }
#endif
}

// The noise of a frame depends on its channel and index only: a chunk
// rendered whole or in pieces gives the same values, kept channels and
// adapted ones alike. (Its spread is measured end to end.)
TEST(PipelineDither, TheNoiseFollowsTheFrameIndexNotThePieces) {
    std::vector<double> left(kChunkFrames), right(kChunkFrames);
    for (std::int32_t k = 0; k < kChunkFrames; ++k) {
        left[k] = k * 1000.5;
        right[k] = -k * 777.25;
    }
    for (const int out : {2, 1}) {
        FrameShape shape{2, out, 1.0, 16, false, true, 1000};
        const double* whole[] = {left.data(), right.data()};
        std::vector<std::int32_t> once(kChunkFrames * 2), pieces(kChunkFrames * 2);
        RenderFrames(shape, whole, kChunkFrames, once.data());
        for (const std::int32_t cut : {1, 100, 255}) {
            const double* head[] = {left.data(), right.data()};
            const double* tail[] = {left.data() + cut, right.data() + cut};
            RenderFrames(shape, head, cut, pieces.data());
            shape.first_frame += cut;
            RenderFrames(shape, tail, kChunkFrames - cut, pieces.data() + cut * out);
            shape.first_frame -= cut;
            EXPECT_EQ(pieces, once) << out << " " << cut;
        }
        shape.first_frame += 1;  // another index, other noise
        std::vector<std::int32_t> later(kChunkFrames * 2);
        RenderFrames(shape, whole, kChunkFrames, later.data());
        EXPECT_NE(later, once) << out;
    }
    for (std::int64_t k = 0; k < 1000; ++k)
        ASSERT_NE(TpdfNoise(0, k), TpdfNoise(1, k)) << k;  // a generator of its own per channel
}

TEST(PipelineInput, ConsumesWhatTheRequestedOutputNeeds) {
    ResampleJob job;
    job.input_sampling_rate = 44100;
    job.output_sampling_rate = 48000;
    job.input_num_samples = 44100;
    job.output_num_samples = 24000;
    EXPECT_EQ(InputFramesToConsume(job), 22050);
    job.input_num_samples = 100000;
    job.output_num_samples = 108844;
    EXPECT_EQ(InputFramesToConsume(job), 100000);
}

TEST(PipelineInput, NeverMoreThanTheInputHolds) {
    ResampleJob job;
    job.input_sampling_rate = 8000;
    job.output_sampling_rate = 8000;
    job.input_num_samples = 800;
    job.output_num_samples = 2000;
    EXPECT_EQ(InputFramesToConsume(job), 800);
    job.output_num_samples = 0;
    EXPECT_EQ(InputFramesToConsume(job), 0);
    job.output_sampling_rate = 10;
    job.output_num_samples = 2147483647;
    EXPECT_EQ(InputFramesToConsume(job), 800);
}
