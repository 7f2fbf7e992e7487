#include "wavestream/wstm/wstm.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/file_fixtures.h"
#include "tests/support/wav_images.h"

namespace {

using namespace filetest;

std::uint32_t U32At(const Bytes& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

// A 16-bit stereo WAV of `frames` frames whose frame i holds (i, -i) << 16.
std::string WriteStereoWav(const ScratchDir& dir, const std::string& name, std::int32_t frames) {
    const std::string path = dir.Path(name);
    WstmHandle* h = WSTM_Create(path.c_str(), 44100, 2, 16, static_cast<std::uint32_t>(frames));
    EXPECT_NE(h, nullptr);
    for (std::int32_t i = 0; i < frames; ++i) {
        const std::int32_t v[2] = {i << 16, -i * 65536};
        EXPECT_EQ(WSTM_WriteSample(h, v, 2), i + 1);
    }
    EXPECT_EQ(WSTM_Close(h), 0);
    return path;
}

TEST(WstmOpen, ReadsBackWhatWasWritten) {
    ScratchDir dir;
    const std::string path = WriteStereoWav(dir, "a.wav", 100);
    WstmHandle* h = WSTM_Open(path.c_str());
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(WSTM_GetSamplingRate(h), 44100);
    EXPECT_EQ(WSTM_GetNumChannels(h), 2);
    EXPECT_EQ(WSTM_GetNumBits(h), 16);
    EXPECT_EQ(WSTM_GetNumSamples(h), 100u);
    EXPECT_EQ(WSTM_Tell(h), 0);
    for (std::int32_t i = 0; i < 100; ++i) {
        std::int32_t v[2];
        ASSERT_EQ(WSTM_ReadSample(h, v, 2), 4);
        EXPECT_EQ(v[0], i << 16);
        EXPECT_EQ(v[1], -i * 65536);
    }
    EXPECT_EQ(WSTM_Tell(h), 100);
    EXPECT_EQ(WSTM_Close(h), 0);
}

TEST(WstmOpen, RefusalsReportInnermostFirst) {
    ScratchDir dir;
    ErrorCapture errors;
    EXPECT_EQ(WSTM_Open(nullptr), nullptr);
    EXPECT_EQ(WSTM_Open(dir.Path("absent.wav").c_str()), nullptr);
    filetest::WriteFile(dir.Path("twelve.wav"), Bytes(12, 'x'));
    EXPECT_EQ(WSTM_Open(dir.Path("twelve.wav").c_str()), nullptr);
    filetest::WriteFile(dir.Path("riff.wav"),
                        ByteBuilder().Str("riff").U32LE(8).Str("WAVE").Zeros(4).bytes());
    EXPECT_EQ(WSTM_Open(dir.Path("riff.wav").c_str()), nullptr);
    EXPECT_EQ(errors.lines(),
              (Lines{"E2006110124 : NULL pointer is passed.", "E2006110109 : Can not open file.",
                     "E2006110802 : Can not open file.", "E2006110126 : Can not open file.",
                     "E2006110803 : File size is too small.", "E2006110126 : Can not open file.",
                     "E2006110883 : Can not confirm the file identifier.",
                     "E2006110127 : Can not decode file header."}));
}

TEST(WstmCursor, SeekAndTellCountFrames) {
    ScratchDir dir;
    const std::string path = WriteStereoWav(dir, "s.wav", 50);
    WstmHandle* h = WSTM_Open(path.c_str());
    ASSERT_NE(h, nullptr);
    std::int32_t v[2];
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(WSTM_ReadSample(h, v, 2), 4);
    EXPECT_EQ(WSTM_Tell(h), 3);
    EXPECT_EQ(WSTM_Seek(h, 0, 2), 0);
    EXPECT_EQ(WSTM_Tell(h), 50);
    EXPECT_EQ(WSTM_Seek(h, -1, 1), 0);
    EXPECT_EQ(WSTM_Tell(h), 49);
    ASSERT_EQ(WSTM_ReadSample(h, v, 2), 4);
    EXPECT_EQ(v[0], 49 << 16);
    EXPECT_EQ(WSTM_Seek(h, 10, 0), 0);
    ASSERT_EQ(WSTM_ReadSample(h, v, 2), 4);
    EXPECT_EQ(v[0], 10 << 16);
    EXPECT_EQ(WSTM_Seek(h, 0, 3), -1);
    EXPECT_EQ(WSTM_Close(h), 0);
}

TEST(WstmMarkersAndLoops, TablesAreAddressedByIdWithinTheirCount) {
    ScratchDir dir;
    ErrorCapture errors;
    WstmHandle* h = WSTM_Create(dir.Path("m.wav").c_str(), 8000, 1, 8, 10);
    ASSERT_NE(h, nullptr);
    std::int32_t pos = -1, start = -1, end = -1;
    EXPECT_EQ(WSTM_SetNumMarkers(h, 3), 0);
    EXPECT_EQ(WSTM_GetMarker(h, 2, &pos), 0);
    EXPECT_EQ(pos, 0);
    EXPECT_EQ(WSTM_SetMarker(h, 2, 7), 0);
    EXPECT_EQ(WSTM_GetMarker(h, 2, &pos), 0);
    EXPECT_EQ(pos, 7);
    EXPECT_EQ(WSTM_GetMarker(h, 3, &pos), -1);
    EXPECT_EQ(WSTM_SetMarker(h, -1, 0), -1);
    EXPECT_EQ(WSTM_SetNumLoops(h, 0), 0);
    EXPECT_EQ(WSTM_GetLoop(h, 0, &start, &end), -1);
    EXPECT_EQ(WSTM_SetLoop(h, 0, 1, 2), -1);
    EXPECT_EQ(WSTM_SetNumMarkers(h, 300), 0);
    EXPECT_EQ(WSTM_GetNumMarkers(h), 256);
    EXPECT_EQ(WSTM_SetNumLoops(h, 257), 0);
    EXPECT_EQ(WSTM_GetNumLoops(h), 256);
    EXPECT_EQ(errors.lines(), (Lines{"E2006110808 : Specified marker ID is out of range.",
                                     "E2006110809 : Specified marker ID is out of range.",
                                     "E2006110810 : Specified loop ID is out of range.",
                                     "E2006110811 : Specified loop ID is out of range.",
                                     "E2006110812 : The number of markers is out of range.",
                                     "E2006110813 : The number of loops is out of range."}));
    EXPECT_EQ(WSTM_Close(h), 0);
}

TEST(WstmNullHandle, EveryOperationReportsItsOwnCode) {
    ErrorCapture errors;
    std::int32_t v[2] = {0, 0};
    EXPECT_EQ(WSTM_Create(nullptr, 44100, 2, 16, 1), nullptr);
    EXPECT_EQ(WSTM_CreateAs(nullptr, 44100, 2, 16, 1, 1), nullptr);
    EXPECT_EQ(WSTM_Close(nullptr), -1);
    EXPECT_EQ(WSTM_GetSamplingRate(nullptr), -1);
    EXPECT_EQ(WSTM_GetNumChannels(nullptr), -1);
    EXPECT_EQ(WSTM_GetNumBits(nullptr), -1);
    EXPECT_EQ(WSTM_GetNumSamples(nullptr), 0xFFFFFFFFu);
    EXPECT_EQ(WSTM_GetNumMarkers(nullptr), -1);
    EXPECT_EQ(WSTM_GetMarker(nullptr, 0, v), -1);
    EXPECT_EQ(WSTM_SetNumMarkers(nullptr, 1), -1);
    EXPECT_EQ(WSTM_SetMarker(nullptr, 0, 0), -1);
    EXPECT_EQ(WSTM_GetNumLoops(nullptr), -1);
    EXPECT_EQ(WSTM_GetLoop(nullptr, 0, v, v + 1), -1);
    EXPECT_EQ(WSTM_SetNumLoops(nullptr, 1), -1);
    EXPECT_EQ(WSTM_SetLoop(nullptr, 0, 0, 1), -1);
    EXPECT_EQ(WSTM_Seek(nullptr, 0, 0), -1);
    EXPECT_EQ(WSTM_Tell(nullptr), -1);
    EXPECT_EQ(WSTM_ReadSample(nullptr, v, 2), -1);
    EXPECT_EQ(WSTM_WriteSample(nullptr, v, 2), -1);
    Lines want;
    for (const char* code : {"112", "116", "132", "138", "139", "140", "141", "145", "146", "147",
                             "148", "149", "150", "151", "152", "153", "154", "135", "137"}) {
        want.push_back(std::string("E2006110") + code + " : NULL pointer is passed.");
    }
    EXPECT_EQ(errors.lines(), want);
}

TEST(WstmSampleHooks, MissingHookIsReportedNotCalled) {
    ScratchDir dir;
    const std::string path = WriteStereoWav(dir, "h.wav", 4);
    ErrorCapture errors;
    std::int32_t v[2] = {0, 0};
    WstmHandle* in = WSTM_Open(path.c_str());
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(WSTM_WriteSample(in, v, 2), -1);
    EXPECT_EQ(WSTM_Close(in), 0);
    WstmHandle* out = WSTM_Create(dir.Path("o.wav").c_str(), 44100, 2, 16, 4);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(WSTM_ReadSample(out, v, 2), -1);
    EXPECT_EQ(WSTM_Close(out), 0);
    EXPECT_EQ(errors.lines(), (Lines{"E2006110807 : The file is not open for writing samples.",
                                     "E2006110806 : The file is not open for reading samples."}));
}

TEST(WstmCreate, ExtensionChoosesTheFormat) {
    ScratchDir dir;
    struct Case {
        const char* name;
        bool aiff;
    } cases[] = {{"x.aif", true},  {"x.AIFF", true}, {"x.aifc", true}, {"x.wav", false},
                 {"noext", false}, {"x.ai", false},  {"x.snd", false}};
    for (const Case& c : cases) {
        const std::string path = dir.Path(c.name);
        WstmHandle* h = WSTM_Create(path.c_str(), 44100, 1, 16, 2);
        ASSERT_NE(h, nullptr) << c.name;
        EXPECT_EQ(WSTM_Close(h), 0);
        const Bytes b = filetest::ReadFile(path);
        ASSERT_GE(b.size(), 4u);
        EXPECT_EQ(std::string(b.begin(), b.begin() + 4), c.aiff ? "FORM" : "RIFF") << c.name;
    }
    // A folder named like an AIFF file does not make its files AIFF.
    ASSERT_EQ(std::system(("mkdir " + dir.Path("d.aif")).c_str()), 0);
    const std::string inside = dir.Path("d.aif/plain");
    WstmHandle* h = WSTM_Create(inside.c_str(), 44100, 1, 16, 2);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(WSTM_Close(h), 0);
    EXPECT_EQ(filetest::ReadFile(inside)[0], 'R');
}

// Float files: the frame count in 'fact' (WAV) and 'COMM' (AIFF-C) and the
// sizes are rewritten at close, frames never written become +0.0, the
// floats' bits are stored as given, and marker chunks follow the data.
TEST(WstmCreate, FloatFilesKeepTheirHeadersRightAtClose) {
    ScratchDir dir;
    auto u32be = [](const Bytes& b, std::size_t at) {
        return (static_cast<std::uint32_t>(b[at]) << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) |
               b[at + 3];
    };
    const float values[2] = {1.5f, -0.25f};
    std::int32_t bits[2];
    std::memcpy(bits, values, sizeof bits);
    for (const char* name : {"f.wav", "f.aif"}) {
        const std::string path = dir.Path(name);
        WstmHandle* h = WSTM_CreateFloat(path.c_str(), 48000, 2, 5, WSTM_FormatOfName(name));
        ASSERT_NE(h, nullptr) << name;
        EXPECT_EQ(WSTM_IsFloat(h), 1);
        EXPECT_EQ(WSTM_WriteFrames(h, bits, 2, 1), 1);
        ASSERT_EQ(WSTM_SetNumMarkers(h, 1), 0);
        ASSERT_EQ(WSTM_SetMarker(h, 0, 3), 0);
        EXPECT_EQ(WSTM_Close(h), 0);
        const Bytes b = filetest::ReadFile(path);
        const bool wav = name[2] == 'w';
        const std::size_t data = wav ? 58 : 92;
        ASSERT_GT(b.size(), data + 40) << name;
        if (wav) {
            EXPECT_EQ(U32At(b, 4), b.size() - 8);
            EXPECT_EQ(b[20], 3);  // format tag
            EXPECT_EQ(std::string(b.begin() + 38, b.begin() + 42), "fact");
            EXPECT_EQ(U32At(b, 42), 4u);
            EXPECT_EQ(U32At(b, 46), 5u);                                         // frames
            EXPECT_EQ(U32At(b, data - 4), 40u);                                  // 'data' size
            EXPECT_EQ(U32At(b, data), U32At(Bytes{0x00, 0x00, 0xC0, 0x3F}, 0));  // 1.5f
        } else {
            EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "AIFCFVER");
            EXPECT_EQ(u32be(b, 4), b.size() - 8);
            EXPECT_EQ(u32be(b, 34), 5u);  // 'COMM' frames
            EXPECT_EQ(std::string(b.begin() + 50, b.begin() + 54), "fl32");
            EXPECT_EQ(u32be(b, data - 12), 48u);         // 'SSND' size: 8 + 40
            EXPECT_EQ(u32be(b, data + 4), 0xBE800000u);  // -0.25f
        }
        for (std::size_t i = data + 8; i < data + 40; ++i)
            ASSERT_EQ(b[i], 0) << name << " byte " << i;  // silence: +0.0
        EXPECT_EQ(std::string(b.begin() + data + 40, b.begin() + data + 44), wav ? "cue " : "MARK");
    }
}

TEST(WstmCreate, RefusedOutputNeverCreatesOrTruncatesAFile) {
    ScratchDir dir;
    const std::string existing = dir.Path("keep.wav");
    const Bytes original(100, 0x5A);
    filetest::WriteFile(existing, original);
    ErrorCapture errors;
    EXPECT_EQ(WSTM_CreateAs(existing.c_str(), 44100, 2, 33, 10, 1), nullptr);
    EXPECT_EQ(WSTM_CreateAs(existing.c_str(), 44100, 2, 16, 536870900u, 2), nullptr);
    EXPECT_EQ(WSTM_CreateAs(existing.c_str(), 44100, 2, 16, 10, 3), nullptr);
    EXPECT_EQ(WSTM_CreateAs(dir.Path("new.wav").c_str(), 9, 1, 16, 10, 1), nullptr);
    EXPECT_EQ(filetest::ReadFile(existing), original);
    EXPECT_FALSE(filetest::FileExists(dir.Path("new.wav")));
    EXPECT_EQ(errors.lines(), (Lines{"E2006110782) : This quantization bits is not available.",
                                     "E2006110119 : Can not create file header.",
                                     "E2006110601 : File size becomes over 2GB.",
                                     "E2006110119 : Can not create file header.",
                                     "E2006110892 : Illegal file format.",
                                     "E2006110119 : Can not create file header.",
                                     "E2006110779 : This sampling frequency is not available.",
                                     "E2006110119 : Can not create file header."}));
}

TEST(WstmCreate, UncreatableFileReportsInnermostFirst) {
    ScratchDir dir;
    ErrorCapture errors;
    EXPECT_EQ(WSTM_Create(dir.Path("no/such/folder.wav").c_str(), 44100, 2, 16, 10), nullptr);
    EXPECT_EQ(errors.lines(),
              (Lines{"E2006110109 : Can not create file.", "E2006110805 : Can not create file.",
                     "E2006110118 : Can not create file."}));
}

TEST(WstmCreate, AiffPlanStopsAtTheLastFittingFrame) {
    ScratchDir dir;
    ErrorCapture errors;
    // One frame more than fits below 2 GB in AIFF (a WAV file becomes RF64
    // instead); and a count that is negative as a signed value, which the
    // planning lets through.
    EXPECT_EQ(WSTM_CreateAs(dir.Path("big.aif").c_str(), 44100, 2, 16, 536870899u, 2), nullptr);
    EXPECT_EQ(WSTM_CreateAs(dir.Path("neg.wav").c_str(), 44100, 1, 8, 0x80000000u, 1), nullptr);
    EXPECT_EQ(errors.lines(), (Lines{"E2006110601 : File size becomes over 2GB.",
                                     "E2006110119 : Can not create file header.",
                                     "E2006110783 : The number of samples is wrong.",
                                     "E2006110119 : Can not create file header."}));
}

TEST(WstmClose, FileHoldsExactlyTheDeclaredFrames) {
    ScratchDir dir;
    // Fewer frames than declared: the rest is silence.
    const std::string shorter = dir.Path("short.wav");
    WstmHandle* h = WSTM_Create(shorter.c_str(), 8000, 1, 8, 5);
    ASSERT_NE(h, nullptr);
    const std::int32_t loud = 0x7F000000;
    EXPECT_EQ(WSTM_WriteSample(h, &loud, 1), 1);
    EXPECT_EQ(WSTM_Close(h), 0);
    Bytes b = filetest::ReadFile(shorter);
    ASSERT_EQ(b.size(), 44u + 5u);
    EXPECT_EQ(U32At(b, 40), 5u);
    EXPECT_EQ(b[44], 0xFF);
    for (int i = 45; i < 49; ++i)
        EXPECT_EQ(b[i], 0x80) << i;

    // More frames than declared: the extra ones are not written, and the
    // marker chunk lands right after the data.
    const std::string longer = dir.Path("long.wav");
    h = WSTM_Create(longer.c_str(), 8000, 1, 16, 3);
    ASSERT_NE(h, nullptr);
    for (int i = 0; i < 6; ++i)
        WSTM_WriteSample(h, &loud, 1);
    EXPECT_EQ(WSTM_Tell(h), 3);
    ASSERT_EQ(WSTM_SetNumMarkers(h, 1), 0);
    ASSERT_EQ(WSTM_SetMarker(h, 0, 2), 0);
    EXPECT_EQ(WSTM_Close(h), 0);
    b = filetest::ReadFile(longer);
    ASSERT_EQ(b.size(), 44u + 6u + 8u + 28u);
    EXPECT_EQ(std::string(b.begin() + 50, b.begin() + 54), "cue ");
    EXPECT_EQ(U32At(b, 4), b.size() - 8);
}

TEST(WstmClose, NoMarkersOrLoopsMeansNoTrailerChunks) {
    ScratchDir dir;
    const std::string path = WriteStereoWav(dir, "plain.wav", 10);
    EXPECT_EQ(filetest::ReadFile(path).size(), 44u + 40u);
}

// Platform writes that fail once armed, as a full disk would.
std::atomic<bool> g_disk_full{false};
std::int32_t FullDiskWrite(int fd, const void* b, std::int32_t n) {
    if (g_disk_full.load()) {
        errno = ENOSPC;
        return -1;
    }
    return BufferedFile_DefaultPlatform()->write(fd, b, n);
}

// The buffered files write through FullDiskWrite, the disk not yet full,
// until the object goes (or the test restores the default before).
class FullDiskPlatform {
  public:
    FullDiskPlatform() : calls_(*BufferedFile_DefaultPlatform()) {
        calls_.write = FullDiskWrite;
        g_disk_full = false;
        BufferedFile_SetPlatform(&calls_);
    }
    ~FullDiskPlatform() { BufferedFile_SetPlatform(nullptr); }
    FullDiskPlatform(const FullDiskPlatform&) = delete;
    FullDiskPlatform& operator=(const FullDiskPlatform&) = delete;

  private:
    BufferedFilePlatform calls_;
};

TEST(WstmTransferFailures, FullDiskMakesTheCloseFail) {
    ScratchDir dir;
    FullDiskPlatform platform;
    ErrorCapture errors;
    WstmHandle* h = WSTM_Create(dir.Path("full.wav").c_str(), 44100, 2, 16, 1000);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(WSTM_GetTransferError(h), 0);
    g_disk_full = true;
    std::int32_t v[2] = {1 << 20, 1 << 20};
    for (int i = 0; i < 1000; ++i)
        WSTM_WriteSample(h, v, 2);
    EXPECT_EQ(WSTM_Close(h), -1);
    BufferedFile_SetPlatform(nullptr);
    ASSERT_FALSE(errors.lines().empty());
    EXPECT_EQ(errors.lines().front(), "E2006110311 : Writing error occurred.");
}

TEST(WstmTransferFailures, QueryShowsAFailedTransferBeforeTheClose) {
    ScratchDir dir;
    FullDiskPlatform platform;
    ErrorCapture errors;
    WstmHandle* h = WSTM_Create(dir.Path("q.wav").c_str(), 8000, 1, 16, 10);
    ASSERT_NE(h, nullptr);
    const std::int32_t v = 1 << 24;
    WSTM_WriteSample(h, &v, 1);
    g_disk_full = true;
    EXPECT_EQ(WSTM_Seek(h, 0, 0), 0);  // the seek writes the buffered frame out, which fails
    EXPECT_EQ(WSTM_GetTransferError(h), -1);
    EXPECT_EQ(WSTM_Close(h), -1);
    BufferedFile_SetPlatform(nullptr);
}

}  // namespace
