// A recording past 2 GB: a sparse WAV file of 600,000,000 frames of 44.1 kHz
// 16-bit stereo (2.4 GB) with a 1 kHz tone in its last second and a marker
// on its last frame. At its own rate it becomes an RF64 file with the marker
// that libsndfile reads whole (the one test that writes 2 GB); as AIFF it
// is refused before anything is written.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "convert_fixture.h"
#include "tests/support/peer_tools.h"

namespace {

constexpr std::int64_t kFrames = 600000000;
constexpr int kRate = 44100;

// Frame k of the last second, both channels.
std::int16_t LastSecond(std::int64_t k) {
    return static_cast<std::int16_t>(std::lround(12000.0 * std::sin(k * 0.1424758)));
}

std::string Le(std::uint32_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i)
        s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return s;
}

// The 'cue ' chunk of one marker on the last frame.
const std::string kCue = "cue " + Le(28, 4) + Le(1, 4) + Le(0, 4) + Le(kFrames - 1, 4) + "data" +
                         std::string(8, '\0') + Le(kFrames - 1, 4);

class ConvertLarge : public ConvertTest {
  protected:
    void SetUp() override {
        const auto data = static_cast<std::uint32_t>(kFrames * 4);
        std::ofstream out(dir.Path("in.wav"), std::ios::binary);
        out << "RIFF" << Le(36 + data + 36, 4) << "WAVEfmt " << Le(16, 4) << Le(1, 2) << Le(2, 2)
            << Le(kRate, 4) << Le(kRate * 4, 4) << Le(4, 2) << Le(16, 2) << "data" << Le(data, 4);
        out.seekp(static_cast<std::streamoff>(44 + std::int64_t{data} - kRate * 4));
        for (int k = 0; k < kRate; ++k)
            out << Le(static_cast<std::uint16_t>(LastSecond(k)) * 0x10001u, 4);
        out << kCue;
        ASSERT_TRUE(out.good());
    }
};

TEST_F(ConvertLarge, OwnRateGivesAnRf64FileThatLibsndfileReads) {
    const testsupport::ChildResult r = Run({"in.wav", "-out=rf.wav"});
    ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
    const std::string path = dir.Path("rf.wav");
    // The marker after the samples, counted in the 64-bit RIFF size of
    // 'ds64' (libsndfile does not read the markers of RF64 files).
    std::ifstream file(path, std::ios::binary);
    std::string head(28, '\0'), trailer(kCue.size(), '\0');
    file.read(head.data(), 28);
    file.seekg(-static_cast<std::streamoff>(kCue.size()), std::ios::end);
    file.read(trailer.data(), static_cast<std::streamsize>(kCue.size()));
    file.close();  // a file held open cannot be removed on Windows
    EXPECT_EQ(head.substr(0, 4) + head.substr(8, 8), "RF64WAVEds64");
    std::uint64_t riff_size = 0;
    std::memcpy(&riff_size, head.data() + 20, 8);
    EXPECT_EQ(riff_size + 8, std::filesystem::file_size(path));
    EXPECT_EQ(trailer, kCue);
#if INTEROP_HAVE_SNDFILE_H
    interop::Sndfile sf;
    if (sf.ok()) {
        SF_INFO info{};
        SNDFILE* f = sf.open(path.c_str(), SFM_READ, &info);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(info.frames, kFrames);
        ASSERT_EQ(sf.seek(f, kFrames - kRate, SEEK_SET), kFrames - kRate);
        std::vector<int> last(2 * kRate);
        ASSERT_EQ(sf.readf_int(f, last.data(), kRate), kRate);
        sf.close(f);
        int wrong = 0;
        for (int k = 0; k < 2 * kRate; ++k)
            wrong += last[static_cast<std::size_t>(k)] != LastSecond(k / 2) * 65536;
        EXPECT_EQ(wrong, 0);
    }
#endif
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

TEST_F(ConvertLarge, AiffOutputIsRefusedBeforeAnythingIsWritten) {
    const testsupport::ChildResult r = Run({"in.wav", "-out=out.aif"});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_NE(r.out.find("Error e206 : Output file size becomes over 2GB.\n"), std::string::npos);
    EXPECT_NE(r.err.find("out.aif: an AIFF file stays below 2 GB; name a .wav output instead"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(dir.Exists("out.aif"));
}

}  // namespace
