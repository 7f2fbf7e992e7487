#include "codecs/pcm.h"
#include "codecs/wav.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/file_fixtures.h"
#include "tests/support/wav_images.h"
#include "wavestream/wstm/wstm.h"

namespace {

using filetest::Bytes;
using filetest::ScratchDir;

// Writes frames through the wave stream and gives the sample bytes.
Bytes WriteFrames(std::int32_t channels, std::int32_t bits,
                  const std::vector<std::vector<std::int32_t>>& frames,
                  std::int32_t values_per_call = -1) {
    ScratchDir dir;
    const std::string path = dir.Path("w.wav");
    WstmHandle* h =
        WSTM_Create(path.c_str(), 8000, channels, bits, static_cast<std::uint32_t>(frames.size()));
    EXPECT_NE(h, nullptr);
    for (const auto& f : frames) {
        WSTM_WriteSample(
            h, f.data(),
            values_per_call < 0 ? static_cast<std::int32_t>(f.size()) : values_per_call);
    }
    EXPECT_EQ(WSTM_Close(h), 0);
    const Bytes all = filetest::ReadFile(path);
    return Bytes(all.begin() + 44, all.end());
}

// Reads the frames of a sample-byte image of the given format.
std::vector<std::int32_t> ReadSamples(std::int32_t channels, std::int32_t bits, const Bytes& data) {
    ScratchDir dir;
    const std::string path = dir.Path("r.wav");
    filetest::WriteFile(
        path, filetest::RiffWave({filetest::PcmFmtChunk(static_cast<std::uint32_t>(channels), 8000,
                                                        static_cast<std::uint32_t>(bits)),
                                  filetest::Chunk("data", data)}));
    WstmHandle* h = WSTM_Open(path.c_str());
    EXPECT_NE(h, nullptr);
    std::vector<std::int32_t> out;
    if (h == nullptr) return out;
    std::vector<std::int32_t> frame(static_cast<std::size_t>(channels));
    for (std::uint32_t i = 0; i < WSTM_GetNumSamples(h); ++i) {
        EXPECT_EQ(WSTM_ReadSample(h, frame.data(), channels), h->block_size);
        out.insert(out.end(), frame.begin(), frame.end());
    }
    EXPECT_EQ(WSTM_Close(h), 0);
    return out;
}

TEST(WavSamples, EightBitIsUnsignedWithSilenceAt0x80) {
    EXPECT_EQ(ReadSamples(1, 8, {0x80, 0x00, 0xFF}),
              (std::vector<std::int32_t>{0, INT32_MIN, 0x7F000000}));
    EXPECT_EQ(WriteFrames(1, 8, {{0}, {INT32_MIN}, {INT32_MAX}, {-1}}),
              (Bytes{0x80, 0x00, 0xFF, 0x7F}));
}

TEST(WavSamples, TwelveBitsKeepTheTopBitsOnWriteAndAllBitsOnRead) {
    EXPECT_EQ(WriteFrames(1, 12, {{0x12345678}}), (Bytes{0x30, 0x12}));
    EXPECT_EQ(ReadSamples(1, 12, {0x37, 0x12}), (std::vector<std::int32_t>{0x12370000}));
}

TEST(WavSamples, TwentyFourBitsAreThreeLittleEndianBytes) {
    EXPECT_EQ(ReadSamples(1, 24, {0x00, 0x00, 0x80}), (std::vector<std::int32_t>{INT32_MIN}));
    EXPECT_EQ(WriteFrames(1, 24, {{-1}}), (Bytes{0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(WriteFrames(1, 20, {{0x12345678}}), (Bytes{0x50, 0x34, 0x12}));
}

// Every bit depth both ways: boundary values come back with the bits below
// the sample cleared.
TEST(WavSamples, EveryBitDepthRoundTrips) {
    const std::vector<std::int32_t> values = {INT32_MIN, INT32_MIN + 1, -65536,        -1,       0,
                                              1,         0x12345678,    INT32_MAX - 1, INT32_MAX};
    for (std::int32_t bits = 1; bits <= 32; ++bits) {
        std::vector<std::vector<std::int32_t>> frames;
        std::vector<std::int32_t> want;
        const std::int32_t container = PcmContainerBytes(bits) * 8;
        const std::uint32_t keep = kPcmSampleMask[static_cast<std::size_t>(bits)]
                                   << (32 - container);
        for (std::int32_t v : values) {
            frames.push_back({v, ~v});
            want.push_back(static_cast<std::int32_t>(static_cast<std::uint32_t>(v) & keep));
            want.push_back(static_cast<std::int32_t>(static_cast<std::uint32_t>(~v) & keep));
        }
        const Bytes data = WriteFrames(2, bits, frames);
        ASSERT_EQ(data.size(), values.size() * 2 * static_cast<std::size_t>(container / 8)) << bits;
        EXPECT_EQ(ReadSamples(2, bits, data), want) << bits << " bits";
    }
}

TEST(WavSamples, MissingChannelsAreWrittenAsSilence) {
    EXPECT_EQ(WriteFrames(3, 8, {{0x7F000000}}, 1), (Bytes{0xFF, 0x80, 0x80}));
    EXPECT_EQ(WriteFrames(2, 16, {{0x7FFF0000}}, 1), (Bytes{0xFF, 0x7F, 0, 0}));
}

TEST(WavSamples, ReadingFewerChannelsStaysOnTheFrameGrid) {
    ScratchDir dir;
    const std::string path = dir.Path("g.wav");
    filetest::WriteFile(
        path, filetest::RiffWave({filetest::PcmFmtChunk(3, 8000, 16),
                                  filetest::Chunk("data", {1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0})}));
    WstmHandle* h = WSTM_Open(path.c_str());
    ASSERT_NE(h, nullptr);
    std::int32_t v[3] = {-7, -7, -7};
    EXPECT_EQ(WSTM_ReadSample(h, v, 1), 6);
    EXPECT_EQ(v[0], 1 << 16);
    EXPECT_EQ(v[1], -7);  // untouched
    EXPECT_EQ(WSTM_Tell(h), 1);
    EXPECT_EQ(WSTM_ReadSample(h, v, 3), 6);
    EXPECT_EQ(v[0], 4 << 16);
    EXPECT_EQ(v[2], 6 << 16);
    EXPECT_EQ(WSTM_Close(h), 0);
}

TEST(WavSamples, WideFramesMoveSampleBySample) {
    const std::int32_t channels = 100;  // 300-byte frames of 24 bits
    std::vector<std::int32_t> frame(channels);
    for (std::int32_t c = 0; c < channels; ++c)
        frame[static_cast<std::size_t>(c)] = (c - 50) * 0x01000100;
    const Bytes data = WriteFrames(channels, 24, {frame, frame});
    ASSERT_EQ(data.size(), 600u);
    std::vector<std::int32_t> want;
    for (int k = 0; k < 2; ++k) {
        for (std::int32_t v : frame)
            want.push_back(v);
    }
    EXPECT_EQ(ReadSamples(channels, 24, data), want);
    const Bytes partial = WriteFrames(channels, 8, {frame}, 2);
    ASSERT_EQ(partial.size(), 100u);
    EXPECT_EQ(partial[99], 0x80);
}

TEST(WavSamples, ShortReadAtTheEndGivesZeros) {
    ScratchDir dir;
    const std::string path = dir.Path("z.wav");
    // Two frames, then reading on past the end of the file.
    filetest::ByteBuilder b;
    b.Append(filetest::RiffWave({filetest::PcmFmtChunk(1, 8000, 16)}))
        .Str("data")
        .U32LE(4)
        .U16LE(0x1111)
        .U16LE(0x2222);
    b.PatchU32LE(4, static_cast<std::uint32_t>(b.size() - 8));
    filetest::WriteFile(path, b.bytes());
    WstmHandle* h = WSTM_Open(path.c_str());
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(WSTM_GetNumSamples(h), 2u);
    std::int32_t v = -1;
    for (int i = 0; i < 3; ++i)
        WSTM_ReadSample(h, &v, 1);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(WSTM_GetTransferError(h), 0);
    EXPECT_EQ(WSTM_Close(h), 0);
}

}  // namespace
