#include "codecs/wav.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/file_fixtures.h"
#include "tests/support/wav_images.h"
#include "wavestream/wstm/wstm.h"

namespace {

using namespace filetest;

std::uint32_t U32At(const Bytes& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

// Runs the WAV decoder over an image as the identification would hand it
// over: stream at 0, file_size the real size, RIFF and little-endian set.
class Decoded {
  public:
    explicit Decoded(const Bytes& image) : handle_(new WstmHandle{}) {
        path_ = dir_.Path("image.wav");
        filetest::WriteFile(path_, image);
        handle_->stream = FSTM_OpenRead(path_.c_str());
        handle_->access_mode = kWstmReading;
        handle_->file_size = static_cast<std::int32_t>(image.size());
        handle_->file_identifier = kWstmRiff;
        handle_->endian_type = kWstmLittleEndian;
        result_ = wav_decode_header(handle_.get());
    }
    ~Decoded() { (void)FSTM_Close(handle_->stream); }
    std::int32_t result() const { return result_; }
    const WstmHandle& h() const { return *handle_; }

  private:
    ScratchDir dir_;
    std::string path_;
    std::unique_ptr<WstmHandle> handle_;
    std::int32_t result_;
};

// The first line a decode of the image reports, or "" when it succeeds.
std::string FirstError(const Bytes& image) {
    ErrorCapture errors;
    Decoded d(image);
    if (d.result() == 0) return "";
    return errors.lines().empty() ? "(no message)" : errors.lines().front();
}

Bytes Data(std::size_t n) { return Chunk("data", Bytes(n, 0)); }

TEST(WavEncodeHeader, WritesTheCanonical44ByteHeader) {
    ScratchDir dir;
    const std::string path = dir.Path("c.wav");
    WstmHandle* h = WSTM_Create(path.c_str(), 44100, 2, 16, 1000);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->file_size, 4044);
    EXPECT_EQ(h->current_position, 44);
    ASSERT_EQ(WSTM_Close(h), 0);
    const Bytes b = filetest::ReadFile(path);
    ASSERT_EQ(b.size(), 4044u);
    const Bytes head(b.begin(), b.begin() + 44);
    const Bytes want = ByteBuilder()
                           .Str("RIFF")
                           .U8(0xC4)
                           .U8(0x0F)
                           .U8(0)
                           .U8(0)
                           .Str("WAVE")
                           .Str("fmt ")
                           .U8(0x10)
                           .U8(0)
                           .U8(0)
                           .U8(0)
                           .U8(1)
                           .U8(0)
                           .U8(2)
                           .U8(0)
                           .U8(0x44)
                           .U8(0xAC)
                           .U8(0)
                           .U8(0)
                           .U8(0x10)
                           .U8(0xB1)
                           .U8(0x02)
                           .U8(0)
                           .U8(4)
                           .U8(0)
                           .U8(0x10)
                           .U8(0)
                           .Str("data")
                           .U8(0xA0)
                           .U8(0x0F)
                           .U8(0)
                           .U8(0)
                           .bytes();
    EXPECT_EQ(head, want);
}

TEST(WavDecodeHeader, ReadsFormatAndDataPosition) {
    Decoded d(RiffWave({PcmFmtChunk(2, 48000, 24), Data(60)}));
    ASSERT_EQ(d.result(), 0);
    EXPECT_EQ(d.h().num_channels, 2);
    EXPECT_EQ(d.h().sampling_rate, 48000);
    EXPECT_EQ(d.h().num_bits, 24);
    EXPECT_EQ(d.h().block_size, 6);
    EXPECT_EQ(d.h().num_samples, 10u);
    EXPECT_EQ(d.h().data_offset, 44);
    EXPECT_EQ(d.h().current_position, 44);
    EXPECT_EQ(d.h().format_tag, 1);
    EXPECT_EQ(d.h().read_sample, &wav_read_sample);
}

TEST(WavDecodeHeader, TrailingPartialFrameIsIgnored) {
    Decoded d(RiffWave({PcmFmtChunk(2, 8000, 16), Data(4 * 5 + 3)}));
    ASSERT_EQ(d.result(), 0);
    EXPECT_EQ(d.h().num_samples, 5u);
}

TEST(WavDecodeHeader, OddChunkIsFollowedByItsPadByte) {
    Decoded d(RiffWave({Chunk("JUNK", Bytes(3, 'j')), PcmFmtChunk(1, 8000, 8), Data(7)}));
    ASSERT_EQ(d.result(), 0);
    EXPECT_EQ(d.h().data_offset, 12 + 12 + 24 + 8);
    EXPECT_EQ(d.h().num_samples, 7u);
}

TEST(WavDecodeHeader, UnknownChunksAreSkippedAndNonPrintableIdsEndTheWalk) {
    ByteBuilder b;
    b.Append(RiffWave({Chunk("LIST", Bytes(10, 'l')), PcmFmtChunk(1, 8000, 16), Data(8)}));
    b.Str("\x01\x02\x03\x04").U32LE(0xFFFFFFFFu);  // garbage after the data: not a chunk
    b.PatchU32LE(4, static_cast<std::uint32_t>(b.size() - 8));
    Decoded d(b.bytes());
    ASSERT_EQ(d.result(), 0);
    EXPECT_EQ(d.h().num_samples, 4u);
}

TEST(WavDecodeHeader, LaterFmtOverwritesTheFirst) {
    Decoded d(RiffWave({PcmFmtChunk(1, 8000, 8), PcmFmtChunk(2, 22050, 16), Data(8)}));
    ASSERT_EQ(d.result(), 0);
    EXPECT_EQ(d.h().num_channels, 2);
    EXPECT_EQ(d.h().sampling_rate, 22050);
}

// format_tag holds the format that is read: the extensible tag is replaced
// by the tag of its sub-format GUID.
TEST(WavDecodeHeader, FormatTagHoldsTheTagThatIsRead) {
    for (std::uint32_t tag : {3u, 0xFFFEu}) {
        ByteBuilder fmt_body;
        fmt_body.U16LE(tag).U16LE(2).U32LE(44100).U32LE(44100 * 8).U16LE(8).U16LE(32);
        fmt_body.U16LE(22).U16LE(32).U32LE(3);  // extensible tail: 40-byte body
        fmt_body.U16LE(1).U16LE(0).U16LE(0).U16LE(0x10).U8(0x80).U8(0).U8(0).U8(0xAA);
        fmt_body.U8(0).U8(0x38).U8(0x9B).U8(0x71);
        Decoded d(RiffWave({Chunk("fmt ", fmt_body.bytes()), Data(16)}));
        ASSERT_EQ(d.result(), 0) << tag;
        EXPECT_EQ(d.h().format_tag, tag == 3u ? 3u : 1u);
        EXPECT_EQ(d.h().num_bits, 32);
        EXPECT_EQ(d.h().num_samples, 2u);
    }
}

TEST(WavFmtChunk, ByteRateMustAgreeAndFailureSetsNoField) {
    const Bytes ok = RiffWave({filetest::FmtChunk(1, 2, 44100, 176400, 4, 16), Data(4)});
    EXPECT_EQ(FirstError(ok), "");
    ErrorCapture errors;
    Decoded d(RiffWave({filetest::FmtChunk(1, 2, 44100, 176401, 4, 16), Data(4)}));
    EXPECT_EQ(d.result(), -1);
    EXPECT_EQ(errors.lines(), Lines{"E2006110727 : Wrong byte rate."});
    EXPECT_EQ(d.h().num_channels, 0);
    EXPECT_EQ(d.h().sampling_rate, 0);
    EXPECT_EQ(d.h().block_size, 0);
}

TEST(WavFmtChunk, BlockAlignIsOneContainerPerChannel) {
    const char* relation =
        "E2006110728 : The relations among the block size, the quantization bit and the number of "
        "channels are not correct.";
    EXPECT_EQ(FirstError(RiffWave({filetest::FmtChunk(1, 1, 8000, 16000, 2, 12), Data(4)})), "");
    EXPECT_EQ(FirstError(RiffWave({filetest::FmtChunk(1, 1, 8000, 8000, 1, 12), Data(4)})),
              relation);
    EXPECT_EQ(FirstError(RiffWave({filetest::FmtChunk(1, 2, 8000, 48000, 6, 20), Data(6)})), "");
    EXPECT_EQ(FirstError(RiffWave({filetest::FmtChunk(1, 2, 8000, 40000, 5, 20), Data(5)})),
              relation);
    EXPECT_EQ(FirstError(RiffWave({filetest::FmtChunk(1, 2, 44100, 264600, 6, 24), Data(6)})), "");
}

TEST(WavCheckDecodedHeader, SamplingRateBounds) {
    auto rate_error = [](std::uint32_t rate) {
        return FirstError(RiffWave({filetest::FmtChunk(1, 1, rate, rate * 2, 2, 16), Data(2)}));
    };
    EXPECT_EQ(rate_error(10), "");
    EXPECT_EQ(rate_error(384000), "");
    EXPECT_EQ(rate_error(9), "E2006110772 : This sampling frequency is not available.");
    EXPECT_EQ(rate_error(384001), "E2006110772 : This sampling frequency is not available.");
    EXPECT_EQ(rate_error(0), "E2006110771 : Sampling frequency is wrong.");
    EXPECT_EQ(rate_error(0x80000000u), "E2006110771 : Sampling frequency is wrong.");
}

TEST(WavCheckDecodedHeader, MissingChunksAndBadFields) {
    EXPECT_EQ(FirstError(RiffWave({Data(4), PcmFmtChunk(1, 8000, 16)})),
              "E2006110766 : Unknown block size.");
    EXPECT_EQ(FirstError(RiffWave({Chunk("JUNK", Bytes(4, 0))})),
              "E2006110771 : Sampling frequency is wrong.");
    EXPECT_EQ(FirstError(RiffWave({filetest::FmtChunk(1, 1, 8000, 8000 * 5, 5, 40), Data(5)})),
              "E2006110775) : This quantization bits is not available.");
    // 'fmt ' without 'data': nothing to read.
    EXPECT_EQ(FirstError(RiffWave({PcmFmtChunk(1, 8000, 16)})),
              "E2006110787 : Can not find 'data' chunk.");
    // Not WAVE.
    EXPECT_EQ(FirstError(ByteBuilder().Str("RIFF").U32LE(12).Str("AVI ").Append(Data(4)).bytes()),
              "E2006110720 : 'WAVE' string can not be confirmed.");
}

// One row of the chunk table: identifier, minimum size, size message.
struct ChunkRow {
    const char* id;
    std::int32_t min_size;
    const char* size_message;
};

class WavChunkTable : public ::testing::TestWithParam<ChunkRow> {};

TEST_P(WavChunkTable, SizeBelowMinimumOrPastTheEndIsRefused) {
    const ChunkRow row = GetParam();
    const Bytes fmt = PcmFmtChunk(1, 8000, 16);
    // Body of the minimum size is accepted (except 'cue '/'smpl', whose bodies
    // carry counts, zero here).
    EXPECT_EQ(FirstError(RiffWave(
                  {fmt, Chunk(row.id, Bytes(static_cast<std::size_t>(row.min_size), 0)), Data(2)})),
              "")
        << row.id;
    if (row.min_size > 0) {
        EXPECT_EQ(FirstError(RiffWave(
                      {fmt, Chunk(row.id, Bytes(static_cast<std::size_t>(row.min_size - 1), 0)),
                       Data(2)})),
                  row.size_message)
            << row.id;
    }
    ByteBuilder far;
    far.Append(RiffWave({fmt})).Str(row.id).U32LE(1000).Zeros(20);
    far.PatchU32LE(4, static_cast<std::uint32_t>(far.size() - 8));
    EXPECT_EQ(FirstError(far.bytes()), row.size_message) << row.id;
}

INSTANTIATE_TEST_SUITE_P(
    KnownChunks, WavChunkTable,
    ::testing::Values(
        ChunkRow{"PAD ", 0, "E2006110723 : The size written in 'pad ' chunk is wrong."},
        ChunkRow{"fact", 4, "E2006110731 : The size written in 'fact' chunk is wrong."},
        ChunkRow{"cue ", 4, "E2006110734 : The size written in 'cue ' chunk is wrong."},
        ChunkRow{"plst", 4, "E2006110738 : The size written in 'plst' chunk is wrong."},
        ChunkRow{"adtl", 0, "E2006110741 : The size written in 'adtl' chunk is wrong."},
        ChunkRow{"smpl", 36, "E2006110744 : The size written in 'smpl' chunk is wrong."},
        ChunkRow{"tlst", 4, "E2006110747 : The size written in 'tlst' chunk is wrong."},
        ChunkRow{"inst", 7, "E2006110750 : The size written in 'inst' chunk is wrong."},
        ChunkRow{"labl", 4, "E2006110753 : The size written in 'labl' chunk is wrong."},
        ChunkRow{"note", 4, "E2006110756 : The size written in 'note' chunk is wrong."},
        ChunkRow{"ltxt", 20, "E2006110759 : The size written in 'ltxt' chunk is wrong."},
        ChunkRow{"file", 8, "E2006110762 : The size written in 'file' chunk is wrong."},
        ChunkRow{"JUNK", 0, "E2006110767 : The size written in chunk is wrong."}),
    [](const ::testing::TestParamInfo<ChunkRow>& info) {
        std::string name;
        for (const char* c = info.param.id; *c; ++c) {
            if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
        }
        return name;
    });

TEST(WavChunkFrame, LowerCasePadIsAcceptedAsPad) {
    EXPECT_EQ(FirstError(RiffWave({Chunk("pad ", Bytes(3, 0)), PcmFmtChunk(1, 8000, 16), Data(2)})),
              "");
}

// As for every chunk, the 8 head bytes are not counted in the size test:
// the sample data may end up to 8 bytes past the end of the file.
TEST(WavDataChunk, SampleDataMayEndUpToEightBytesPastTheFile) {
    auto with_data_size = [](std::uint32_t extra) {
        ByteBuilder b;
        b.Append(RiffWave({PcmFmtChunk(1, 8000, 8)})).Str("data").U32LE(10 + extra).Zeros(10);
        b.PatchU32LE(4, static_cast<std::uint32_t>(b.size() - 8));
        return b.bytes();
    };
    for (const std::uint32_t extra : {0u, 1u, 8u}) {
        ErrorCapture errors;
        Decoded d(with_data_size(extra));
        EXPECT_EQ(d.result(), 0) << extra;
        EXPECT_EQ(d.h().num_samples, 10u + extra);
    }
    EXPECT_EQ(FirstError(with_data_size(9)),
              "E2006110765 : The size written in 'data' chunk is wrong.");
    ByteBuilder late_fmt;  // the size test comes before the test of the block size
    late_fmt.Append(RiffWave({})).Str("data").U32LE(19).Zeros(10);
    late_fmt.PatchU32LE(4, static_cast<std::uint32_t>(late_fmt.size() - 8));
    EXPECT_EQ(FirstError(late_fmt.bytes()),
              "E2006110765 : The size written in 'data' chunk is wrong.");
}

// The first 'data' chunk holds the samples, even an empty one; a file in
// which the walk finds none is refused, also when an odd chunk without its
// pad byte puts the walk off its grid.
TEST(WavDataChunk, TheFirstDataChunkHoldsTheSamples) {
    const Bytes fmt = PcmFmtChunk(1, 8000, 16);
    ByteBuilder unpadded;
    unpadded.Append(RiffWave({fmt})).Str("iXML").U32LE(5).Str("<x/>\n").Append(Data(4));
    unpadded.PatchU32LE(4, static_cast<std::uint32_t>(unpadded.size() - 8));
    const std::pair<Bytes, std::uint32_t> read[] = {{RiffWave({fmt, Data(4), Data(10)}), 2u},
                                                    {RiffWave({fmt, Data(0), Data(8)}), 0u},
                                                    {RiffWave({fmt, Data(0)}), 0u}};
    for (const auto& [image, frames] : read) {
        Decoded d(image);
        EXPECT_EQ(d.result(), 0);
        EXPECT_EQ(d.h().data_offset, 44);
        EXPECT_EQ(d.h().num_samples, frames);
    }
    for (const Bytes& image : {RiffWave({fmt, Chunk("LIST", Bytes(4, 'l'))}), unpadded.bytes()})
        EXPECT_EQ(FirstError(image), "E2006110787 : Can not find 'data' chunk.");
}

Bytes CueBody(std::uint32_t count,
              const std::vector<std::pair<std::uint32_t, std::uint32_t>>& points) {
    ByteBuilder b;
    b.U32LE(count);
    std::uint32_t id = 10;
    for (const auto& [position, offset] : points) {
        b.U32LE(id++).U32LE(position).Str("data").U32LE(0).U32LE(0).U32LE(offset);
    }
    return b.bytes();
}

TEST(WavCueChunk, SampleOffsetWinsAndCountsStopAtTableAndChunk) {
    Decoded d(
        RiffWave({PcmFmtChunk(1, 8000, 16), Chunk("cue ", CueBody(2, {{5, 5}, {7, 9}})), Data(2)}));
    ASSERT_EQ(d.result(), 0);
    ASSERT_EQ(d.h().num_markers, 2);
    EXPECT_EQ(d.h().marker_id[0], 10);
    EXPECT_EQ(d.h().marker_position[0], 5);
    EXPECT_EQ(d.h().marker_position[1], 9);

    std::vector<std::pair<std::uint32_t, std::uint32_t>> many(300, {1, 1});
    Decoded big(RiffWave({PcmFmtChunk(1, 8000, 16), Chunk("cue ", CueBody(300, many)), Data(2)}));
    ASSERT_EQ(big.result(), 0);
    EXPECT_EQ(big.h().num_markers, 256);

    // A count the chunk cannot hold stops at the chunk's end.
    Decoded cut(RiffWave(
        {PcmFmtChunk(1, 8000, 16), Chunk("cue ", CueBody(50, {{3, 3}, {4, 4}})), Data(2)}));
    ASSERT_EQ(cut.result(), 0);
    EXPECT_EQ(cut.h().num_markers, 2);
    EXPECT_EQ(cut.h().num_samples, 1u);

    Decoded negative(
        RiffWave({PcmFmtChunk(1, 8000, 16), Chunk("cue ", CueBody(0xFFFFFFFFu, {})), Data(2)}));
    ASSERT_EQ(negative.result(), 0);
    EXPECT_EQ(negative.h().num_markers, 0);
}

Bytes SmplBody(std::uint32_t count,
               const std::vector<std::pair<std::uint32_t, std::uint32_t>>& loops) {
    ByteBuilder b;
    b.U32LE(0).U32LE(0).U32LE(22675).U32LE(60).U32LE(0).U32LE(0).U32LE(0).U32LE(count).U32LE(0);
    for (const auto& [start, end] : loops)
        b.U32LE(0).U32LE(1).U32LE(start).U32LE(end).U32LE(0).U32LE(0);
    return b.bytes();
}

TEST(WavSmplChunk, InclusiveEndBecomesExclusive) {
    Decoded d(
        RiffWave({PcmFmtChunk(1, 8000, 16), Chunk("smpl", SmplBody(1, {{100, 199}})), Data(2)}));
    ASSERT_EQ(d.result(), 0);
    ASSERT_EQ(d.h().num_loops, 1);
    EXPECT_EQ(d.h().loop_start[0], 100);
    EXPECT_EQ(d.h().loop_end[0], 200);
    Decoded cut(
        RiffWave({PcmFmtChunk(1, 8000, 16), Chunk("smpl", SmplBody(9, {{1, 2}})), Data(2)}));
    ASSERT_EQ(cut.result(), 0);
    EXPECT_EQ(cut.h().num_loops, 1);
}

TEST(WavTrailerChunks, MarkersAndLoopsFollowTheDataAndCountInTheRiffSize) {
    ScratchDir dir;
    const std::string path = dir.Path("t.wav");
    WstmHandle* h = WSTM_Create(path.c_str(), 44100, 2, 16, 10);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(WSTM_SetNumMarkers(h, 2), 0);
    ASSERT_EQ(WSTM_SetMarker(h, 0, 3), 0);
    ASSERT_EQ(WSTM_SetMarker(h, 1, 8), 0);
    ASSERT_EQ(WSTM_SetNumLoops(h, 1), 0);
    ASSERT_EQ(WSTM_SetLoop(h, 0, 100, 200), 0);
    ASSERT_EQ(WSTM_Close(h), 0);
    const Bytes b = filetest::ReadFile(path);
    const std::size_t cue = 44 + 40;
    ASSERT_EQ(b.size(), cue + 8 + 52 + 8 + 60);
    EXPECT_EQ(U32At(b, 4), b.size() - 8);
    EXPECT_EQ(U32At(b, 40), 40u);
    EXPECT_EQ(std::string(b.begin() + cue, b.begin() + cue + 4), "cue ");
    EXPECT_EQ(U32At(b, cue + 4), 52u);
    EXPECT_EQ(U32At(b, cue + 8), 2u);
    EXPECT_EQ(U32At(b, cue + 12), 0u);  // identifier 0
    EXPECT_EQ(U32At(b, cue + 16), 3u);  // position
    EXPECT_EQ(U32At(b, cue + 36), 1u);  // identifier 1
    EXPECT_EQ(U32At(b, cue + 56), 8u);  // sample offset
    const std::size_t smpl = cue + 60;
    EXPECT_EQ(std::string(b.begin() + smpl, b.begin() + smpl + 4), "smpl");
    EXPECT_EQ(U32At(b, smpl + 4), 60u);
    EXPECT_EQ(U32At(b, smpl + 16), 22675u);  // sample period of 44100 Hz
    EXPECT_EQ(U32At(b, smpl + 20), 60u);     // unity note
    EXPECT_EQ(U32At(b, smpl + 36), 1u);      // loops
    EXPECT_EQ(U32At(b, smpl + 52), 100u);    // start
    EXPECT_EQ(U32At(b, smpl + 56), 199u);    // inclusive end

    WstmHandle* r = WSTM_Open(path.c_str());
    ASSERT_NE(r, nullptr);
    std::int32_t pos, start, end;
    ASSERT_EQ(WSTM_GetNumMarkers(r), 2);
    ASSERT_EQ(WSTM_GetMarker(r, 1, &pos), 0);
    EXPECT_EQ(pos, 8);
    ASSERT_EQ(WSTM_GetLoop(r, 0, &start, &end), 0);
    EXPECT_EQ(start, 100);
    EXPECT_EQ(end, 200);
    EXPECT_EQ(WSTM_Close(r), 0);
}

TEST(WavTrailerChunks, OddDataIsPaddedBeforeTheChunks) {
    ScratchDir dir;
    const std::string path = dir.Path("odd.wav");
    WstmHandle* h = WSTM_Create(path.c_str(), 8000, 1, 8, 3);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(WSTM_SetNumMarkers(h, 1), 0);
    ASSERT_EQ(WSTM_SetMarker(h, 0, 1), 0);
    ASSERT_EQ(WSTM_Close(h), 0);
    const Bytes b = filetest::ReadFile(path);
    ASSERT_EQ(b.size(), 44u + 3u + 1u + 8u + 28u);
    EXPECT_EQ(U32At(b, 40), 3u);  // the data size leaves the pad out
    EXPECT_EQ(b[47], 0);          // the pad
    EXPECT_EQ(std::string(b.begin() + 48, b.begin() + 52), "cue ");
    EXPECT_EQ(U32At(b, 4), b.size() - 8);  // the RIFF size counts it
    WstmHandle* r = WSTM_Open(path.c_str());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(WSTM_GetNumMarkers(r), 1);
    EXPECT_EQ(WSTM_GetNumSamples(r), 3u);
    EXPECT_EQ(WSTM_Close(r), 0);
}

}  // namespace
