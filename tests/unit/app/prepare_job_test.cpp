// PrepareJob and ConvertAudio in process, on files made with the wave
// stream: what they leave open, created or released on each path.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "app/pipeline.h"
#include "app/prepare.h"
#include "app/status.h"
#include "console_capture.h"
#include "tests/support/temp_dir.h"
#include "wavestream/wstm/wstm.h"

using namespace tolmek;

namespace {

void MakeInput(const std::string& path, int rate, int channels, int frames) {
    WstmHandle* h =
        WSTM_Create(path.c_str(), rate, channels, 16, static_cast<std::uint32_t>(frames));
    ASSERT_NE(h, nullptr);
    std::int32_t frame[64] = {};
    for (int k = 0; k < frames; ++k) {
        for (int c = 0; c < channels; ++c)
            frame[c] = ((k * 37 + c * 1000) % 30000 - 15000) * 65536;
        WSTM_WriteSample(h, frame, channels);
    }
    ASSERT_EQ(WSTM_Close(h), 0);
}

class PrepareJobRun : public ::testing::Test {
  protected:
    void SetUp() override {
        output_created = 0;
        interrupt_requested.store(0);
        job.input_path = dir.Path("in.wav");
        job.output_path = dir.Path("out.wav");
    }
    void TearDown() override {
        (void)CloseJobStreams(&job);
        output_created = 0;
        interrupt_requested.store(0);
    }

    ConsoleCapture console;
    testsupport::TempDir dir;
    ResampleJob job;
};

}  // namespace

TEST_F(PrepareJobRun, SucceedsWithBothStreamsAndTheDerivedOutput) {
    MakeInput(job.input_path, 44100, 2, 100000);
    job.output_sampling_rate = 48000;
    ASSERT_EQ(PrepareJob(&job), kStatusOk);
    EXPECT_NE(job.input_stream, nullptr);
    EXPECT_NE(job.output_stream, nullptr);
    EXPECT_EQ(output_created, 1);
    EXPECT_EQ(job.input_num_samples, 100000);
    EXPECT_EQ(job.output_num_samples, 108844);
    EXPECT_EQ(job.output_num_channels, 2);
    EXPECT_EQ(job.output_num_bits, 16);
    EXPECT_EQ(job.volume_factor, 1.0);
    // Written under a temporary name until the run is over.
    EXPECT_FALSE(dir.Exists("out.wav"));
    EXPECT_TRUE(std::filesystem::exists(job.write_path));
}

TEST_F(PrepareJobRun, TooManyChannelsLeaveNothingOpenOrCreated) {
    MakeInput(job.input_path, 8000, 33, 10);
    job.normalize = 1;
    EXPECT_EQ(PrepareJob(&job), kErrUnsupportedChannels);
    EXPECT_EQ(job.input_stream, nullptr);
    EXPECT_EQ(job.output_stream, nullptr);
    EXPECT_EQ(output_created, 0);
    EXPECT_FALSE(dir.Exists("out.wav"));
}

TEST_F(PrepareJobRun, InterruptDuringTheNormalizationPassCreatesNothing) {
    MakeInput(job.input_path, 8000, 1, 1000);
    job.normalize = 1;
    interrupt_requested.store(1);
    EXPECT_EQ(PrepareJob(&job), kStatusInterrupted);
    EXPECT_EQ(job.input_stream, nullptr);
    EXPECT_EQ(output_created, 0);
    EXPECT_FALSE(dir.Exists("out.wav"));
}

TEST_F(PrepareJobRun, NormalizationFindsThePeakAndRewindsTheInput) {
    MakeInput(job.input_path, 8000, 1, 1000);
    job.normalize = 1;
    ASSERT_EQ(PrepareJob(&job), kStatusOk);
    EXPECT_EQ(WSTM_Tell(job.input_stream), 0);
    // The loudest sample of MakeInput is -15000.
    EXPECT_DOUBLE_EQ(job.volume_factor, 2147483647.0 / (15000.0 * 65536.0));
    EXPECT_DOUBLE_EQ(job.volume_db, DbFromFactor(job.volume_factor));
}

TEST_F(PrepareJobRun, OutputThroughALinkedFolderIsTheInput) {
    MakeInput(job.input_path, 8000, 1, 100);
    std::error_code error;
    std::filesystem::create_directory_symlink(dir.path(), dir.Path("again"), error);
    if (error) GTEST_SKIP() << "no folder links here: " << error.message();
    job.output_path = dir.Path("again/in.wav");
    const std::string before = dir.ReadFile("in.wav");
    EXPECT_EQ(PrepareJob(&job), kErrWrongOutputName);
    EXPECT_EQ(output_created, 0);
    EXPECT_EQ(dir.ReadFile("in.wav"), before);
}

TEST_F(PrepareJobRun, ConvertAudioWritesTheRequestedFramesAndReleasesEverything) {
    MakeInput(job.input_path, 44100, 2, 50000);
    job.output_sampling_rate = 48000;
    job.quality = 3;
    ASSERT_EQ(PrepareJob(&job), kStatusOk);
    ASSERT_EQ(ConvertAudio(&job), kStatusOk);
    for (int c = 0; c < kMaxChannels; ++c) {
        EXPECT_EQ(job.channel_workers[c], nullptr);
        EXPECT_EQ(job.channel_converters[c], nullptr);
        EXPECT_EQ(job.channel_buffers[c], nullptr);
    }
    EXPECT_EQ(CloseJobStreams(&job), kStatusOk);
    EXPECT_EQ(CommitOutput(&job), kStatusOk);
    WstmHandle* out = WSTM_Open(job.output_path.c_str());
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(WSTM_GetNumSamples(out), 54422u);
    EXPECT_EQ(WSTM_Close(out), 0);
    EXPECT_EQ(console.out, "\t( 0 / 100 )    \r\t( 100 / 100 )    \r");
}

TEST_F(PrepareJobRun, ConvertAudioStopsAtTheFirstPollWhenInterrupted) {
    MakeInput(job.input_path, 8000, 2, 20000);
    job.output_sampling_rate = 16000;
    ASSERT_EQ(PrepareJob(&job), kStatusOk);
    interrupt_requested.store(1);
    EXPECT_EQ(ConvertAudio(&job), kStatusInterrupted);
    EXPECT_EQ(WSTM_Tell(job.input_stream), 0);  // no block was read
    for (int c = 0; c < kMaxChannels; ++c)
        EXPECT_EQ(job.channel_workers[c], nullptr);
    EXPECT_EQ(console.out, "\t( 0 / 100 )    \r");
    // The output, deleted next, is not first filled up with silence.
    EXPECT_EQ(CloseJobStreams(&job), kStatusOk);
    EXPECT_EQ(std::filesystem::file_size(job.write_path), 44u);
}
