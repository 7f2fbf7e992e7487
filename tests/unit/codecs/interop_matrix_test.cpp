// Every kind of file the wave stream writes, read back by two peers: sox and
// libsndfile. One test per container and depth, 1, 2, 4 and 6 channels in
// each, with an odd frame count (so 8-bit mono and the 3-byte depths end the
// sample data on an odd offset and a pad byte precedes the trailer) and
// markers and loops written after the sample data.
//
// Both peers must see the header we wrote (rate, channels, frames, depth)
// and every sample: the value written with the bits below the depth cleared,
// read back as a left-justified 32-bit value. libsndfile must also see each
// marker and loop at its frame.
//
// Checks left out, by peer and why:
// - sox, WAV of 12 and 20 bits: our 'fmt ' chunk holds the depth itself in
//   bits-per-sample with a whole-byte container in block-align (2 and 3
//   bytes per sample). sox takes the frame count from data size divided by
//   bits-per-sample instead of block-align (it says 401 frames for 301
//   frames of 12-bit mono) and refuses to decode the samples ("does not
//   support this data size"). Only its rate, channels and precision are
//   checked for these files; libsndfile checks all of it.
// - sox, markers and loops: sox reports none of them.
// - libsndfile, AIFF markers: its cue list of an AIFF file with loops leaves
//   out as many leading markers as the loops refer to, so the markers are
//   taken from its log of the 'MARK' chunk instead (identifier and position
//   of each). Loops come from its instrument call for both containers.
//
// Each test is skipped when its peer is not installed.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/support/file_fixtures.h"
#include "tests/unit/codecs/interop_peers.h"

namespace {

using interop::Loop;
using interop::Samples;

constexpr std::int32_t kRate = 22050;
constexpr std::int32_t kChannelCounts[] = {1, 2, 4, 6};

struct Depth {
    bool aiff;
    std::int32_t bits;
};

std::string Name(const Depth& d) {
    return std::string(d.aiff ? "Aiff" : "Wav") + std::to_string(d.bits) + "Bit";
}

// Failure messages name the case instead of dumping its bytes.
void PrintTo(const Depth& d, std::ostream* os) { *os << Name(d); }

// An odd frame count per channel count, so each file has its own length.
std::uint32_t FramesFor(std::int32_t channels) {
    return 293u + 4u * static_cast<std::uint32_t>(channels);
}

std::vector<std::int32_t> MarkersFor(std::uint32_t frames) {
    return {0, 20, static_cast<std::int32_t>(frames) - 1};
}

// The first loop starts on a marker (the AIFF writer reuses it), the second
// starts on the marker at frame 0 and ends at the end of the data.
std::vector<Loop> LoopsFor(std::uint32_t frames) {
    return {{20, 120}, {0, static_cast<std::int32_t>(frames)}};
}

Samples Expected(std::uint32_t frames, std::int32_t channels, std::int32_t bits) {
    Samples v;
    for (std::uint32_t i = 0; i < frames; ++i) {
        for (std::int32_t c = 0; c < channels; ++c)
            v.push_back(interop::KeepTopBits(interop::TestSample(i, c), bits));
    }
    return v;
}

std::string FileName(const Depth& d, std::int32_t channels) {
    std::string name = "m";
    name.append(std::to_string(d.bits)).append("_").append(std::to_string(channels));
    return name.append(d.aiff ? ".aif" : ".wav");
}

class OurFilesReadByPeers : public ::testing::TestWithParam<Depth> {
  protected:
    // Writes the file for this depth and channel count; empty when writing failed.
    std::string Write(std::int32_t channels) {
        const Depth d = GetParam();
        const std::uint32_t frames = FramesFor(channels);
        const std::string path = dir_.Path(FileName(d, channels));
        if (!interop::WriteThroughWaveStream(path, kRate, channels, d.bits, frames,
                                             MarkersFor(frames), LoopsFor(frames))) {
            return "";
        }
        return path;
    }

    filetest::ScratchDir dir_;
    filetest::ErrorCapture errors_;
};

TEST_P(OurFilesReadByPeers, SoxSeesTheHeaderAndEverySample) {
    if (!interop::HaveSox()) GTEST_SKIP() << "sox is not installed";
    const Depth d = GetParam();
    // See the head of this file: sox misreads WAV files of 12 and 20 bits.
    const bool sox_counts_frames = d.aiff || d.bits % 8 == 0;
    for (const std::int32_t channels : kChannelCounts) {
        SCOPED_TRACE(std::to_string(channels) + " channels");
        const std::string path = Write(channels);
        ASSERT_FALSE(path.empty()) << ::testing::PrintToString(errors_.lines());
        const std::uint32_t frames = FramesFor(channels);

        const interop::SoxHeader h = interop::SoxInfo(path);
        EXPECT_EQ(h.rate, kRate);
        EXPECT_EQ(h.channels, channels);
        // sox gives an AIFF file's container width, a WAV file's bits-per-sample.
        const long precision = d.aiff ? (d.bits + 7) / 8 * 8 : d.bits;
        EXPECT_EQ(h.precision, precision);
        if (!sox_counts_frames) continue;
        EXPECT_EQ(h.frames, static_cast<long>(frames));
        const bool unsigned_8 = !d.aiff && d.bits == 8;
        EXPECT_EQ(h.encoding, std::to_string(precision) + (unsigned_8 ? "-bit Unsigned Integer PCM"
                                                                      : "-bit Signed Integer PCM"));
        const Samples got = interop::SoxSamples(path, dir_.Path("sox.raw"));
        ASSERT_EQ(got.size(), frames * static_cast<std::size_t>(channels));
        EXPECT_EQ(got, Expected(frames, channels, d.bits));
    }
}

#if INTEROP_HAVE_SNDFILE_H

// What libsndfile calls the format of a file of ours.
int SndfileFormat(const Depth& d) {
    const int major = d.aiff ? SF_FORMAT_AIFF : SF_FORMAT_WAV;
    if (d.bits <= 8) return major | (d.aiff ? SF_FORMAT_PCM_S8 : SF_FORMAT_PCM_U8);
    if (d.bits <= 16) return major | SF_FORMAT_PCM_16;
    if (d.bits <= 24) return major | SF_FORMAT_PCM_24;
    return major | SF_FORMAT_PCM_32;
}

TEST_P(OurFilesReadByPeers, LibsndfileSeesTheHeaderSamplesMarkersAndLoops) {
    interop::Sndfile sf;
    if (!sf.ok()) GTEST_SKIP() << "libsndfile is not installed";
    const Depth d = GetParam();
    for (const std::int32_t channels : kChannelCounts) {
        SCOPED_TRACE(std::to_string(channels) + " channels");
        const std::string path = Write(channels);
        ASSERT_FALSE(path.empty()) << ::testing::PrintToString(errors_.lines());
        const std::uint32_t frames = FramesFor(channels);

        const interop::SndfileView v = interop::ReadWithSndfile(sf, path);
        ASSERT_TRUE(v.ok);
        EXPECT_EQ(v.info.samplerate, kRate);
        EXPECT_EQ(v.info.channels, channels);
        EXPECT_EQ(v.info.frames, static_cast<sf_count_t>(frames));
        // Depths between whole bytes are read in the next container up.
        EXPECT_EQ(v.info.format, SndfileFormat(d)) << std::hex << v.info.format;
        EXPECT_EQ(v.samples, Expected(frames, channels, d.bits));

        const std::vector<std::int32_t> markers = MarkersFor(frames);
        const std::vector<Loop> loops = LoopsFor(frames);
        if (d.aiff) {
            // Loop points without a marker get one after the given ones.
            const std::vector<long> positions = {0, 20, static_cast<long>(frames) - 1, 120,
                                                 static_cast<long>(frames)};
            ASSERT_EQ(v.logged_markers.size(), positions.size());
            for (std::size_t i = 0; i < positions.size(); ++i) {
                EXPECT_EQ(v.logged_markers[i].id, static_cast<int>(i));
                EXPECT_EQ(v.logged_markers[i].position, positions[i]) << "marker " << i;
            }
        } else {
            ASSERT_TRUE(v.has_cues);
            ASSERT_EQ(v.cues.cue_count, markers.size());
            for (std::size_t i = 0; i < markers.size(); ++i) {
                EXPECT_EQ(v.cues.cue_points[i].indx, static_cast<std::int32_t>(i));
                EXPECT_EQ(v.cues.cue_points[i].position, static_cast<std::uint32_t>(markers[i]))
                    << "marker " << i;
                EXPECT_EQ(v.cues.cue_points[i].sample_offset,
                          static_cast<std::uint32_t>(markers[i]))
                    << "marker " << i;
            }
        }
        ASSERT_TRUE(v.has_instrument);
        ASSERT_EQ(v.instrument.loop_count, static_cast<int>(loops.size()));
        for (std::size_t i = 0; i < loops.size(); ++i) {
            EXPECT_EQ(v.instrument.loops[i].mode, SF_LOOP_FORWARD) << "loop " << i;
            // libsndfile gives the end one past the last frame, as we do.
            EXPECT_EQ(v.instrument.loops[i].start, static_cast<std::uint32_t>(loops[i].start))
                << "loop " << i;
            EXPECT_EQ(v.instrument.loops[i].end, static_cast<std::uint32_t>(loops[i].end))
                << "loop " << i;
        }
    }
}

#endif  // INTEROP_HAVE_SNDFILE_H

TEST_P(OurFilesReadByPeers, WaveStreamReadsBackWhatItWrote) {
    // The reference the peers are held to: our own reading of the same files.
    const Depth d = GetParam();
    for (const std::int32_t channels : kChannelCounts) {
        SCOPED_TRACE(std::to_string(channels) + " channels");
        const std::string path = Write(channels);
        ASSERT_FALSE(path.empty()) << ::testing::PrintToString(errors_.lines());
        const std::uint32_t frames = FramesFor(channels);
        const interop::OurFile f = interop::ReadThroughWaveStream(path);
        ASSERT_TRUE(f.ok) << ::testing::PrintToString(errors_.lines());
        EXPECT_EQ(f.rate, kRate);
        EXPECT_EQ(f.channels, channels);
        EXPECT_EQ(f.bits, d.bits);
        EXPECT_EQ(f.frames, frames);
        EXPECT_EQ(f.samples, Expected(frames, channels, d.bits));
        const std::vector<Loop> loops = LoopsFor(frames);
        ASSERT_EQ(f.loops.size(), loops.size());
        for (std::size_t i = 0; i < loops.size(); ++i) {
            EXPECT_EQ(f.loops[i].start, loops[i].start);
            EXPECT_EQ(f.loops[i].end, loops[i].end);
        }
    }
}

const Depth kDepths[] = {{false, 8},  {false, 12}, {false, 16}, {false, 20},
                         {false, 24}, {false, 32}, {true, 8},   {true, 12},
                         {true, 16},  {true, 20},  {true, 24},  {true, 32}};

INSTANTIATE_TEST_SUITE_P(Formats, OurFilesReadByPeers, ::testing::ValuesIn(kDepths),
                         [](const ::testing::TestParamInfo<Depth>& info) {
                             return Name(info.param);
                         });

}  // namespace
