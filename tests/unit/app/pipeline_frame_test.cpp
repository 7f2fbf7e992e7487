// The frame operations of the conversion loop and the input it consumes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "app/pipeline.h"

using namespace tolmek;

namespace {

std::int32_t Q(double x)
{
    double frame[kMaxChannels] = {x};
    std::int32_t ints[kMaxChannels] = {};
    QuantizeFrame(frame, ints, 1);
    return ints[0];
}

ResampleJob Channels(int in, int out)
{
    ResampleJob job;
    job.input_num_channels = in;
    job.output_num_channels = out;
    return job;
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
    AdaptChannels(Channels(1, 2), frame);
    EXPECT_EQ(frame[0], 0.25);
    EXPECT_EQ(frame[1], 0.25);
}

TEST(PipelineChannels, StereoIsAddedToMonoWithoutAveraging)
{
    double frame[kMaxChannels] = {2147483647.0, 2147483647.0};
    AdaptChannels(Channels(2, 1), frame);
    EXPECT_EQ(frame[0], 4294967294.0);
    std::int32_t ints[kMaxChannels] = {};
    QuantizeFrame(frame, ints, 1);
    EXPECT_EQ(ints[0], 2147483647);
}

TEST(PipelineVolume, UnityGainLeavesSamplesUntouched)
{
    ResampleJob job = Channels(2, 2);
    double frame[kMaxChannels] = {0.1, -1e300};
    ApplyVolume(job, frame);
    EXPECT_EQ(frame[0], 0.1);
    EXPECT_EQ(frame[1], -1e300);
}

TEST(PipelineVolume, GainScalesOnlyTheInputChannels)
{
    ResampleJob job = Channels(1, 2);
    job.volume_factor = 0.5;
    double frame[kMaxChannels] = {3.0, 8.0};
    ApplyVolume(job, frame);
    EXPECT_EQ(frame[0], 1.5);
    EXPECT_EQ(frame[1], 8.0);
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
