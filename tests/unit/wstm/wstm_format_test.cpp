#include "wavestream/wstm/wstm_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/file_fixtures.h"
#include "tests/support/wav_images.h"
#include "wavestream/wstm/wstm.h"

namespace {

using namespace filetest;

// A small valid WAV: 16-bit mono, 4 frames.
Bytes SmallWav() {
    return filetest::RiffWave({filetest::PcmFmtChunk(1, 8000, 16),
                               filetest::Chunk("data", Bytes{1, 0, 2, 0, 3, 0, 4, 0})});
}

// Opens an image and gives the file_size the identification settled on, or
// -1 when the open failed.
std::int64_t OpenedSize(const Bytes& image) {
    ScratchDir dir;
    const std::string path = dir.Path("x.wav");
    filetest::WriteFile(path, image);
    WstmHandle* h = WSTM_Open(path.c_str());
    if (h == nullptr) return -1;
    const std::int64_t size = h->file_size;
    EXPECT_EQ(WSTM_Close(h), 0);
    return size;
}

TEST(SizeReconciliation, PrefersRealThenStatedThenTheSmallerWithinOneByte) {
    EXPECT_EQ(wstm_reconcile_sizes(100, 90, 100), 100);
    EXPECT_EQ(wstm_reconcile_sizes(101, 100, 100), 100);
    EXPECT_EQ(wstm_reconcile_sizes(110, 101, 100), 100);
    EXPECT_EQ(wstm_reconcile_sizes(110, 99, 100), 99);
    EXPECT_EQ(wstm_reconcile_sizes(110, 98, 100), -1);
}

TEST(SizeReconciliation, NeverSettlesAboveTheRealSize) {
    // Stated and measured agree on more than the file holds: it was cut short.
    EXPECT_EQ(wstm_reconcile_sizes(50, 100, 100), 50);
    EXPECT_EQ(wstm_reconcile_sizes(99, 100, 101), 99);
    EXPECT_EQ(wstm_reconcile_sizes(100, 100, 101), 100);
}

// The messages of opening `image`, empty when it opened.
Lines OpenErrors(const Bytes& image) {
    ScratchDir dir;
    filetest::WriteFile(dir.Path("cut"), image);
    ErrorCapture errors;
    WstmHandle* h = WSTM_Open(dir.Path("cut").c_str());
    if (h != nullptr) {
        EXPECT_EQ(WSTM_Close(h), 0);
    }
    return errors.lines();
}

// 16-bit mono at 8000 Hz, 100 frames of sample data.
Bytes HundredFramesWav() {
    return filetest::RiffWave(
        {filetest::PcmFmtChunk(1, 8000, 16), filetest::Chunk("data", Bytes(200, 7))});
}

Bytes HundredFramesAiff() {
    ByteBuilder b;
    b.Str("FORM").U32BE(4 + 26 + 216).Str("AIFF");
    b.Str("COMM").U32BE(18).U16BE(1).U32BE(100).U16BE(16);
    b.U8(0x40).U8(0x0B).U8(0xFA).Zeros(7);  // 8000 as an 80-bit extended number
    b.Str("SSND").U32BE(208).U32BE(0).U32BE(0).Append(Bytes(200, 7));
    return b.bytes();
}

// A file more than 8 bytes shorter than its header says fails at its sample
// data chunk; up to 8 missing bytes are the allowance of the chunk head,
// which the size test does not count.
TEST(Identification, AFileCutShortFailsAtItsSampleDataChunk) {
    EXPECT_TRUE(OpenErrors(HundredFramesWav()).empty());
    EXPECT_TRUE(OpenErrors(HundredFramesAiff()).empty());
    for (const std::size_t keep : {192u, 199u}) {
        Bytes wav = HundredFramesWav();
        wav.resize(44 + keep);
        EXPECT_TRUE(OpenErrors(wav).empty()) << keep;
        Bytes aiff = HundredFramesAiff();
        aiff.resize(54 + keep);
        EXPECT_TRUE(OpenErrors(aiff).empty()) << keep;
    }
    for (const std::size_t keep : {60u, 191u}) {
        Bytes wav = HundredFramesWav();
        wav.resize(44 + keep);
        EXPECT_EQ(OpenErrors(wav),
                  (Lines{"E2006110765 : The size written in 'data' chunk is wrong.",
                         "E2006110127 : Can not decode file header."}))
            << keep;
        Bytes aiff = HundredFramesAiff();
        aiff.resize(54 + keep);
        EXPECT_EQ(OpenErrors(aiff),
                  (Lines{"E2006110861 : The size written in 'SSND' chunk is wrong.",
                         "E2006110127 : Can not decode file header."}))
            << keep;
    }
}

// 16-bit stereo with the given size fields and `bytes` bytes of sample data.
Bytes StereoWav(std::uint32_t riff_size, std::uint32_t data_size, std::size_t bytes) {
    ByteBuilder b;
    b.Str("RIFF").U32LE(riff_size).Str("WAVE").Append(filetest::PcmFmtChunk(2, 8000, 16));
    b.Str("data").U32LE(data_size).Append(Bytes(bytes, 7));
    return b.bytes();
}

Bytes StereoAiff(std::uint32_t form_size, std::uint32_t frames, std::uint32_t ssnd_size,
                 std::size_t bytes) {
    ByteBuilder b;
    b.Str("FORM").U32BE(form_size).Str("AIFF");
    b.Str("COMM").U32BE(18).U16BE(2).U32BE(frames).U16BE(16);
    b.U8(0x40).U8(0x0B).U8(0xFA).Zeros(7);  // 8000
    b.Str("SSND").U32BE(ssnd_size).U32BE(0).U32BE(0).Append(Bytes(bytes, 7));
    return b.bytes();
}

// What writers leave when they cannot seek back: the sample data then runs
// to the end of the file, in whole frames. Any other size that disagrees
// with the file is still a file cut short.
TEST(Identification, FilesWrittenToAPipeReadToTheirEnd) {
    const std::uint32_t sox_wav = 0x7FFFF000;         // whole 4-byte frames
    const std::uint32_t sox_frames = 0x7F000000 / 4;  // in AIFF
    const std::uint32_t sox_ssnd = sox_frames * 4 + 8;
    struct Case {
        const char* writer;
        Bytes image;
        std::int32_t frames;  // -1: refused
    };
    const Case cases[] = {
        {"ffmpeg wav", StereoWav(0xFFFFFFFF, 0xFFFFFFFF, 42), 10},
        {"recorder wav", StereoWav(0, 0, 40), 10},
        {"sox wav", StereoWav(sox_wav + 36, sox_wav, 40), 10},
        {"cut wav", StereoWav(36 + 400, 400, 40), -1},
        {"other size wav", StereoWav(0xFFFFFFFF, 0xFFFFFFFE, 40), -1},
        {"sox size, other block", StereoWav(sox_wav + 36 - 2, sox_wav - 2, 40), -1},
        {"ffmpeg aiff", StereoAiff(0, 0, 0, 41), 10},
        {"sox aiff", StereoAiff(sox_ssnd + 38, sox_frames, sox_ssnd, 40), 10},
        {"cut aiff", StereoAiff(38 + 408, 100, 408, 40), -1},
        {"sox aiff, other count", StereoAiff(sox_ssnd + 38, sox_frames - 1, sox_ssnd, 48), -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.writer);
        ScratchDir dir;
        const std::string path = dir.Path("p");
        filetest::WriteFile(path, c.image);
        ErrorCapture errors;
        WstmHandle* h = WSTM_Open(path.c_str());
        ASSERT_EQ(h != nullptr, c.frames >= 0) << testing::PrintToString(errors.lines());
        if (h == nullptr) continue;
        EXPECT_EQ(WSTM_GetNumSamples(h), static_cast<std::uint32_t>(c.frames));
        std::int32_t frame[2] = {};
        EXPECT_GE(WSTM_ReadSample(h, frame, 2), 0);
        EXPECT_EQ(frame[1], 0x07070000);
        EXPECT_EQ(WSTM_Close(h), 0);
    }
}

TEST(Identification, AFileLongerThanStatedStillOpens) {
    for (Bytes image : {HundredFramesWav(), HundredFramesAiff()}) {
        image.push_back(0);  // a stray pad byte
        EXPECT_TRUE(OpenErrors(image).empty());
        image.insert(image.end(), 999, 0);  // trailing zeros
        EXPECT_TRUE(OpenErrors(image).empty());
    }
}

TEST(Identification, AcceptsExactSizeWithoutAWalk) {
    const Bytes image = SmallWav();
    EXPECT_EQ(OpenedSize(image), static_cast<std::int64_t>(image.size()));
}

TEST(Identification, TrailingOddPadByteGivesTheStatedSize) {
    ByteBuilder b;
    b.Append(filetest::RiffWave(
        {filetest::PcmFmtChunk(1, 8000, 8), filetest::Chunk("data", Bytes{1, 2, 3})}));
    // Chunk() padded the odd data: the stated size leaves the pad out here.
    b.PatchU32LE(4, static_cast<std::uint32_t>(b.size() - 8 - 1));
    EXPECT_EQ(OpenedSize(b.bytes()), static_cast<std::int64_t>(b.size() - 1));
}

TEST(Identification, ZerosAfterTheLastChunkGiveTheStatedSize) {
    ByteBuilder b;
    b.Append(SmallWav()).Zeros(100);
    EXPECT_EQ(OpenedSize(b.bytes()), static_cast<std::int64_t>(SmallWav().size()));
}

TEST(Identification, SizeFieldTooSmallButChunksReachTheEndGivesTheRealSize) {
    ByteBuilder b;
    b.Append(SmallWav());
    b.PatchU32LE(4, 10);
    EXPECT_EQ(OpenedSize(b.bytes()), static_cast<std::int64_t>(b.size()));
}

TEST(Identification, IrreconcilableSizesAreRefused) {
    ByteBuilder b;
    b.Append(SmallWav()).Str("JUNK").U32LE(1000);  // a chunk reaching far past the end
    ScratchDir dir;
    filetest::WriteFile(dir.Path("bad.wav"), b.bytes());
    ErrorCapture errors;
    EXPECT_EQ(WSTM_Open(dir.Path("bad.wav").c_str()), nullptr);
    EXPECT_EQ(errors.lines(),
              (Lines{"E2006110801 : The size written in header is not same as actual file size.",
                     "E2006110127 : Can not decode file header."}));
}

TEST(Identification, OnlyExactRiffOrFormIsRecognised) {
    for (const char* id : {"riff", "form", "RIFX", "WAVE"}) {
        ScratchDir dir;
        filetest::WriteFile(dir.Path("x"),
                            ByteBuilder().Str(id).U32LE(8).Str("WAVE").Zeros(8).bytes());
        ErrorCapture errors;
        EXPECT_EQ(WSTM_Open(dir.Path("x").c_str()), nullptr);
        ASSERT_FALSE(errors.lines().empty());
        EXPECT_EQ(errors.lines().front(), "E2006110883 : Can not confirm the file identifier.")
            << id;
    }
}

TEST(ChunkWalk, MeasuresEvenAlignedChunksAndStopsWhereItCannotGoOn) {
    ScratchDir dir;
    const std::string path = dir.Path("walk.bin");
    auto measure = [&](const Bytes& image) {
        filetest::WriteFile(path, image);
        FstmStream* s = FSTM_OpenRead(path.c_str());
        const std::int64_t m = wstm_measure_chunks(s, kWstmLittleEndian);
        (void)FSTM_Close(s);
        return m;
    };
    // Odd chunk: the next one starts after the pad; the last pad is left out.
    ByteBuilder odd;
    odd.Str("RIFF").U32LE(0).Str("WAVE").Str("abcd").U32LE(3).Zeros(4).Str("efgh").U32LE(1).Zeros(
        2);
    EXPECT_EQ(measure(odd.bytes()), 12 + 8 + 3 + 1 + 8 + 1);
    // A non-printable identifier ends the walk where it stands.
    ByteBuilder stop;
    stop.Str("RIFF").U32LE(0).Str("WAVE").Str("abcd").U32LE(2).Zeros(2).U8(1).Str("xyz").U32LE(0);
    EXPECT_EQ(measure(stop.bytes()), 12 + 8 + 2);
    // RIFF sizes are unsigned: 0xFFFFFFF8 reaches 4 GB on, where nothing
    // printable follows.
    ByteBuilder far;
    far.Str("RIFF").U32LE(0).Str("WAVE").Str("abcd").U32LE(0xFFFFFFF8u).Zeros(8);
    EXPECT_EQ(measure(far.bytes()), 12 + 8 + std::int64_t{0xFFFFFFF8u});
    // Big-endian sizes for FORM files, signed: a size of -8 would read the
    // same chunk for ever; the walk ends instead.
    for (const auto& [size, want] : {std::pair{4u, 24}, std::pair{0xFFFFFFF8u, 12}}) {
        ByteBuilder be;
        be.Str("FORM").U32BE(0).Str("AIFF").Str("COMM").U32BE(size).Zeros(8);
        filetest::WriteFile(path, be.bytes());
        FstmStream* s = FSTM_OpenRead(path.c_str());
        EXPECT_EQ(wstm_measure_chunks(s, kWstmBigEndian), want);
        (void)FSTM_Close(s);
    }
}

TEST(LayoutPlanning, LargestFileBelowTwoGigabytes) {
    WstmHandle h{};
    h.file_format = kWstmFormatWav;
    h.sampling_rate = 44100;
    h.num_channels = 2;
    h.num_bits = 16;
    h.num_samples = 536870900u;  // (2^31 - 1 - 44) / 4
    ASSERT_EQ(wstm_plan_new_file(&h), 0);
    EXPECT_EQ(h.block_size, 4);
    EXPECT_EQ(h.data_offset, 44);
    EXPECT_EQ(h.file_size, 536870900 * 4 + 44);
    h.file_format = kWstmFormatAiff;
    h.num_samples = 536870898u;  // (2^31 - 1 - 54) / 4
    ASSERT_EQ(wstm_plan_new_file(&h), 0);
    EXPECT_EQ(h.data_offset, 54);
    h.num_bits = 12;
    h.num_channels = 3;
    h.num_samples = 10;
    ASSERT_EQ(wstm_plan_new_file(&h), 0);
    EXPECT_EQ(h.block_size, 6);
}

TEST(FormatFromPath, ExtensionScanStopsAtEitherSeparator) {
    EXPECT_EQ(wstm_format_from_path("a.aif"), kWstmFormatAiff);
    EXPECT_EQ(wstm_format_from_path("a.AIFF"), kWstmFormatAiff);
    EXPECT_EQ(wstm_format_from_path("a.aIfc"), kWstmFormatAiff);
    EXPECT_EQ(wstm_format_from_path("a.wav"), kWstmFormatWav);
    EXPECT_EQ(wstm_format_from_path("a.ai"), kWstmFormatWav);
    EXPECT_EQ(wstm_format_from_path("noext"), kWstmFormatWav);
    EXPECT_EQ(wstm_format_from_path("dir.aif\\file"), kWstmFormatWav);
    EXPECT_EQ(wstm_format_from_path("dir.aif/file"), kWstmFormatWav);
    EXPECT_EQ(wstm_format_from_path(""), kWstmFormatWav);
}

TEST(DecodedHeaderCheck, AiffFilesDispatchToTheirCodec) {
    ScratchDir dir;
    const std::string path = dir.Path("x.aif");
    WstmHandle* h = WSTM_CreateAs(path.c_str(), 48000, 2, 24, 3, kWstmFormatAiff);
    ASSERT_NE(h, nullptr);
    const std::int32_t v[2] = {0x12345600, -256};
    for (int i = 0; i < 3; ++i)
        WSTM_WriteSample(h, v, 2);
    ASSERT_EQ(WSTM_Close(h), 0);
    h = WSTM_Open(path.c_str());
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->file_identifier, kWstmForm);
    EXPECT_EQ(h->endian_type, kWstmBigEndian);
    EXPECT_EQ(WSTM_GetSamplingRate(h), 48000);
    EXPECT_EQ(WSTM_GetNumSamples(h), 3u);
    std::int32_t got[2];
    ASSERT_EQ(WSTM_ReadSample(h, got, 2), 6);
    EXPECT_EQ(got[0], v[0]);
    EXPECT_EQ(got[1], v[1]);
    EXPECT_EQ(WSTM_Close(h), 0);
}

}  // namespace
