#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codecs/format_note.h"
#include "tests/unit/codecs/aiff_test_util.h"

namespace {

using namespace aifftest;
using filetest::ErrorCapture;
using filetest::ScratchDir;
using Lines = std::vector<std::string>;

class AiffDecode : public ::testing::Test {
  protected:
    Handle Decode(const Bytes& bytes) { return DecodeBytes(dir_, bytes, &status_); }
    ScratchDir dir_;
    ErrorCapture errors_;
    std::int32_t status_ = 0;
};

Bytes Frames16(std::size_t count) {
    ByteBuilder b;
    for (std::size_t i = 0; i < count; ++i)
        b.U16BE(static_cast<std::uint32_t>(i * 3));
    return b.bytes();
}

TEST_F(AiffDecode, ReadsFormatAndPlacesCursorOnFirstFrame) {
    const Bytes file = Form({Comm(2, 3, 16, 44100), Ssnd(Frames16(6))});
    Handle h = Decode(file);
    ASSERT_EQ(status_, 0) << ::testing::PrintToString(errors_.lines());
    EXPECT_EQ(h->file_format, kWstmFormatAiff);
    EXPECT_EQ(h->sampling_rate, 44100);
    EXPECT_EQ(h->num_channels, 2);
    EXPECT_EQ(h->num_bits, 16);
    EXPECT_EQ(h->num_samples, 3u);
    EXPECT_EQ(h->block_size, 4);
    EXPECT_EQ(h->data_offset, 12 + 26 + 16);
    EXPECT_EQ(h->current_position, h->data_offset);
    EXPECT_EQ(h->read_sample, aiff_read_sample);
    std::int32_t v[2];
    EXPECT_EQ(h->read_sample(h.get(), v, 2), 4);
    EXPECT_EQ(h->read_sample(h.get(), v, 2), 4);
    EXPECT_EQ(v[0], 6 << 16);
    EXPECT_EQ(v[1], 9 << 16);
}

TEST_F(AiffDecode, SsndOffsetMovesTheFirstFrameAndChunkOrderIsFree) {
    // Sample data first, 'COMM' after it, and 6 bytes of alignment padding.
    const Bytes file = Form({Ssnd(Frames16(2), 6), Comm(1, 2, 16, 8000)});
    Handle h = Decode(file);
    ASSERT_EQ(status_, 0);
    EXPECT_EQ(h->data_offset, 12 + 16 + 6);
    std::int32_t v = 0;
    (void)h->read_sample(h.get(), &v, 1);
    (void)h->read_sample(h.get(), &v, 1);
    EXPECT_EQ(v, 3 << 16);
}

TEST_F(AiffDecode, FractionalRateIsTruncatedAndExtraCommBytesAreSkipped) {
    const Bytes rate = {0x40, 0x0D, 0xAD, 0xDD, 0x17, 0x45, 0xD1, 0x74, 0x58, 0x00};
    ByteBuilder comm;
    comm.Append(CommBody(1, 0, 8, rate)).Str("NONE").U8(0).U8(0);  // 24-byte 'COMM'
    Handle h = Decode(Form({Chunk("COMM", comm.bytes()), Ssnd({})}));
    ASSERT_EQ(status_, 0);
    EXPECT_EQ(h->sampling_rate, 22254);
}

// An AIFF-C file of one frame: 'FVER', then 'COMM' with the compression
// type and its name as a Pascal string padded to an even length.
Bytes Aifc(const std::string& type, std::uint32_t channels, std::uint32_t bits, const Bytes& frame,
           const std::string& name = "") {
    ByteBuilder comm;
    comm.Append(CommBody(channels, 1, bits, Extended(44100))).Str(type);
    comm.U8(static_cast<std::uint32_t>(name.size())).Str(name);
    if (name.size() % 2 == 0) comm.U8(0);
    return Form({Chunk("FVER", {0xA2, 0x80, 0x51, 0x40}), Chunk("COMM", comm.bytes()), Ssnd(frame)},
                "AIFC");
}

TEST_F(AiffDecode, AifcCompressionTypesReadAsTheirSamples) {
    struct Case {
        const char* type;
        std::uint32_t bits;
        Bytes frame;  // one sample
        std::int32_t num_bits, block_size, format_tag, value;
    };
    const Case cases[] = {
        {"NONE", 16, {0x12, 0x34}, 16, 2, 1, 0x12340000},
        {"twos", 24, {0x80, 0x00, 0x01}, 24, 3, 1, static_cast<std::int32_t>(0x80000100u)},
        {"sowt", 16, {0x34, 0x12}, 16, 2, 1, 0x12340000},
        {"sowt", 8, {0x80}, 8, 1, 1, static_cast<std::int32_t>(0x80000000u)},  // signed bytes
        {"raw ", 8, {0x81}, 8, 1, 1, 0x01000000},                              // offset binary
        {"fl32", 32, {0x3F, 0x00, 0x00, 0x00}, 32, 4, 3, 0x40000000},
        {"FL32", 32, {0xBF, 0x80, 0x00, 0x00}, 32, 4, 3, static_cast<std::int32_t>(0x80000000u)},
        {"fl64", 64, {0x3F, 0xE0, 0, 0, 0, 0, 0, 0}, 32, 8, 3, 0x40000000},
        {"ulaw", 16, {0x80}, 16, 1, 7, 32124 << 16},
        {"ALAW", 16, {0xD5}, 16, 1, 6, 8 << 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.type) + " " + std::to_string(c.bits));
        Handle h = Decode(Aifc(c.type, 1, c.bits, c.frame, "name"));
        ASSERT_EQ(status_, 0) << ::testing::PrintToString(errors_.lines());
        EXPECT_EQ(h->num_bits, c.num_bits);
        EXPECT_EQ(h->block_size, c.block_size);
        EXPECT_EQ(h->format_tag, c.format_tag);
        EXPECT_EQ(h->read_float != nullptr, c.format_tag == 3);
        std::int32_t v = 0;
        EXPECT_EQ(h->read_sample(h.get(), &v, 1), c.block_size);
        EXPECT_EQ(v, c.value);
    }
}

TEST_F(AiffDecode, AifcTypesNotReadAreRefusedAndNamed) {
    struct Case {
        Bytes file;
        const char* message;
        const char* note;
    };
    const Case cases[] = {
        {Aifc("ima4", 1, 16, {0, 0}, "IMA 4:1"),
         "E2006110786 : This sample format is not supported.",
         "AIFF-C compression type 'ima4' (IMA 4:1)"},
        {Aifc("raw ", 1, 16, {0, 0}), "E2006110786 : This sample format is not supported.",
         "AIFF-C compression type 'raw '"},
        // The 18 bytes of AIFF leave no room for the compression type.
        {Form({Comm(1, 0, 16, 44100), Ssnd({})}, "AIFC"),
         "E2006110826 : The size written in 'COMM' chunk is wrong.", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        codec_clear_refused_format();
        errors_.clear();
        Decode(c.file);
        EXPECT_EQ(status_, -1);
        EXPECT_EQ(errors_.lines(), Lines{c.message});
        EXPECT_STREQ(codec_refused_format(), c.note);
    }
}

TEST_F(AiffDecode, UnknownPrintableChunksAndOddSizesAreSkipped) {
    const Bytes file =
        Form({Chunk("ID3 ", Bytes(5, 0xEE)), Chunk("FVER", Bytes(4, 0)), Chunk("COMT", Bytes(3, 1)),
              Comm(1, 1, 16, 48000), Chunk("(c) ", Bytes(1, 'x')), Ssnd(Frames16(1))});
    Handle h = Decode(file);
    ASSERT_EQ(status_, 0) << ::testing::PrintToString(errors_.lines());
    EXPECT_EQ(h->sampling_rate, 48000);
    EXPECT_EQ(h->data_offset, static_cast<std::int32_t>(file.size()) - 2);
}

TEST_F(AiffDecode, NonPrintableIdentifierEndsTheWalk) {
    Bytes file = Form({Comm(1, 1, 16, 48000), Ssnd(Frames16(1))});
    file.insert(file.end(), {0x01, 'X', 'Y', 'Z', 0, 0, 0, 0});
    Decode(file);
    EXPECT_EQ(status_, 0);
}

TEST_F(AiffDecode, UnknownChunkPastTheEndIsRefused) {
    Decode(Form({Comm(1, 1, 16, 48000), ChunkWithSize("JUNK", 100, Bytes(4, 0))}));
    EXPECT_EQ(status_, -1);
    EXPECT_EQ(errors_.lines(), Lines{"E2006110862 : The size written in chunk is wrong."});
}

TEST_F(AiffDecode, FileWithoutSoundDataIsRefusedAfterValidation) {
    Decode(Form({Comm(1, 10, 16, 44100), Chunk("NAME", Bytes(4, 'n'))}));
    EXPECT_EQ(errors_.lines(), Lines{"E2006110881 : Can not find 'SSND' chunk."});
    errors_.clear();
    // Validation comes first: with no 'COMM' the rate is 0.
    Decode(Form({Chunk("NAME", Bytes(4, 'n'))}));
    EXPECT_EQ(errors_.lines(), Lines{"E2006110866 : Sampling frequency is wrong."});
}

TEST_F(AiffDecode, SsndOffsetBeyondTheChunkIsRefused) {
    ByteBuilder body;
    body.U32BE(9).U32BE(0).Zeros(8);
    Decode(Form({Comm(1, 0, 8, 44100), Chunk("SSND", body.bytes())}));
    EXPECT_EQ(errors_.lines(), Lines{"E2006110861 : The size written in 'SSND' chunk is wrong."});
}

// The 'COMM' frame count may not need more bytes than the first 'SSND'
// chunk holds after its offset; a later 'SSND' chunk is skipped.
TEST_F(AiffDecode, FrameCountMustFitTheFirstSoundChunk) {
    const std::pair<Bytes, bool> cases[] = {
        {Form({Comm(2, 3, 16, 8000), Ssnd(Frames16(6))}), true},
        {Form({Comm(2, 2, 16, 8000), Ssnd(Frames16(6))}), true},
        {Form({Comm(2, 4, 16, 8000), Ssnd(Frames16(6))}), false},
        {Form({Comm(1, 4, 16, 8000), Ssnd(Frames16(3), 4)}), false},
        {Form({Ssnd(Frames16(3)), Comm(1, 4, 24, 8000)}), false},
        {Form({Comm(1, 4, 16, 8000), Ssnd(Frames16(2)), Ssnd(Frames16(8))}), false},
    };
    for (const auto& [file, fits] : cases) {
        errors_.clear();
        Decode(file);
        EXPECT_EQ(
            errors_.lines(),
            fits ? Lines{} : Lines{"E2006110861 : The size written in 'SSND' chunk is wrong."});
    }
    Handle h = Decode(Form({Comm(1, 2, 16, 8000), Ssnd(Frames16(2)), Ssnd(Frames16(8), 2)}));
    EXPECT_EQ(h->data_offset, 12 + 26 + 16);
}

struct CommCase {
    std::uint32_t channels, frames, bits;
    Bytes rate;
    const char* message;
};

TEST_F(AiffDecode, HeaderChecksRefuseEachBadField) {
    const Bytes r44 = Extended(44100);
    const CommCase cases[] = {
        {0x8000, 1, 16, r44, "E2006110868 : The number of channels is wrong."},
        {0, 1, 16, r44, "E2006110868 : The number of channels is wrong."},
        {1, 0x80000000u, 16, r44, "E2006110871 : The number of samples is wrong."},
        {1, 1, 0, r44, "E2006110869 : Quantization bits is wrong."},
        {1, 1, 0xFFFF, r44, "E2006110869 : Quantization bits is wrong."},
        {1, 1, 33, r44, "E2006110870) : This quantization bits is not available."},
        {1, 1, 16, Extended(9), "E2006110867 : This sampling frequency is not available."},
        {1, 1, 16, Extended(384001), "E2006110867 : This sampling frequency is not available."},
        {1, 1, 16, Extended(-44100), "E2006110866 : Sampling frequency is wrong."},
        {1, 1, 16, Extended(0), "E2006110866 : Sampling frequency is wrong."},
        {1, 1, 16, Bytes{0x7F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0},
         "E2006110866 : Sampling frequency is wrong."},
        {1, 1, 16, Extended(4294967296.0), "E2006110866 : Sampling frequency is wrong."},
    };
    for (const CommCase& c : cases) {
        SCOPED_TRACE(c.message);
        errors_.clear();
        Decode(Form({Chunk("COMM", CommBody(c.channels, c.frames, c.bits, c.rate)), Ssnd({})}));
        EXPECT_EQ(status_, -1);
        EXPECT_EQ(errors_.lines(), Lines{c.message});
    }
    errors_.clear();
    // The largest count passes the header checks; the sample data is then too short.
    Handle h = Decode(Form({Comm(1, 0x7FFFFFFF, 32, 384000), Ssnd({})}));
    EXPECT_EQ(errors_.lines(), Lines{"E2006110861 : The size written in 'SSND' chunk is wrong."});
    h = Decode(Form({Comm(1, 0, 1, 10), Ssnd({})}));
    EXPECT_EQ(status_, 0);
}

// One row of the chunk table: identifier, minimum size, size message.
struct SizeRow {
    const char* id;
    std::uint32_t min_size;
    const char* size_message;
};

class AiffChunkSize : public AiffDecode, public ::testing::WithParamInterface<SizeRow> {};

TEST_P(AiffChunkSize, SizeBelowMinimumOrPastTheEndIsRefused) {
    const SizeRow& row = GetParam();
    const std::uint32_t too_small = row.min_size == 0 ? 0xFFFFFFFFu : row.min_size - 1;
    Decode(Form({ChunkWithSize(row.id, too_small, Bytes(40, 0))}));
    EXPECT_EQ(errors_.lines(), Lines{row.size_message});
    errors_.clear();
    // The 8 head bytes are not counted: a chunk, the sample data included,
    // may end up to 8 bytes past the file.
    Decode(Form({ChunkWithSize(row.id, 41 + 8, Bytes(40, 0))}));
    EXPECT_EQ(errors_.lines(), Lines{row.size_message});
    errors_.clear();
    Decode(Form({Comm(1, 0, 16, 44100), ChunkWithSize(row.id, 40 + 8, Bytes(40, 0))}));
    for (const std::string& line : errors_.lines())
        EXPECT_NE(line, row.size_message);
    errors_.clear();
    Decode(Form({Comm(1, 0, 16, 44100), ChunkWithSize(row.id, 40, Bytes(40, 0))}));
    for (const std::string& line : errors_.lines())
        EXPECT_NE(line, row.size_message);
}

INSTANTIATE_TEST_SUITE_P(
    EveryKnownChunk, AiffChunkSize,
    ::testing::Values(
        SizeRow{"FVER", 4, "E2006110823 : The size written in 'FVER' chunk is wrong."},
        SizeRow{"COMM", 18, "E2006110826 : The size written in 'COMM' chunk is wrong."},
        SizeRow{"MARK", 2, "E2006110840 : The size written in 'MARK' chunk is wrong."},
        SizeRow{"INST", 8, "E2006110844 : The size written in 'INST' chunk is wrong."},
        SizeRow{"MIDI", 0, "E2006110833 : The size written in 'MIDI' chunk is wrong."},
        SizeRow{"AESD", 24, "E2006110836 : The size written in 'AESD' chunk is wrong."},
        SizeRow{"APPL", 4, "E2006110839 : The size written in 'APPL' chunk is wrong."},
        SizeRow{"COMT", 0, "E2006110847 : The size written in 'COMT' chunk is wrong."},
        SizeRow{"NAME", 0, "E2006110850 : The size written in 'NAME' chunk is wrong."},
        SizeRow{"AUTH", 0, "E2006110853 : The size written in 'AUTH' chunk is wrong."},
        SizeRow{"(c) ", 0, "E2006110855 : The size written in '(c) ' chunk is wrong."},
        SizeRow{"ANNO", 0, "E2006110858 : The size written in 'ANNO' chunk is wrong."},
        SizeRow{"SSND", 8, "E2006110861 : The size written in 'SSND' chunk is wrong."}),
    [](const ::testing::TestParamInfo<SizeRow>& info) {
        std::string name = info.param.id;
        return name == "(c) " ? std::string("Copyright") : name;
    });

TEST_F(AiffDecode, MarkerNamesOfOddAndEvenLengthKeepTheRecordsAligned) {
    // "Verse" takes 1 + 5 bytes, "Loop" 1 + 4 + 1; an empty name 1 + 0 + 1.
    const Bytes file =
        Form({Comm(1, 100, 16, 44100),
              Mark({{7, 10, "Verse"}, {-3, 20, "Loop"}, {9, 30, ""}, {4, 40, "abc"}}),
              Ssnd(Frames16(100))});
    Handle h = Decode(file);
    ASSERT_EQ(status_, 0) << ::testing::PrintToString(errors_.lines());
    ASSERT_EQ(h->num_markers, 4);
    EXPECT_EQ(h->marker_id[0], 7);
    EXPECT_EQ(h->marker_id[1], -3);
    EXPECT_EQ(h->marker_id[2], 9);
    EXPECT_EQ(h->marker_id[3], 4);
    EXPECT_EQ(h->marker_position[0], 10);
    EXPECT_EQ(h->marker_position[1], 20);
    EXPECT_EQ(h->marker_position[2], 30);
    EXPECT_EQ(h->marker_position[3], 40);
}

TEST_F(AiffDecode, MarkerCountAboveTheTableIsCappedAt256) {
    std::vector<Marker> markers;
    for (int i = 0; i < 300; ++i)
        markers.push_back({i + 1, i * 2, "m"});
    Handle h = Decode(Form({Comm(1, 1000, 8, 44100), Mark(markers, 0xFFFF), Ssnd(Bytes(1000, 0))}));
    ASSERT_EQ(status_, 0);
    ASSERT_EQ(h->num_markers, 256);
    EXPECT_EQ(h->marker_id[255], 256);
    EXPECT_EQ(h->marker_position[255], 510);
}

TEST_F(AiffDecode, MarkerCountLargerThanTheChunkStopsAtItsEnd) {
    // Two records but a count of 0xFFFF: what follows is not taken for markers.
    Handle h = Decode(Form({Comm(1, 100, 8, 44100), Mark({{1, 5, "a"}, {2, 6, "b"}}, 0xFFFF),
                            Ssnd(Bytes(100, 0x11))}));
    ASSERT_EQ(status_, 0);
    EXPECT_EQ(h->num_markers, 2);
}

TEST_F(AiffDecode, LaterMarkChunkReplacesTheEarlierOne) {
    Handle h = Decode(Form({Comm(1, 100, 8, 44100), Mark({{1, 5, "a"}, {2, 6, "b"}}),
                            Mark({{3, 7, "c"}}), Ssnd(Bytes(100, 0))}));
    ASSERT_EQ(status_, 0);
    ASSERT_EQ(h->num_markers, 1);
    EXPECT_EQ(h->marker_id[0], 3);
}

TEST_F(AiffDecode, LoopsResolveThroughMarkersReadBeforeOrAfterInst) {
    Handle h = Decode(
        Form({Comm(1, 5000, 16, 44100), Inst({1, 1, 2}, {2, 3, 1}),
              Mark({{1, 1000, "s"}, {2, 2000, "e"}, {3, 500, "r"}}), Ssnd(Bytes(10000, 0))}));
    ASSERT_EQ(status_, 0) << ::testing::PrintToString(errors_.lines());
    ASSERT_EQ(h->num_loops, 2);
    EXPECT_EQ(h->loop_start[0], 1000);
    EXPECT_EQ(h->loop_end[0], 2000);
    // Any play mode but 0 is a loop.
    EXPECT_EQ(h->loop_start[1], 500);
    EXPECT_EQ(h->loop_end[1], 1000);
}

TEST_F(AiffDecode, PlayModeZeroAndMissingMarkersGiveNoLoop) {
    Handle h = Decode(
        Form({Comm(1, 5000, 16, 44100), Mark({{1, 1000, "s"}, {2, 2000, "e"}}),
              Inst({0, 1, 2}, {1, 5, 2}), Inst({1, 1, 9}, {1, 2, 1}), Ssnd(Bytes(10000, 0))}));
    ASSERT_EQ(status_, 0);
    // Only the last loop (2 -> 1) has both markers; it comes first after the
    // dropped ones.
    ASSERT_EQ(h->num_loops, 1);
    EXPECT_EQ(h->loop_start[0], 2000);
    EXPECT_EQ(h->loop_end[0], 1000);
}

TEST_F(AiffDecode, LoopsAccumulateOverInstChunksUpTo256) {
    std::vector<Bytes> chunks = {Comm(1, 5000, 16, 44100), Mark({{1, 10, "a"}, {2, 20, "b"}})};
    for (int i = 0; i < 130; ++i)
        chunks.push_back(Inst({1, 1, 2}, {1, 2, 1}));
    chunks.push_back(Ssnd(Bytes(10000, 0)));
    Handle h = Decode(Form(chunks));
    ASSERT_EQ(status_, 0);
    EXPECT_EQ(h->num_loops, 256);
}

TEST_F(AiffDecode, ShortInstChunkReadsOnlyTheLoopsItHolds) {
    ByteBuilder body;
    body.U8(60).U8(0).U8(0).U8(127).U8(0).U8(127).U16BE(0).U16BE(1).U16BE(1).U16BE(2);
    Handle h = Decode(Form({Comm(1, 5000, 16, 44100), Mark({{1, 10, "a"}, {2, 20, "b"}}),
                            Chunk("INST", body.bytes()), Ssnd(Bytes(10000, 0))}));
    ASSERT_EQ(status_, 0);
    EXPECT_EQ(h->num_loops, 1);
}

}  // namespace
