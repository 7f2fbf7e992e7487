// End-to-end conversions: WAV files written byte by byte with exact sample
// values, read back after the built tolmek converted them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace conv {

struct Loop {
    std::uint32_t start = 0;
    std::uint32_t end = 0;  // inclusive, as stored in the file
};

// A PCM WAV file: samples are the container values, interleaved.
struct WavFile {
    int rate = 44100;
    int channels = 1;
    int bits = 16;
    std::vector<std::int32_t> samples;
    std::vector<std::uint32_t> markers;  // 'cue ' sample offsets
    std::vector<Loop> loops;             // 'smpl' loops

    std::size_t frames() const {
        return channels > 0 ? samples.size() / static_cast<std::size_t>(channels) : 0;
    }
    std::int32_t at(std::size_t frame, int channel) const {
        return samples[frame * static_cast<std::size_t>(channels) +
                       static_cast<std::size_t>(channel)];
    }
};

// The bytes of `wav` ('fmt ', 'data', then 'cue ' and 'smpl' when present).
std::string EncodeWav(const WavFile& wav);
// Decodes what tolmek writes; false (with a failure recorded) otherwise.
bool DecodeWav(const std::string& bytes, WavFile* wav);

// A 16-bit file of `frames` frames whose sample k of channel c is f(k, c).
template <typename F>
WavFile MakeWav(int rate, int channels, std::size_t frames, F f) {
    WavFile wav;
    wav.rate = rate;
    wav.channels = channels;
    wav.samples.reserve(frames * static_cast<std::size_t>(channels));
    for (std::size_t k = 0; k < frames; ++k) {
        for (int c = 0; c < channels; ++c)
            wav.samples.push_back(f(k, c));
    }
    return wav;
}

// 16-bit stereo at 22050 Hz, six frames whose channel sum clips in a mono
// output in 4 of the 6: {1000, 2000}, {20000, 20000}, {32767, 32767},
// {-32768, -32768}, {-30000, 1000}, {-20000, -13000}.
WavFile LoudPairs();

// Standard output without the three banner lines.
std::string AfterBanner(const std::string& out);

// The parameter block of a report, as printed.
std::string ParameterBlock(const std::string& format_in, const std::string& format_out, int rate_in,
                           int rate_out, int ch_in, int ch_out, int bits_in, int bits_out,
                           long samples_in, long samples_out, const std::string& volume,
                           const std::string& mode = "QUALITY");

}  // namespace conv

// Runs tolmek in a fresh folder on files written there.
class ConvertTest : public ::testing::Test {
  protected:
    testsupport::ChildResult Run(const std::vector<std::string>& args) {
        return testsupport::RunTolmek(args, dir.path());
    }
    void Write(const std::string& name, const conv::WavFile& wav) {
        dir.WriteFile(name, conv::EncodeWav(wav));
    }
    conv::WavFile Read(const std::string& name) {
        conv::WavFile wav;
        EXPECT_TRUE(dir.Exists(name)) << name;
        if (dir.Exists(name)) {
            EXPECT_TRUE(conv::DecodeWav(dir.ReadFile(name), &wav)) << name;
        }
        return wav;
    }
    // Converts and expects the completion banner and exit code 0.
    conv::WavFile Convert(const std::vector<std::string>& args, const std::string& output) {
        testsupport::ChildResult r = Run(args);
        EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
        EXPECT_NE(r.out.find("||||||||||  Completed  ||||||||||\n"), std::string::npos) << r.out;
        return Read(output);
    }

    testsupport::TempDir dir;
};
