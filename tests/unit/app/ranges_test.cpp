#include <gtest/gtest.h>

#include "app/cmdline.h"
#include "app/status.h"

using namespace tolmek;

namespace {

class Ranges : public ::testing::Test {
  protected:
    void SetUp() override { ResetParserState(); }

    int Apply(int index, const std::string& value) { return ApplySubcommand(index, value, &job); }

    ResampleJob job;
};

}  // namespace

TEST_F(Ranges, JobStartsWithItsDefaults) {
    EXPECT_EQ(job.output_num_samples, -1);
    EXPECT_EQ(job.quality, 10);
    EXPECT_EQ(job.volume_factor, 1.0);
    EXPECT_EQ(job.output_sampling_rate, 0);
    EXPECT_EQ(ValidateJob(job), kStatusOk);
}

TEST_F(Ranges, FrequencyTakesTheIntegerPartOfANumberAbove0) {
    EXPECT_EQ(Apply(kSubFreq, "44100.9"), kStatusOk);
    EXPECT_EQ(job.output_sampling_rate, 44100);
    for (const char* bad : {"", "+44100", "4e4", "0", "-48000", "0.9", "abc"}) {
        EXPECT_EQ(Apply(kSubFreq, bad), kErrInvalidFrequency) << bad;
    }
    EXPECT_EQ(job.output_sampling_rate, 44100);  // failures leave the field alone
}

TEST_F(Ranges, FrequencyRangeIsCheckedAfterParsing) {
    EXPECT_EQ(Apply(kSubFreq, "5"), kStatusOk);
    EXPECT_EQ(ValidateJob(job), kErrInvalidFrequency);
    EXPECT_EQ(Apply(kSubFreq, "99999999999"), kStatusOk);
    EXPECT_EQ(job.output_sampling_rate, 2147483647);
    EXPECT_EQ(ValidateJob(job), kErrInvalidFrequency);
    for (const char* good : {"10", "192000"}) {
        EXPECT_EQ(Apply(kSubFreq, good), kStatusOk);
        EXPECT_EQ(ValidateJob(job), kStatusOk) << good;
    }
    EXPECT_EQ(Apply(kSubFreq, "192001"), kStatusOk);
    EXPECT_EQ(ValidateJob(job), kErrInvalidFrequency);
}

TEST_F(Ranges, ChannelsAndBitsHaveTheirOwnCodes) {
    EXPECT_EQ(Apply(kSubCh, "0"), kErrInvalidChannels);
    EXPECT_EQ(Apply(kSubCh, "3"), kStatusOk);
    EXPECT_EQ(ValidateJob(job), kErrInvalidChannels);
    EXPECT_EQ(Apply(kSubCh, "2"), kStatusOk);
    EXPECT_EQ(ValidateJob(job), kStatusOk);

    EXPECT_EQ(Apply(kSubBit, "x"), kErrInvalidBits);
    EXPECT_EQ(Apply(kSubBit, "33"), kStatusOk);
    EXPECT_EQ(ValidateJob(job), kErrInvalidBits);
    EXPECT_EQ(Apply(kSubBit, "1"), kStatusOk);
    EXPECT_EQ(ValidateJob(job), kStatusOk);
}

TEST_F(Ranges, BitsTakeFloatInAnyCaseAndTheLastSettingWins) {
    EXPECT_EQ(Apply(kSubBit, "FLOAT"), kStatusOk);
    EXPECT_TRUE(job.output_float);
    EXPECT_EQ(job.output_num_bits, 32);
    EXPECT_EQ(Apply(kSubBit, "floats"), kErrInvalidBits);
    EXPECT_TRUE(job.output_float);  // a refused value changes nothing
    EXPECT_EQ(Apply(kSubBit, "16"), kStatusOk);
    EXPECT_FALSE(job.output_float);
}

TEST_F(Ranges, SampleCountAcceptsZeroUpToTheLargestInt) {
    EXPECT_EQ(Apply(kSubSmpl, "0"), kStatusOk);
    EXPECT_EQ(job.output_num_samples, 0);
    EXPECT_EQ(Apply(kSubSmpl, "2147483647"), kStatusOk);
    EXPECT_EQ(job.output_num_samples, 2147483647);
    EXPECT_EQ(Apply(kSubSmpl, "1000.7"), kStatusOk);
    EXPECT_EQ(job.output_num_samples, 1000);
    EXPECT_EQ(Apply(kSubSmpl, "-1"), kErrInvalidSamples);
    EXPECT_EQ(Apply(kSubSmpl, "1e3"), kErrInvalidSamples);
    EXPECT_EQ(Apply(kSubSmpl, "2147483648"), kErrOver2GB);
    EXPECT_EQ(Apply(kSubSmpl, "3000000000"), kErrOver2GB);
    EXPECT_EQ(job.output_num_samples, 1000);
}

TEST_F(Ranges, VolumeIsANumberOfDecibelsOrNormalize) {
    EXPECT_EQ(Apply(kSubVol, "-999"), kStatusOk);
    EXPECT_EQ(ValidateJob(job), kStatusOk);
    EXPECT_EQ(Apply(kSubVol, "999"), kStatusOk);
    EXPECT_EQ(ValidateJob(job), kStatusOk);
    EXPECT_EQ(Apply(kSubVol, "999.5"), kStatusOk);
    EXPECT_EQ(ValidateJob(job), kErrInvalidVolume);
    EXPECT_EQ(Apply(kSubVol, "-6.5"), kStatusOk);
    EXPECT_DOUBLE_EQ(job.volume_db, -6.5);
    EXPECT_EQ(Apply(kSubVol, "loud"), kErrInvalidVolume);

    EXPECT_EQ(Apply(kSubVol, "NORMALIZE"), kStatusOk);
    EXPECT_EQ(job.normalize, 1);
    EXPECT_EQ(job.volume_db, 0.0);
    EXPECT_EQ(Apply(kSubVol, "3"), kStatusOk);
    EXPECT_EQ(job.normalize, 1);  // never cleared again
    EXPECT_EQ(job.volume_db, 3.0);
}

TEST_F(Ranges, ModeKeywordsAndNumbers3To10) {
    EXPECT_EQ(Apply(kSubMode, "speed"), kStatusOk);
    EXPECT_EQ(job.quality, 3);
    EXPECT_EQ(Apply(kSubMode, "QUALITY"), kStatusOk);
    EXPECT_EQ(job.quality, 10);
    EXPECT_EQ(Apply(kSubMode, "Speed"), kStatusOk);
    EXPECT_EQ(job.quality, 3);
    EXPECT_EQ(Apply(kSubMode, "7"), kStatusOk);
    EXPECT_EQ(job.quality, 7);
    EXPECT_EQ(Apply(kSubMode, "10.9"), kStatusOk);
    EXPECT_EQ(job.quality, 10);
    for (const char* bad : {"11", "2", "0", "-5", "fast", "", "99999999999"}) {
        EXPECT_EQ(Apply(kSubMode, bad), kErrWrongMode) << bad;
    }
}

TEST_F(Ranges, PriorityKeywordsAreCheckedWhateverTheirCase) {
    // "normal" keeps the test process where it is; the other keywords are
    // exercised through the binary.
    EXPECT_EQ(Apply(kSubPrio, "NORMAL"), kStatusOk);
    EXPECT_EQ(Apply(kSubPrio, "idle"), kErrInvalidParameter);
    EXPECT_EQ(Apply(kSubPrio, ""), kErrInvalidParameter);
}

TEST_F(Ranges, HelpCountsOnlyWhileNothingElseWasApplied) {
    ParserState& state = CurrentParserState();
    EXPECT_EQ(Apply(kSubHelp, "freq"), kStatusOk);
    EXPECT_EQ(state.help_state, 1);
    EXPECT_EQ(Apply(kSubHelp, "ch"), kStatusOk);
    EXPECT_EQ(state.help_topic, "ch");  // a later -help replaces the topic
    EXPECT_EQ(Apply(kSubFreq, "48000"), kStatusOk);
    EXPECT_EQ(state.help_state, 2);
    EXPECT_EQ(Apply(kSubHelp, "bit"), kStatusOk);
    EXPECT_EQ(state.help_state, 2);
    EXPECT_EQ(state.help_topic, "ch");
}

TEST_F(Ranges, FailedSettingDoesNotCancelHelp) {
    EXPECT_EQ(Apply(kSubHelp, ""), kStatusOk);
    EXPECT_EQ(Apply(kSubFreq, "x"), kErrInvalidFrequency);
    EXPECT_EQ(CurrentParserState().help_state, 1);
}
