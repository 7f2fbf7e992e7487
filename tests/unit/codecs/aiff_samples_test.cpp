#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/unit/codecs/aiff_test_util.h"

namespace {

using namespace aifftest;
using filetest::ScratchDir;

// Decodes a one-frame file of `channels` channels whose sample data is `data`.
class AiffSamples : public ::testing::Test {
  protected:
    Handle Reader(std::int32_t channels, std::int32_t bits, const Bytes& data) {
        std::int32_t status = 0;
        Handle h = DecodeBytes(dir_, Form({Comm(channels, 1, bits, 44100), Ssnd(data)}), &status);
        EXPECT_EQ(status, 0);
        return h;
    }
    // The sample data that one frame of `values` becomes.
    Bytes Written(std::int32_t channels, std::int32_t bits,
                  const std::vector<std::int32_t>& values) {
        std::int32_t status = 0;
        const std::string path = dir_.Path("w.aif");
        Handle h = EncodeNew(path, 44100, channels, bits, 1, &status);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(h->write_sample(h.get(), values.data(), static_cast<std::int32_t>(values.size())),
                  h->block_size);
        EXPECT_EQ(h->current_position, 54 + h->block_size);
        Finish(h);
        const Bytes file = filetest::ReadFile(path);
        return Bytes(file.begin() + 54, file.end());
    }
    ScratchDir dir_;
};

std::int32_t ReadOne(Handle& h) {
    std::int32_t v = 0;
    EXPECT_EQ(h->read_sample(h.get(), &v, 1), h->block_size);
    return v;
}

TEST_F(AiffSamples, EightBitSamplesAreSigned) {
    Handle h = Reader(3, 8, {0x80, 0x7F, 0xFF});
    std::int32_t v[3];
    EXPECT_EQ(h->read_sample(h.get(), v, 3), 3);
    EXPECT_EQ(v[0], INT32_MIN);
    EXPECT_EQ(v[1], 0x7F000000);
    EXPECT_EQ(v[2], -0x1000000);
    EXPECT_EQ(Written(3, 8, {0, INT32_MIN, 0x7FFFFFFF}), (Bytes{0x00, 0x80, 0x7F}));
}

TEST_F(AiffSamples, EachContainerWidthReadsBigEndianIntoTheTopBits) {
    Handle h16 = Reader(1, 16, {0x80, 0x01});
    EXPECT_EQ(ReadOne(h16), static_cast<std::int32_t>(0x80010000u));
    Handle h24 = Reader(1, 24, {0xFF, 0xFF, 0xFE});
    EXPECT_EQ(ReadOne(h24), -512);
    Handle h32 = Reader(1, 32, {0x12, 0x34, 0x56, 0x78});
    EXPECT_EQ(ReadOne(h32), 0x12345678);
    // Reading does not mask: the container's low bits come as stored.
    Handle h12 = Reader(1, 12, {0x12, 0x37});
    EXPECT_EQ(ReadOne(h12), 0x12370000);
}

TEST_F(AiffSamples, WritingKeepsTheTopBitsOfEachValue) {
    EXPECT_EQ(Written(1, 12, {0x12345678}), (Bytes{0x12, 0x30}));
    EXPECT_EQ(Written(1, 16, {-1}), (Bytes{0xFF, 0xFF}));
    EXPECT_EQ(Written(1, 20, {0x12345678}), (Bytes{0x12, 0x34, 0x50}));
    EXPECT_EQ(Written(1, 24, {-1}), (Bytes{0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Written(1, 31, {0x12345679}), (Bytes{0x12, 0x34, 0x56, 0x78}));
    EXPECT_EQ(Written(1, 1, {-1}), (Bytes{0x80}));
    EXPECT_EQ(Written(1, 7, {0x7FFFFFFF}), (Bytes{0x7E}));
}

TEST_F(AiffSamples, MissingChannelsAreWrittenAsSilence) {
    EXPECT_EQ(Written(3, 16, {0x7FFF0000}), (Bytes{0x7F, 0xFF, 0, 0, 0, 0}));
    EXPECT_EQ(Written(2, 8, {-0x7F000000}), (Bytes{0x81, 0}));
}

TEST_F(AiffSamples, ReadingFewerChannelsStaysOnTheFrameGrid) {
    std::int32_t status = 0;
    ByteBuilder data;
    data.U16BE(1).U16BE(2).U16BE(3).U16BE(4).U16BE(5).U16BE(6);
    Handle h = DecodeBytes(dir_, Form({Comm(3, 2, 16, 44100), Ssnd(data.bytes())}), &status);
    ASSERT_EQ(status, 0);
    std::int32_t v[3] = {-9, -9, -9};
    EXPECT_EQ(h->read_sample(h.get(), v, 1), 6);
    EXPECT_EQ(v[0], 1 << 16);
    EXPECT_EQ(v[1], -9);
    EXPECT_EQ(h->read_sample(h.get(), v, 3), 6);
    EXPECT_EQ(v[0], 4 << 16);
    EXPECT_EQ(v[2], 6 << 16);
    EXPECT_EQ(h->current_position, h->data_offset + 12);
}

TEST_F(AiffSamples, WideFramesMoveSampleBySampleWithTheSameResult) {
    // 100 channels of 24 bits: 300 bytes, more than one stream call carries.
    std::vector<std::int32_t> values(100);
    for (int c = 0; c < 100; ++c)
        values[c] = static_cast<std::int32_t>(0x89ABCDEFu * (c + 1));
    const Bytes data =
        Written(100, 20, std::vector<std::int32_t>(values.begin(), values.begin() + 90));
    ASSERT_EQ(data.size(), 300u);
    for (int c = 0; c < 100; ++c) {
        const std::uint32_t want =
            c < 90 ? (static_cast<std::uint32_t>(values[c]) >> 8) & 0xFFFFF0 : 0;
        EXPECT_EQ((std::uint32_t{data[3 * c]} << 16) | (std::uint32_t{data[3 * c + 1]} << 8) |
                      data[3 * c + 2],
                  want)
            << c;
    }
    std::int32_t status = 0;
    Bytes two = data;
    two.insert(two.end(), data.begin(), data.end());
    Handle h = DecodeBytes(dir_, Form({Comm(100, 2, 20, 44100), Ssnd(two)}), &status);
    ASSERT_EQ(status, 0);
    std::vector<std::int32_t> got(100, -7);
    EXPECT_EQ(h->read_sample(h.get(), got.data(), 3), 300);
    EXPECT_EQ(got[2],
              static_cast<std::int32_t>(static_cast<std::uint32_t>(values[2]) & 0xFFFFF000u));
    EXPECT_EQ(got[3], -7);
    EXPECT_EQ(h->read_sample(h.get(), got.data(), 100), 300);
    EXPECT_EQ(got[89],
              static_cast<std::int32_t>(static_cast<std::uint32_t>(values[89]) & 0xFFFFF000u));
    EXPECT_EQ(got[99], 0);
}

}  // namespace
