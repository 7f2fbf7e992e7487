// Inputs past 2 GB, as sparse files: a plain WAV file up to 4 GB, RF64 and
// BW64 files of any size their frame count allows, and the refusals of
// longer WAV files and of AIFF files of 2 GB and more. No file that is too
// large is reported as too small.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tests/support/file_fixtures.h"
#include "wavestream/wstm/wstm.h"

namespace {

using filetest::ByteBuilder;
using filetest::Bytes;

constexpr std::int64_t kGiB = std::int64_t{1} << 30;

// The head of a WAV file of `data` bytes of 44.1 kHz PCM. "RIFF" gets its
// 32-bit sizes; "RF64" and "BW64" get placeholders and a 'ds64' chunk.
Bytes WavHead(const char* id, int channels, int bits, std::int64_t data) {
    const bool ds64 = std::string(id) != "RIFF";
    const auto block = static_cast<std::uint32_t>(channels * bits / 8);
    ByteBuilder b;
    b.Str(id).U32LE(ds64 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(36 + data)).Str("WAVE");
    if (ds64) {
        b.Str("ds64").U32LE(28);
        for (const std::int64_t v : {72 + data, data, data / block})
            b.U32LE(static_cast<std::uint32_t>(v)).U32LE(static_cast<std::uint32_t>(v >> 32));
        b.U32LE(0);
    }
    b.Str("fmt ").U32LE(16).U16LE(1).U16LE(static_cast<std::uint32_t>(channels)).U32LE(44100);
    b.U32LE(44100 * block).U16LE(block).U16LE(static_cast<std::uint32_t>(bits));
    b.Str("data").U32LE(ds64 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(data));
    return b.bytes();
}

Bytes AiffHead(std::int64_t data) {
    ByteBuilder b;
    b.Str("FORM").U32BE(static_cast<std::uint32_t>(46 + data)).Str("AIFF");
    b.Str("COMM").U32BE(18).U16BE(2).U32BE(static_cast<std::uint32_t>(data / 4)).U16BE(16);
    b.U16BE(0x400E).U32BE(0xAC440000u).U32BE(0);  // 44100 Hz
    b.Str("SSND").U32BE(static_cast<std::uint32_t>(data + 8)).U32BE(0).U32BE(0);
    return b.bytes();
}

struct LargeInput {
    const char* name;
    Bytes head;
    std::int64_t data;          // bytes of sample data after the head
    std::int64_t frames;        // what WSTM_Open gives, or -1 for a refusal
    const char* first_message;  // of a refusal
};

TEST(WstmLargeInputs, ReadToTheirLastFrameOrRefusedClearly) {
    const std::int64_t k3G = 3 * kGiB;
    const std::int64_t k6G = 6 * kGiB;
    const std::int64_t k2G = 2 * kGiB;
    const LargeInput cases[] = {
        {"plain 3 GB", WavHead("RIFF", 2, 16, k3G), k3G, k3G / 4, nullptr},
        {"RF64 6 GB", WavHead("RF64", 2, 24, k6G), k6G, k6G / 6, nullptr},
        {"BW64 3 GB", WavHead("BW64", 2, 16, k3G), k3G, k3G / 4, nullptr},
        {"plain 3 GB 8-bit mono", WavHead("RIFF", 1, 8, k3G), k3G, -1,
         "E2006110602 : The file holds more than 2147483647 sample frames."},
        {"RF64 2^31 frames", WavHead("RF64", 1, 16, 2 * k2G), 2 * k2G, -1,
         "E2006110602 : The file holds more than 2147483647 sample frames."},
        {"plain 5 GB, sizes wrapped", WavHead("RIFF", 2, 16, 5 * kGiB), 5 * kGiB, -1,
         "E2006110605 : A WAV file past 4GB is read only as RF64 or BW64."},
        {"RF64 without ds64", WavHead("RIFF", 2, 16, 16), k3G, -1,
         "E2006110604 : Can not find the 'ds64' chunk of an RF64 file."},
        {"AIFF 2 GB", AiffHead(k2G), k2G, -1,
         "E2006110603 : An AIFF file can not be 2GB or larger."},
    };
    filetest::ScratchDir dir;
    const std::string path = dir.Path("large.wav");
    for (const LargeInput& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes head = c.head;
        if (std::string(c.name) == "RF64 without ds64") std::copy_n("RF64", 4, head.begin());
        const std::int64_t size = static_cast<std::int64_t>(head.size()) + c.data;
        // The last frame's first bytes, so that a wrong offset shows.
        ASSERT_TRUE(filetest::WriteSparse(
            path, size, {{0, head}, {size - 6, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66}}}));
        filetest::ErrorCapture errors;
        WstmHandle* h = WSTM_Open(path.c_str());
        if (c.frames < 0) {
            EXPECT_EQ(h, nullptr);
            ASSERT_FALSE(errors.lines().empty());
            EXPECT_EQ(errors.lines()[0], c.first_message);
            if (h != nullptr) WSTM_Close(h);
            continue;
        }
        ASSERT_NE(h, nullptr) << (errors.lines().empty() ? "" : errors.lines()[0]);
        EXPECT_EQ(WSTM_GetNumSamples(h), static_cast<std::uint32_t>(c.frames));
        ASSERT_EQ(WSTM_Seek(h, -1, 2), 0);
        EXPECT_EQ(WSTM_Tell(h), c.frames - 1);
        std::int32_t frame[2] = {};
        ASSERT_GT(WSTM_ReadSample(h, frame, 2), 0);
        const bool wide = WSTM_GetNumBits(h) == 24;
        EXPECT_EQ(static_cast<std::uint32_t>(frame[1]), wide ? 0x66554400u : 0x66550000u);
        EXPECT_EQ(WSTM_Close(h), 0);
    }
}

}  // namespace
