// Several converters on their own threads share the pool; each gives the
// bits it gives alone.
#include <thread>

#include "tests/unit/resampler/engine_fixture.h"

namespace {

using namespace enginetest;

void RunChannels(int32_t channels, int32_t in, int32_t out, int32_t quality, int32_t seconds) {
    std::vector<std::vector<double>> inputs, expected;
    for (int32_t ch = 0; ch < channels; ++ch) {
        inputs.push_back(Noise(static_cast<size_t>(in) * seconds, static_cast<uint32_t>(ch + 1)));
        Converter alone(in, out, quality);
        ConverterTestPeer::UsePool(alone.p, false);
        expected.push_back(Stream(alone.p, inputs.back(), {in}));
    }
    // The first converter is configured, the others are its clones.
    Converter first(in, out, quality);
    std::vector<INuvSamplingRateConverter*> converters{first.p};
    for (int32_t ch = 1; ch < channels; ++ch) {
        int32_t err = 1;
        converters.push_back(first->Clone(&err));
        ASSERT_EQ(err, 0);
    }
    std::vector<std::vector<double>> results(static_cast<size_t>(channels));
    std::vector<std::thread> threads;
    for (int32_t ch = 0; ch < channels; ++ch) {
        threads.emplace_back([&, ch] { results[ch] = Stream(converters[ch], inputs[ch], {in}); });
    }
    for (std::thread& t : threads)
        t.join();
    for (int32_t ch = 0; ch < channels; ++ch) {
        EXPECT_TRUE(SameBits(results[ch], expected[ch])) << "channel " << ch;
        if (ch > 0) converters[ch]->Destroy(nullptr);
    }
}

TEST(ConverterThreads, TwoChannelsShareThePool) {
    Library lib;
    RunChannels(2, 44100, 48000, 8, 1);
}

TEST(ConverterThreads, SixChannelsShareThePool) {
    Library lib;
    RunChannels(6, 48000, 44100, 6, 2);
}

TEST(ConverterThreads, QuickQualityManySmallJobs) {
    Library lib;
    RunChannels(4, 22050, 96000, 3, 2);
}

}  // namespace
