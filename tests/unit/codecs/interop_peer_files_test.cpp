// Files written by the peers, read through the wave stream: sox (WAV and
// AIFF, several depths and channel counts), libsndfile (WAV, extensible WAV
// and AIFF, with cue points, loops and a LIST chunk), Python's wave module
// (WAV of 1 to 4 bytes per sample, mono and stereo) and, where installed,
// ffmpeg. The header must say what the peer wrote and every sample must equal
// the peer's own reading (or, for Python, the bytes it was given). Each test
// is skipped when its peer is not installed.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/file_fixtures.h"
#include "tests/unit/codecs/interop_peers.h"

namespace {

using interop::Samples;

constexpr std::int32_t kChannelCounts[] = {1, 2, 4, 6};
constexpr std::uint32_t kFrames = 301;

class PeerFilesReadByWaveStream : public ::testing::Test {
  protected:
    std::string Path(const std::string& stem, int bits, int channels, const char* ext) const {
        std::string name = stem;
        name.append(std::to_string(bits)).append("_").append(std::to_string(channels)).append(ext);
        return dir_.Path(name);
    }

    // What WaveStream read of the file's layout: rate, channels, bits, frames.
    static void ExpectLayout(const interop::OurFile& f, int rate, int channels, int bits,
                             std::uint32_t frames) {
        EXPECT_EQ(f.rate, rate);
        EXPECT_EQ(f.channels, channels);
        EXPECT_EQ(f.bits, bits);
        EXPECT_EQ(f.frames, frames);
    }

    filetest::ScratchDir dir_;
    filetest::ErrorCapture errors_;
};

TEST_F(PeerFilesReadByWaveStream, SoxWavAndAiffFiles) {
    if (!interop::HaveSox()) GTEST_SKIP() << "sox is not installed";
    // sox writes 8-bit WAV unsigned, AIFF signed; WAV of more than 2 channels
    // or more than 16 bits in the extensible format.
    for (const char* ext : {".wav", ".aif"}) {
        for (const int bits : {8, 16, 24, 32}) {
            for (const int channels : kChannelCounts) {
                SCOPED_TRACE(std::string(ext) + " " + std::to_string(bits) + " bits, " +
                             std::to_string(channels) + " channels");
                const std::string path = Path("sox", bits, channels, ext);
                ASSERT_TRUE(interop::Shell(
                    "sox -R -r 11025 -c " + std::to_string(channels) + " -n -b " +
                    std::to_string(bits) + " " + interop::Quote(path) + " synth " +
                    std::to_string(kFrames) + "s sine 440 square 1000 noise sine 3000 vol 0.95"));
                const Samples want = interop::SoxSamples(path, dir_.Path("sox.raw"));
                ASSERT_EQ(want.size(), kFrames * static_cast<std::size_t>(channels));
                const interop::OurFile f = interop::ReadThroughWaveStream(path);
                ASSERT_TRUE(f.ok) << ::testing::PrintToString(errors_.lines());
                ExpectLayout(f, 11025, channels, bits, kFrames);
                EXPECT_EQ(f.samples, want);
            }
        }
    }
}

// Python's wave module writes plain PCM WAV of 1 to 4 bytes per sample.
// Bytes b(k) = (k * 151 + 7) mod 256 of the sample data are compared after
// the reading: little-endian, 8-bit unsigned, left-justified.
Samples ExpectedFromPythonBytes(int width, int channels) {
    const std::size_t count = kFrames * static_cast<std::size_t>(channels);
    Samples v;
    for (std::size_t s = 0; s < count; ++s) {
        std::uint32_t raw = 0;
        for (int k = 0; k < width; ++k) {
            const std::size_t index =
                s * static_cast<std::size_t>(width) + static_cast<std::size_t>(k);
            raw |= static_cast<std::uint32_t>((index * 151 + 7) % 256) << (8 * k);
        }
        raw <<= 32 - 8 * width;
        if (width == 1) raw ^= 0x80000000u;  // unsigned to signed
        v.push_back(static_cast<std::int32_t>(raw));
    }
    return v;
}

TEST_F(PeerFilesReadByWaveStream, PythonWaveModuleFiles) {
    if (!interop::HavePython()) GTEST_SKIP() << "python3 is not installed";
    for (const int width : {1, 2, 3, 4}) {
        for (const int channels : {1, 2}) {
            SCOPED_TRACE(std::to_string(width * 8) + " bits, " + std::to_string(channels) +
                         " channels");
            const std::string path = Path("py", width * 8, channels, ".wav");
            const std::string script =
                "import sys, wave\n"
                "w = wave.open(sys.argv[1], 'wb')\n"
                "w.setnchannels(int(sys.argv[2])); w.setsampwidth(int(sys.argv[3])); w.setframerate(44100)\n"
                "n = " +
                std::to_string(kFrames) +
                " * int(sys.argv[2]) * int(sys.argv[3])\n"
                "w.writeframes(bytes((k * 151 + 7) % 256 for k in range(n)))\n"
                "w.close()\n";
            ASSERT_TRUE(interop::Shell("python3 -c " + interop::Quote(script) + " " +
                                       interop::Quote(path) + " " + std::to_string(channels) + " " +
                                       std::to_string(width)))
                << "python3 could not write the file";
            const interop::OurFile f = interop::ReadThroughWaveStream(path);
            ASSERT_TRUE(f.ok) << ::testing::PrintToString(errors_.lines());
            ExpectLayout(f, 44100, channels, width * 8, kFrames);
            EXPECT_EQ(f.samples, ExpectedFromPythonBytes(width, channels));
        }
    }
}

#if INTEROP_HAVE_SNDFILE_H

// Writes kFrames frames through libsndfile with a title (a LIST chunk in
// WAV), three cue points with their own identifiers and two forward loops.
// Gives the samples handed to libsndfile, or nothing when it failed.
Samples WriteWithSndfile(const interop::Sndfile& sf, const std::string& path, int format,
                         int channels) {
    SF_INFO info{};
    info.samplerate = 32000;
    info.channels = channels;
    info.format = format;
    SNDFILE* f = sf.open(path.c_str(), SFM_WRITE, &info);
    if (f == nullptr) return {};
    sf.set_string(f, SF_STR_TITLE, "interop");
    SF_CUES cues{};
    cues.cue_count = 3;
    for (std::uint32_t i = 0; i < 3; ++i) {
        cues.cue_points[i].indx = static_cast<std::int32_t>(7 + i);
        cues.cue_points[i].position = 11 + 100 * i;
        cues.cue_points[i].sample_offset = 11 + 100 * i;
        cues.cue_points[i].fcc_chunk = 0x61746164;  // "data"
    }
    sf.command(f, SFC_SET_CUE, &cues, sizeof cues);
    SF_INSTRUMENT inst{};
    inst.basenote = 60;
    inst.velocity_hi = 127;
    inst.key_hi = 127;
    inst.loop_count = 2;
    inst.loops[0] = {SF_LOOP_FORWARD, 30, 129, 0};
    inst.loops[1] = {SF_LOOP_FORWARD, 150, 250, 0};
    sf.command(f, SFC_SET_INSTRUMENT, &inst, sizeof inst);
    Samples samples(kFrames * static_cast<std::size_t>(channels));
    for (std::uint32_t i = 0; i < kFrames; ++i) {
        for (int c = 0; c < channels; ++c)
            samples[i * channels + c] = interop::TestSample(i, c);
    }
    const sf_count_t written = sf.writef_int(f, samples.data(), kFrames);
    if (sf.close(f) != 0 || written != kFrames) return {};
    return samples;
}

struct SndfileCase {
    int format;
    int bits;
    const char* ext;
};

std::string Describe(const SndfileCase& c, int channels) {
    const int major = c.format & SF_FORMAT_TYPEMASK;
    const char* kind = major == SF_FORMAT_AIFF    ? "AIFF"
                       : major == SF_FORMAT_WAVEX ? "extensible WAV"
                                                  : "WAV";
    return std::string(kind) + " " + std::to_string(c.bits) + " bits, " + std::to_string(channels) +
           " channels";
}

// The frame count and every sample must equal libsndfile's own reading of
// its file, and the samples it was given, with the bits below the depth
// cleared, must lead them. (libsndfile ends 8-bit mono AIFF data of an odd
// frame count with one more frame of silence instead of a pad byte, and
// counts that frame in 'COMM'.)
void ExpectSameSamples(const interop::Sndfile& sf, const std::string& path,
                       const interop::OurFile& f, const Samples& given, int bits) {
    const interop::SndfileView v = interop::ReadWithSndfile(sf, path);
    ASSERT_TRUE(v.ok);
    EXPECT_EQ(f.frames, static_cast<std::uint32_t>(v.info.frames));
    EXPECT_EQ(f.samples, v.samples);
    ASSERT_GE(f.samples.size(), given.size());
    Samples kept(given.size());
    for (std::size_t i = 0; i < given.size(); ++i)
        kept[i] = interop::KeepTopBits(given[i], bits);
    EXPECT_EQ(
        Samples(f.samples.begin(), f.samples.begin() + static_cast<std::ptrdiff_t>(given.size())),
        kept);
}

// Writes `path` with libsndfile as case c says and reads it through
// WaveStream, which must take it: the rate, channels and bits written, and
// the samples (see ExpectSameSamples).
void ReadBackSndfileCase(const interop::Sndfile& sf, const SndfileCase& c, int channels,
                         const std::string& path, const filetest::ErrorCapture& errors,
                         interop::OurFile* f) {
    const Samples given = WriteWithSndfile(sf, path, c.format, channels);
    ASSERT_FALSE(given.empty());
    *f = interop::ReadThroughWaveStream(path);
    ASSERT_TRUE(f->ok) << ::testing::PrintToString(errors.lines());
    EXPECT_EQ(f->rate, 32000);
    EXPECT_EQ(f->channels, channels);
    EXPECT_EQ(f->bits, c.bits);
    ExpectSameSamples(sf, path, *f, given, c.bits);
}

TEST_F(PeerFilesReadByWaveStream, LibsndfileWavFilesWithCuesLoopsAndList) {
    interop::Sndfile sf;
    if (!sf.ok()) GTEST_SKIP() << "libsndfile is not installed";
    const SndfileCase cases[] = {{SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 8, ".wav"},
                                 {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 16, ".wav"},
                                 {SF_FORMAT_WAV | SF_FORMAT_PCM_24, 24, ".wav"},
                                 {SF_FORMAT_WAV | SF_FORMAT_PCM_32, 32, ".wav"},
                                 {SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, 16, ".wav"},
                                 {SF_FORMAT_WAVEX | SF_FORMAT_PCM_24, 24, ".wav"},
                                 {SF_FORMAT_WAVEX | SF_FORMAT_PCM_32, 32, ".wav"}};
    for (const SndfileCase& c : cases) {
        for (const int channels : kChannelCounts) {
            SCOPED_TRACE(Describe(c, channels));
            const char* stem = (c.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAVEX ? "sfx" : "sf";
            interop::OurFile f;
            ASSERT_NO_FATAL_FAILURE(ReadBackSndfileCase(
                sf, c, channels, Path(stem, c.bits, channels, c.ext), errors_, &f));
            EXPECT_EQ(f.frames, kFrames);
            EXPECT_EQ(f.marker_ids, (std::vector<std::int32_t>{7, 8, 9}));
            EXPECT_EQ(f.markers, (std::vector<std::int32_t>{11, 111, 211}));
            // libsndfile stores the last frame of a loop; ours is one past it.
            ASSERT_EQ(f.loops.size(), 2u);
            EXPECT_EQ(f.loops[0].start, 30);
            EXPECT_EQ(f.loops[0].end, 129);
            EXPECT_EQ(f.loops[1].start, 150);
            EXPECT_EQ(f.loops[1].end, 250);
        }
    }
}

TEST_F(PeerFilesReadByWaveStream, LibsndfileAiffFiles) {
    interop::Sndfile sf;
    if (!sf.ok()) GTEST_SKIP() << "libsndfile is not installed";
    const SndfileCase cases[] = {{SF_FORMAT_AIFF | SF_FORMAT_PCM_S8, 8, ".aiff"},
                                 {SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 16, ".aiff"},
                                 {SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 24, ".aiff"},
                                 {SF_FORMAT_AIFF | SF_FORMAT_PCM_32, 32, ".aiff"}};
    for (const SndfileCase& c : cases) {
        for (const int channels : kChannelCounts) {
            SCOPED_TRACE(Describe(c, channels));
            interop::OurFile f;
            ASSERT_NO_FATAL_FAILURE(ReadBackSndfileCase(
                sf, c, channels, Path("sf", c.bits, channels, c.ext), errors_, &f));
        }
    }
}

// ffmpeg (not installed by CI; skipped without it) puts a LIST chunk before
// the sample data and writes WAV of more than 2 channels in the extensible
// format. libsndfile's reading of its files is the reference.
TEST_F(PeerFilesReadByWaveStream, FfmpegWavAndAiffFiles) {
    interop::Sndfile sf;
    if (!sf.ok()) GTEST_SKIP() << "libsndfile is not installed";
    if (!interop::HaveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
    struct Case {
        const char* codec;
        int bits;
        int channels;
        const char* ext;
    } cases[] = {{"pcm_u8", 8, 1, ".wav"},      {"pcm_s16le", 16, 2, ".wav"},
                 {"pcm_s24le", 24, 6, ".wav"},  {"pcm_s32le", 32, 4, ".wav"},
                 {"pcm_s8", 8, 1, ".aiff"},     {"pcm_s16be", 16, 2, ".aiff"},
                 {"pcm_s24be", 24, 6, ".aiff"}, {"pcm_s32be", 32, 4, ".aiff"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.codec) + c.ext + ", " + std::to_string(c.channels) +
                     " channels");
        const std::string path = Path(std::string("ff_") + c.codec, c.bits, c.channels, c.ext);
        ASSERT_TRUE(interop::Shell(
            "ffmpeg -nostdin -loglevel error -y -f lavfi -i "
            "'sine=frequency=440:sample_rate=16000:duration=0.02' -af volume=0.9 -ac " +
            std::to_string(c.channels) + " -c:a " + c.codec + " " + interop::Quote(path)));
        const interop::SndfileView v = interop::ReadWithSndfile(sf, path);
        ASSERT_TRUE(v.ok);
        ASSERT_GT(v.info.frames, 0);
        const interop::OurFile f = interop::ReadThroughWaveStream(path);
        ASSERT_TRUE(f.ok) << ::testing::PrintToString(errors_.lines());
        ExpectLayout(f, 16000, c.channels, c.bits, static_cast<std::uint32_t>(v.info.frames));
        EXPECT_EQ(f.samples, v.samples);
    }
}

TEST_F(PeerFilesReadByWaveStream, LibsndfileAiffMarkersAndLoops) {
    interop::Sndfile sf;
    if (!sf.ok()) GTEST_SKIP() << "libsndfile is not installed";
    const std::string path = Path("sfm", 16, 2, ".aiff");
    ASSERT_FALSE(WriteWithSndfile(sf, path, SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 2).empty());
    const filetest::Bytes bytes = filetest::ReadFile(path);
    const std::string text(bytes.begin(), bytes.end());
    if (text.find("MARK") == std::string::npos || text.find("INST") == std::string::npos) {
        GTEST_SKIP() << "this libsndfile writes no MARK or INST chunk to AIFF files";
    }
    const interop::OurFile f = interop::ReadThroughWaveStream(path);
    ASSERT_TRUE(f.ok) << ::testing::PrintToString(errors_.lines());
    ASSERT_GE(f.loops.size(), 1u);
    EXPECT_EQ(f.loops[0].start, 30);
    EXPECT_EQ(f.loops[0].end, 129);
    for (const std::int32_t position : {11, 111, 211}) {
        EXPECT_NE(std::find(f.markers.begin(), f.markers.end(), position), f.markers.end())
            << position;
    }
}

#endif  // INTEROP_HAVE_SNDFILE_H

}  // namespace
