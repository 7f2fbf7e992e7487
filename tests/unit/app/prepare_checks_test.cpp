// The arithmetic and checks of the job preparation: gain, sizes, free
// space and the output's file system.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/prepare.h"
#include "app/status.h"
#include "tests/support/temp_dir.h"

using namespace tolmek;

TEST(PrepareGain, MinusSixPointZeroTwoDecibelsIsExactlyHalf) {
    EXPECT_EQ(FactorFromDb(-6.020599913279624), 0.5);
}

TEST(PrepareGain, FactorsAndDecibelsConvertBothWays) {
    EXPECT_NEAR(FactorFromDb(-6.0), 0.501187, 1e-6);
    EXPECT_EQ(FactorFromDb(0.0), 1.0);
    EXPECT_NEAR(DbFromFactor(2147483647.0 / 1073741824.0), 6.0206, 1e-4);
    EXPECT_EQ(DbFromFactor(1.0), 0.0);
    EXPECT_EQ(DbFromFactor(0.0), 0.0);
    EXPECT_EQ(DbFromFactor(-2.0), 0.0);
}

TEST(PrepareSizes, AiffDataStopsJustBelowTwoGigabytesAndWavGoesOn) {
    ResampleJob job;
    job.output_path = "out.aif";
    job.output_num_bits = 16;
    job.output_num_channels = 2;
    job.output_num_samples = 536870911;
    std::int64_t bytes = 0;
    EXPECT_EQ(ComputeOutputDataSize(job, &bytes), kStatusOk);
    EXPECT_EQ(bytes, 2147483644);
    job.output_num_samples = 536870912;
    EXPECT_EQ(ComputeOutputDataSize(job, &bytes), kErrOver2GB);
    job.output_path = "out.wav";  // written as RF64
    job.output_num_channels = 32;
    job.output_num_bits = 32;
    EXPECT_EQ(ComputeOutputDataSize(job, &bytes), kStatusOk);
    EXPECT_EQ(bytes, 536870912LL * 32 * 4);
}

TEST(PrepareSizes, BitsCountInWholeBytesRoundedDown) {
    ResampleJob job;
    job.output_num_channels = 1;
    job.output_num_samples = 1000;
    std::int64_t bytes = -1;
    job.output_num_bits = 12;
    EXPECT_EQ(ComputeOutputDataSize(job, &bytes), kStatusOk);
    EXPECT_EQ(bytes, 1000);
    job.output_num_bits = 4;
    EXPECT_EQ(ComputeOutputDataSize(job, &bytes), kStatusOk);
    EXPECT_EQ(bytes, 0);
}

TEST(PrepareSizes, DerivedSampleCountRoundsHalfUp) {
    int count = -1;
    EXPECT_EQ(DeriveOutputSampleCount(44100, 48000, 44100, &count), kStatusOk);
    EXPECT_EQ(count, 48000);
    EXPECT_EQ(DeriveOutputSampleCount(44100, 48000, 100000, &count), kStatusOk);
    EXPECT_EQ(count, 108844);
    EXPECT_EQ(DeriveOutputSampleCount(44100, 22050, 1, &count), kStatusOk);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(DeriveOutputSampleCount(44100, 48000, 0, &count), kStatusOk);
    EXPECT_EQ(count, 0);
}

TEST(PrepareSizes, DerivedSampleCountThatDoesNotFitIsRefused) {
    int count = 7;
    EXPECT_EQ(DeriveOutputSampleCount(1, 1, 2147483647, &count), kStatusOk);
    EXPECT_EQ(count, 2147483647);
    EXPECT_EQ(DeriveOutputSampleCount(8000, 192000, 2147483647, &count), kErrOver2GB);
    EXPECT_EQ(DeriveOutputSampleCount(8000, 192000, 89478486, &count), kErrOver2GB);
    EXPECT_EQ(count, 2147483647);  // unchanged by a refusal
}

TEST(PrepareDiskSpace, NeedsTheSizeRoundedUpToWholeClusters) {
    platform::VolumeInfo volume;
    volume.cluster_size = 4096;
    volume.free_bytes = 8192;
    EXPECT_EQ(CheckSpaceOn(volume, 4097), kStatusOk);
    EXPECT_EQ(CheckSpaceOn(volume, 8192), kStatusOk);  // equal passes
    EXPECT_EQ(CheckSpaceOn(volume, 8193), kErrDiskFull);
    volume.free_bytes = 8191;
    EXPECT_EQ(CheckSpaceOn(volume, 4097), kErrDiskFull);
    volume.free_bytes = 0;
    EXPECT_EQ(CheckSpaceOn(volume, 0), kStatusOk);
}

TEST(PrepareDiskSpace, ATemporaryFolderHasRoomForASmallFile) {
    testsupport::TempDir dir;
    EXPECT_EQ(CheckDiskSpace(dir.Path("out.wav"), 1000), kStatusOk);
    EXPECT_EQ(CheckDiskSpace(dir.Path("out.wav"), 0x7FFFFFFFFFFFFFFF), kErrDiskFull);
}

TEST(PrepareOutputDrive, AWritableFolderAndPathsBelowItPass) {
    testsupport::TempDir dir;
    EXPECT_EQ(CheckOutputDrive(dir.Path("out.wav")), kStatusOk);
    EXPECT_EQ(CheckOutputDrive(dir.Path("not/yet/made/out.wav")), kStatusOk);
    EXPECT_EQ(CheckOutputDrive(dir.path()), kStatusOk);
}
