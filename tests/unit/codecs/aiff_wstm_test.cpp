// AIFF through the wave stream API: the extension picks the format, the
// identification hands FORM files to the AIFF codec, and close completes the
// file with its sizes, markers and loops.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/unit/codecs/aiff_test_util.h"
#include "wavestream/wstm/wstm.h"

namespace {

using namespace aifftest;
using filetest::ErrorCapture;
using filetest::ScratchDir;
using Lines = std::vector<std::string>;

class AiffWaveStream : public ::testing::Test {
  protected:
    ScratchDir dir_;
    ErrorCapture errors_;
};

TEST_F(AiffWaveStream, AifExtensionsCreateFormFilesThatOpenAgain) {
    for (const char* name : {"a.aif", "b.AIFF", "c.aifc", "d.Aif"}) {
        SCOPED_TRACE(name);
        const std::string path = dir_.Path(name);
        WstmHandle* out = WSTM_Create(path.c_str(), 96000, 2, 24, 3);
        ASSERT_NE(out, nullptr) << ::testing::PrintToString(errors_.lines());
        const std::int32_t frames[3][2] = {{0x12345600, -256}, {INT32_MIN, INT32_MAX}, {0, 1 << 8}};
        for (const auto& f : frames)
            (void)WSTM_WriteSample(out, f, 2);
        ASSERT_EQ(WSTM_Close(out), 0);
        const Bytes file = filetest::ReadFile(path);
        ASSERT_EQ(file.size(), 54u + 18);
        EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "FORM");

        WstmHandle* in = WSTM_Open(path.c_str());
        ASSERT_NE(in, nullptr) << ::testing::PrintToString(errors_.lines());
        EXPECT_EQ(in->file_format, kWstmFormatAiff);
        EXPECT_EQ(WSTM_GetSamplingRate(in), 96000);
        EXPECT_EQ(WSTM_GetNumChannels(in), 2);
        EXPECT_EQ(WSTM_GetNumBits(in), 24);
        EXPECT_EQ(WSTM_GetNumSamples(in), 3u);
        for (const auto& f : frames) {
            std::int32_t v[2];
            EXPECT_EQ(WSTM_ReadSample(in, v, 2), 6);
            EXPECT_EQ(v[0],
                      static_cast<std::int32_t>(static_cast<std::uint32_t>(f[0]) & 0xFFFFFF00u));
            EXPECT_EQ(v[1],
                      static_cast<std::int32_t>(static_cast<std::uint32_t>(f[1]) & 0xFFFFFF00u));
        }
        EXPECT_EQ(WSTM_Close(in), 0);
    }
}

TEST_F(AiffWaveStream, MarkersAndLoopsSetBeforeCloseComeBack) {
    const std::string path = dir_.Path("loops.aif");
    WstmHandle* out = WSTM_Create(path.c_str(), 44100, 1, 8, 4001);
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(WSTM_SetNumMarkers(out, 2), 0);
    ASSERT_EQ(WSTM_SetMarker(out, 0, 7), 0);
    ASSERT_EQ(WSTM_SetMarker(out, 1, 1000), 0);
    ASSERT_EQ(WSTM_SetNumLoops(out, 3), 0);
    ASSERT_EQ(WSTM_SetLoop(out, 0, 1000, 2000), 0);
    ASSERT_EQ(WSTM_SetLoop(out, 1, 0, 4001), 0);
    ASSERT_EQ(WSTM_SetLoop(out, 2, 3, 4), 0);  // only its markers are written
    const std::int32_t one = 0x40000000;
    for (int i = 0; i < 10; ++i)
        (void)WSTM_WriteSample(out, &one, 1);  // the rest is silence
    ASSERT_EQ(WSTM_Close(out), 0);

    const Bytes file = filetest::ReadFile(path);
    // 4001 bytes of data, a pad byte, 'MARK' with 7 markers and 'INST'.
    ASSERT_EQ(file.size(), 54u + 4001 + 1 + 8 + 2 + 7 * 12 + 28);
    EXPECT_EQ(BE32(file, 4), file.size() - 8);

    WstmHandle* in = WSTM_Open(path.c_str());
    ASSERT_NE(in, nullptr) << ::testing::PrintToString(errors_.lines());
    EXPECT_EQ(WSTM_GetNumSamples(in), 4001u);
    ASSERT_EQ(WSTM_GetNumMarkers(in), 7);
    const std::int32_t positions[] = {7, 1000, 2000, 0, 4001, 3, 4};
    for (int i = 0; i < 7; ++i) {
        std::int32_t p = -1;
        EXPECT_EQ(WSTM_GetMarker(in, i, &p), 0);
        EXPECT_EQ(p, positions[i]) << i;
    }
    ASSERT_EQ(WSTM_GetNumLoops(in), 2);
    std::int32_t start = 0, end = 0;
    EXPECT_EQ(WSTM_GetLoop(in, 0, &start, &end), 0);
    EXPECT_EQ(start, 1000);
    EXPECT_EQ(end, 2000);
    EXPECT_EQ(WSTM_GetLoop(in, 1, &start, &end), 0);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 4001);
    std::int32_t v = 0;
    for (int i = 0; i < 11; ++i)
        (void)WSTM_ReadSample(in, &v, 1);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(WSTM_Close(in), 0);
}

TEST_F(AiffWaveStream, AifcTypeNotReadIsRefusedWithTheCodecMessageFirst) {
    const std::string path = dir_.Path("x.aifc");
    ByteBuilder comm;
    comm.Append(CommBody(1, 1, 16, Extended(44100))).Str("ima4").U8(0).U8(0);
    filetest::WriteFile(path, Form({Chunk("COMM", comm.bytes()), Ssnd(Bytes(2, 0))}, "AIFC"));
    EXPECT_EQ(WSTM_Open(path.c_str()), nullptr);
    EXPECT_EQ(errors_.lines(), (Lines{"E2006110786 : This sample format is not supported.",
                                      "E2006110127 : Can not decode file header."}));
    EXPECT_STREQ(WSTM_RefusedFormat(), "AIFF-C compression type 'ima4'");
}

TEST_F(AiffWaveStream, RefusedAiffParametersCreateNoFile) {
    const std::string path = dir_.Path("bad.aif");
    EXPECT_EQ(WSTM_Create(path.c_str(), 9, 1, 16, 10), nullptr);
    EXPECT_EQ(errors_.lines(), (Lines{"E2006110874 : This sampling frequency is not available.",
                                      "E2006110119 : Can not create file header."}));
    EXPECT_FALSE(filetest::FileExists(path));
}

}  // namespace
