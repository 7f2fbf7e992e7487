#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/unit/codecs/aiff_test_util.h"

namespace {

using namespace aifftest;
using filetest::ErrorCapture;
using filetest::ScratchDir;
using Lines = std::vector<std::string>;

class AiffEncode : public ::testing::Test {
  protected:
    std::string Path() const { return dir_.Path("out.aif"); }
    Handle Create(std::int32_t rate, std::int32_t channels, std::int32_t bits,
                  std::uint32_t frames) {
        return EncodeNew(Path(), rate, channels, bits, frames, &status_);
    }
    // Writes `frames` frames of silence, finishes the file and gives its bytes.
    Bytes WriteAndFinish(Handle& h) {
        const std::vector<std::int32_t> zero(static_cast<std::size_t>(h->num_channels), 0);
        for (std::uint32_t i = 0; i < h->num_samples; ++i)
            (void)h->write_sample(h.get(), zero.data(), h->num_channels);
        Finish(h);
        return filetest::ReadFile(Path());
    }
    ScratchDir dir_;
    ErrorCapture errors_;
    std::int32_t status_ = 0;
};

TEST_F(AiffEncode, NewFileHeaderHasTheCanonicalBytes) {
    Handle h = Create(44100, 2, 16, 1000);
    ASSERT_EQ(status_, 0);
    EXPECT_EQ(h->file_size, 4054);
    EXPECT_EQ(h->file_identifier, kWstmForm);
    EXPECT_EQ(h->current_position, 54);
    EXPECT_EQ(h->write_sample, aiff_write_sample);
    const Bytes file = WriteAndFinish(h);
    ASSERT_EQ(file.size(), 4054u);
    const Bytes want = {'F',  'O',  'R',  'M',  0x00, 0x00, 0x0F, 0xCE, 'A',  'I',  'F',
                        'F',  'C',  'O',  'M',  'M',  0x00, 0x00, 0x00, 0x12, 0x00, 0x02,
                        0x00, 0x00, 0x03, 0xE8, 0x00, 0x10, 0x40, 0x0E, 0xAC, 0x44, 0x00,
                        0x00, 0x00, 0x00, 0x00, 0x00, 'S',  'S',  'N',  'D',  0x00, 0x00,
                        0x0F, 0xA8, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 54), want);
}

TEST_F(AiffEncode, ParameterChecksRefuseEachBadField) {
    struct Case {
        std::int32_t format, rate, channels, bits;
        std::uint32_t frames;
        const char* message;
    };
    const Case cases[] = {
        {kWstmFormatWav, 44100, 1, 16, 0, "E2006110872 : File format is not AIFF."},
        {kWstmFormatAiff, 0, 1, 16, 0, "E2006110873 : Sampling frequency is wrong."},
        {kWstmFormatAiff, 9, 1, 16, 0, "E2006110874 : This sampling frequency is not available."},
        {kWstmFormatAiff, 384001, 1, 16, 0,
         "E2006110874 : This sampling frequency is not available."},
        {kWstmFormatAiff, 44100, 0, 16, 0, "E2006110875 : The number of channels is wrong."},
        {kWstmFormatAiff, 44100, 1, 0, 0, "E2006110876 : Quantization bits is wrong."},
        {kWstmFormatAiff, 44100, 1, 33, 0,
         "E2006110877) : This quantization bits is not available."},
        {kWstmFormatAiff, 44100, 1, 16, 0x80000000u,
         "E2006110878 : The number of samples is wrong."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        errors_.clear();
        WstmHandle h{};
        h.file_format = c.format;
        h.sampling_rate = c.rate;
        h.num_channels = c.channels;
        h.num_bits = c.bits;
        h.num_samples = c.frames;
        EXPECT_EQ(aiff_check_new_header(&h), -1);
        EXPECT_EQ(errors_.lines(), Lines{c.message});
    }
}

TEST_F(AiffEncode, UpdateSizesRewritesFormCommAndSsnd) {
    Handle h = Create(48000, 1, 24, 10);
    ASSERT_EQ(status_, 0);
    std::int32_t v = 0x12345600;
    for (int i = 0; i < 4; ++i)
        (void)h->write_sample(h.get(), &v, 1);
    EXPECT_EQ(aiff_update_sizes(h.get(), 4), 0);
    EXPECT_EQ(FSTM_Tell(h->stream), 54 + 12);  // back where the next frame goes
    (void)FSTM_Close(h->stream);
    h->stream = nullptr;
    const Bytes file = filetest::ReadFile(Path());
    EXPECT_EQ(BE32(file, 4), 4u * 3 + 54 - 8);
    EXPECT_EQ(BE32(file, 22), 4u);
    EXPECT_EQ(BE32(file, 42), 4u * 3 + 8);
}

TEST_F(AiffEncode, LoopWithoutMarkersGetsTwoNamedMarkersAndASustainLoop) {
    Handle h = Create(44100, 1, 16, 3000);
    ASSERT_EQ(status_, 0);
    h->num_loops = 1;
    h->loop_start[0] = 1000;
    h->loop_end[0] = 2000;
    const Bytes file = WriteAndFinish(h);
    const std::size_t mark = 54 + 6000;
    ASSERT_EQ(file.size(), mark + 8 + 26 + 28);
    EXPECT_EQ(BE32(file, 4), file.size() - 8);
    const Bytes want_mark = {'M', 'A', 'R',  'K',  0, 0,   0,   26,  0,   2,   0, 0,
                             0,   0,   0x03, 0xE8, 5, 'M', '0', '0', '0', '0', 0, 1,
                             0,   0,   0x07, 0xD0, 5, 'M', '0', '0', '0', '1'};
    EXPECT_EQ(Bytes(file.begin() + mark, file.begin() + mark + 34), want_mark);
    const Bytes want_inst = {'I', 'N', 'S', 'T', 0, 0, 0, 20, 60, 0, 0, 127, 0, 127,
                             0,   0,   0,   1,   0, 0, 0, 1,  0,  0, 0, 0,   0, 0};
    EXPECT_EQ(Bytes(file.begin() + mark + 34, file.end()), want_inst);
}

TEST_F(AiffEncode, LoopPointOnAnExistingMarkerReusesIt) {
    Handle h = Create(44100, 1, 8, 100);
    ASSERT_EQ(status_, 0);
    h->num_markers = 2;
    h->marker_id[0] = 40;  // identifiers written are the indexes, whatever these hold
    h->marker_position[0] = 5;
    h->marker_id[1] = 41;
    h->marker_position[1] = 50;
    h->num_loops = 2;
    h->loop_start[0] = 50;
    h->loop_end[0] = 60;
    h->loop_start[1] = 5;
    h->loop_end[1] = 50;
    h->loop_start[1] = 5;
    const Bytes file = WriteAndFinish(h);
    std::int32_t status = 0;
    Handle back = DecodeBytes(dir_, file, &status);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(back->num_markers, 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(back->marker_id[i], i);
    EXPECT_EQ(back->marker_position[2], 60);
    const std::size_t inst = file.size() - 20;
    // Sustain: markers 1 -> 2; release: markers 0 -> 1.
    EXPECT_EQ(BE16(file, inst + 8), 1u);
    EXPECT_EQ(BE16(file, inst + 10), 1u);
    EXPECT_EQ(BE16(file, inst + 12), 2u);
    EXPECT_EQ(BE16(file, inst + 14), 1u);
    EXPECT_EQ(BE16(file, inst + 16), 0u);
    EXPECT_EQ(BE16(file, inst + 18), 1u);
    ASSERT_EQ(back->num_loops, 2);
    EXPECT_EQ(back->loop_start[0], 50);
    EXPECT_EQ(back->loop_end[0], 60);
    EXPECT_EQ(back->loop_start[1], 5);
    EXPECT_EQ(back->loop_end[1], 50);
}

TEST_F(AiffEncode, LoopThatFindsTheMarkerTableFullIsWrittenWithPlayModeZero) {
    Handle h = Create(44100, 1, 16, 10);
    ASSERT_EQ(status_, 0);
    h->num_markers = kWstmMaxMarkers;
    for (int i = 0; i < kWstmMaxMarkers; ++i)
        h->marker_position[i] = i;
    h->num_loops = 2;
    h->loop_start[0] = 3;     // has a marker
    h->loop_end[0] = 100000;  // needs one: no room
    h->loop_start[1] = 7;
    h->loop_end[1] = 9;
    const Bytes file = WriteAndFinish(h);
    EXPECT_EQ(h->num_markers, kWstmMaxMarkers);
    const std::size_t inst = file.size() - 20;
    const Bytes sustain(file.begin() + inst + 8, file.begin() + inst + 14);
    const Bytes release(file.begin() + inst + 14, file.end());
    EXPECT_EQ(sustain, Bytes(6, 0));
    EXPECT_EQ(release, (Bytes{0, 1, 0, 7, 0, 9}));
    std::int32_t status = 0;
    Handle back = DecodeBytes(dir_, file, &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(back->num_markers, kWstmMaxMarkers);
    EXPECT_EQ(back->num_loops, 1);
}

TEST_F(AiffEncode, TrailerAfterOddLengthDataStartsOnAnEvenOffset) {
    Handle h = Create(8000, 1, 8, 3);  // 3 bytes of sample data
    ASSERT_EQ(status_, 0);
    h->num_markers = 1;
    h->marker_position[0] = 2;
    h->num_loops = 1;
    h->loop_start[0] = 0;
    h->loop_end[0] = 3;
    const Bytes file = WriteAndFinish(h);
    ASSERT_EQ(file.size(), 54u + 3 + 1 + 8 + 2 + 36 + 28);
    EXPECT_EQ(file[57], 0);
    EXPECT_EQ(std::string(file.begin() + 58, file.begin() + 62), "MARK");
    EXPECT_EQ(BE32(file, 4), file.size() - 8);
    EXPECT_EQ(BE32(file, 42), 3u + 8);  // the pad byte is not sound data
    std::int32_t status = 0;
    Handle back = DecodeBytes(dir_, file, &status);
    ASSERT_EQ(status, 0) << ::testing::PrintToString(errors_.lines());
    EXPECT_EQ(back->num_markers, 3);
    ASSERT_EQ(back->num_loops, 1);
    EXPECT_EQ(back->loop_start[0], 0);
    EXPECT_EQ(back->loop_end[0], 3);
}

TEST_F(AiffEncode, EveryBitDepthRoundTripsWithFormatMarkersAndLoops) {
    for (std::int32_t bits = 1; bits <= 32; ++bits) {
        SCOPED_TRACE(bits);
        Handle h = Create(22050, 2, bits, 5);
        ASSERT_EQ(status_, 0);
        h->num_markers = 1;
        h->marker_position[0] = 4;
        h->num_loops = 1;
        h->loop_start[0] = 1;
        h->loop_end[0] = 4;
        const std::int32_t frames[5][2] = {{INT32_MIN, INT32_MAX},
                                           {-1, 0},
                                           {1, 0x12345678},
                                           {-0x12345678, 0x40000000},
                                           {0x7F000000, INT32_MIN + 1}};
        for (const auto& f : frames)
            (void)h->write_sample(h.get(), f, 2);
        Finish(h);
        const Bytes file = filetest::ReadFile(Path());
        std::int32_t status = 0;
        Handle back = DecodeBytes(dir_, file, &status);
        ASSERT_EQ(status, 0);
        EXPECT_EQ(back->sampling_rate, 22050);
        EXPECT_EQ(back->num_channels, 2);
        EXPECT_EQ(back->num_bits, bits);
        EXPECT_EQ(back->num_samples, 5u);
        ASSERT_EQ(back->num_loops, 1);
        EXPECT_EQ(back->loop_start[0], 1);
        EXPECT_EQ(back->loop_end[0], 4);
        // The top `bits` bits survive; the rest of the value is cleared.
        const std::uint32_t keep = ~0u << (32 - bits);
        for (const auto& f : frames) {
            std::int32_t v[2];
            (void)back->read_sample(back.get(), v, 2);
            EXPECT_EQ(static_cast<std::uint32_t>(v[0]), static_cast<std::uint32_t>(f[0]) & keep);
            EXPECT_EQ(static_cast<std::uint32_t>(v[1]), static_cast<std::uint32_t>(f[1]) & keep);
        }
    }
}

}  // namespace
