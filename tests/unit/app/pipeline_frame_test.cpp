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

std::int32_t Q(double x)
{
    return QuantizeValue(x);
}

// RenderFrames over planes given channel by channel; the interleaved result.
std::vector<std::int32_t> Render(int in, int out, double factor, const std::vector<std::vector<double>>& planes)
{
    const double* heads[kMaxChannels] = {};
    for (int c = 0; c < in; ++c) heads[c] = planes[c].data();
    const auto n = static_cast<std::int32_t>(planes[0].size());
    std::vector<std::int32_t> ints(static_cast<std::size_t>(n) * out, -7);
    RenderFrames(FrameShape{in, out, factor}, heads, n, ints.data());
    return ints;
}

}  // namespace

TEST(PipelineQuantize, RoundsHalvesAwayFromZero)
{
    EXPECT_EQ(Q(0.5), 1);
    EXPECT_EQ(Q(-0.5), -1);
    EXPECT_EQ(Q(1.5), 2);
    EXPECT_EQ(Q(-1.5), -2);
    EXPECT_EQ(Q(2.4999), 2);
    EXPECT_EQ(Q(-2.4999), -2);
    EXPECT_EQ(Q(0.0), 0);
    EXPECT_EQ(Q(-0.0), 0);
}

TEST(PipelineQuantize, ClipsToThe32BitRange)
{
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

TEST(PipelineChannels, MonoIsDuplicatedToStereo)
{
    double frame[kMaxChannels] = {0.25, 99.0};
    AdaptFrame(1, 2, frame);
    EXPECT_EQ(frame[0], 0.25);
    EXPECT_EQ(frame[1], 0.25);
}

TEST(PipelineChannels, StereoIsAddedToMonoWithoutAveraging)
{
    double frame[kMaxChannels] = {2147483647.0, 2147483647.0};
    AdaptFrame(2, 1, frame);
    EXPECT_EQ(frame[0], 4294967294.0);
    EXPECT_EQ(QuantizeValue(frame[0]), 2147483647);
}

TEST(PipelineVolume, UnityGainLeavesSamplesUntouched)
{
    double frame[kMaxChannels] = {0.1, -1e300};
    ScaleFrame(1.0, 2, frame);
    EXPECT_EQ(frame[0], 0.1);
    EXPECT_EQ(frame[1], -1e300);
    EXPECT_EQ(ScaleValue(1.0, -0.0), 0.0);
    EXPECT_TRUE(std::signbit(ScaleValue(1.0, -0.0)));
}

TEST(PipelineVolume, GainScalesOnlyTheInputChannels)
{
    double frame[kMaxChannels] = {3.0, 8.0};
    ScaleFrame(0.5, 1, frame);
    EXPECT_EQ(frame[0], 1.5);
    EXPECT_EQ(frame[1], 8.0);
}

// The chunk as the block loop renders it: the same steps in the same order
// on both paths (equal channel counts, and adapted ones).
TEST(PipelineRender, EqualChannelsAreScaledRoundedAndInterleaved)
{
    const auto ints = Render(2, 2, 2.0, {{0.25, -0.75, 1.2e9}, {1.0, 1e300, -2.5}});
    EXPECT_EQ(ints, (std::vector<std::int32_t>{1, 2, -2, 2147483647, 2147483647, -5}));
}

TEST(PipelineRender, UnityGainPassesValuesThroughToRounding)
{
    const auto ints = Render(1, 1, 1.0, {{0.5, -0.5, 2147483647.4, -2147483648.6}});
    EXPECT_EQ(ints, (std::vector<std::int32_t>{1, -1, 2147483647, -2147483647 - 1}));
}

TEST(PipelineRender, MonoToStereoScalesOnceAndDuplicates)
{
    const auto ints = Render(1, 2, 0.5, {{3.0, -7.0}});
    EXPECT_EQ(ints, (std::vector<std::int32_t>{2, 2, -4, -4}));
}

TEST(PipelineRender, StereoToMonoScalesBeforeAddingAndClipsTheSum)
{
    // 1.5 x 0.5 + 2.5 x 0.5 = 2; two full-scale channels clip at unity gain.
    auto ints = Render(2, 1, 0.5, {{1.5, -1.0}, {2.5, -0.5}});
    EXPECT_EQ(ints, (std::vector<std::int32_t>{2, -1}));
    ints = Render(2, 1, 1.0, {{2147483647.0, -2147483648.0}, {2147483647.0, -2147483648.0}});
    EXPECT_EQ(ints, (std::vector<std::int32_t>{2147483647, -2147483647 - 1}));
}

TEST(PipelineRender, AWholeChunkIsRendered)
{
    std::vector<double> plane(kChunkFrames);
    for (std::int32_t k = 0; k < kChunkFrames; ++k) plane[k] = k - 0.5;
    const auto ints = Render(1, 1, 1.0, {plane});
    for (std::int32_t k = 0; k < kChunkFrames; ++k) EXPECT_EQ(ints[k], k == 0 ? -1 : k) << k;
}

TEST(PipelineInput, ConsumesWhatTheRequestedOutputNeeds)
{
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

TEST(PipelineInput, NeverMoreThanTheInputHolds)
{
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
