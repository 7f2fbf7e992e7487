// The largest classic output the wave stream plans: a file of 2^31 - 1
// bytes at most, header included; one frame more makes a WAV file RF64 (36
// bytes of 'ds64' after the head) and is refused for AIFF. Planned without
// creating anything, for WAV (44 header bytes) and AIFF (54), 8- and 16-bit
// stereo.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/file_fixtures.h"
#include "wavestream/wstm/wstm.h"
#include "wavestream/wstm/wstm_format.h"

namespace {

constexpr std::int64_t kLargestFile = 2147483647;

struct Layout {
    std::int32_t format;
    std::int64_t header_bytes;
    std::int32_t bits;
};

std::int32_t Plan(const Layout& layout, std::uint32_t frames, WstmHandle* handle) {
    *handle = WstmHandle{};
    handle->file_format = layout.format;
    handle->sampling_rate = 44100;
    handle->num_channels = 2;
    handle->num_bits = layout.bits;
    handle->num_samples = frames;
    return wstm_plan_new_file(handle);
}

class ScalePlan : public ::testing::TestWithParam<Layout> {};

TEST_P(ScalePlan, LargestFittingFrameCountIsAcceptedAndOneMoreRefused) {
    const Layout layout = GetParam();
    const std::int64_t block = layout.bits / 8 * 2;
    const auto largest = static_cast<std::uint32_t>((kLargestFile - layout.header_bytes) / block);

    filetest::ErrorCapture errors;
    WstmHandle handle;
    ASSERT_EQ(Plan(layout, largest, &handle), 0);
    EXPECT_EQ(handle.data_offset, layout.header_bytes);
    EXPECT_EQ(handle.block_size, block);
    EXPECT_EQ(handle.file_size, layout.header_bytes + std::int64_t{largest} * block);
    EXPECT_GT(handle.file_size + block, kLargestFile);  // no room for another frame
    EXPECT_TRUE(errors.lines().empty());

    EXPECT_FALSE(handle.rf64);

    const std::int32_t over = Plan(layout, largest + 1, &handle);
    if (layout.format == kWstmFormatWav) {
        ASSERT_EQ(over, 0);
        EXPECT_TRUE(handle.rf64);
        EXPECT_EQ(handle.data_offset, layout.header_bytes + 36);
        EXPECT_EQ(handle.file_size, layout.header_bytes + 36 + (std::int64_t{largest} + 1) * block);
        EXPECT_TRUE(errors.lines().empty());
    } else {
        EXPECT_LT(over, 0);
        EXPECT_EQ(errors.lines(),
                  std::vector<std::string>{"E2006110601 : File size becomes over 2GB."});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ScalePlan,
    ::testing::Values(Layout{kWstmFormatWav, 44, 8}, Layout{kWstmFormatWav, 44, 16},
                      Layout{kWstmFormatAiff, 54, 8}, Layout{kWstmFormatAiff, 54, 16}),
    [](const ::testing::TestParamInfo<Layout>& info) {
        return std::string(info.param.format == kWstmFormatWav ? "Wav" : "Aiff") +
               std::to_string(info.param.bits) + "BitStereo";
    });

}  // namespace
