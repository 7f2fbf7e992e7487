// A recording past 2 GB: a sparse WAV file of 600,000,000 frames of 44.1 kHz
// 16-bit stereo (2.4 GB, 3 h 46 min) with a 440 Hz tone in its first second,
// a 1 kHz tone in its last and a marker at each end. It converts to 8 kHz
// mono with the last tone at the end; at its own rate it becomes an RF64
// file with its markers that libsndfile and ffprobe read whole (the one
// test that writes 2 GB); as AIFF it is refused before anything is written.
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
constexpr double kPi = 3.14159265358979323846;

// Sample k (both channels) of the input.
std::int16_t InputSample(std::int64_t k) {
    const double hz = k < kRate ? 440.0 : (k >= kFrames - kRate ? 1000.0 : 0.0);
    return static_cast<std::int16_t>(std::lround(12000.0 * std::sin(2 * kPi * hz * k / kRate)));
}

std::string Le(std::uint32_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i)
        s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return s;
}

// One second of frames from frame `first` on, as the file stores them.
std::string Second(std::int64_t first) {
    std::string s;
    for (std::int64_t k = first; k < first + kRate; ++k)
        s += Le(static_cast<std::uint16_t>(InputSample(k)), 2) +
             Le(static_cast<std::uint16_t>(InputSample(k)), 2);
    return s;
}

class ConvertLarge : public ConvertTest {
  protected:
    void SetUp() override {
        const auto data = static_cast<std::uint32_t>(kFrames * 4);
        std::string cue = "cue " + Le(52, 4) + Le(2, 4);
        for (std::uint32_t i = 0; i < 2; ++i) {
            const std::uint32_t at = i == 0 ? 0 : kFrames - 1;
            cue += Le(i, 4) + Le(at, 4) + "data" + Le(0, 4) + Le(0, 4) + Le(at, 4);
        }
        const std::string head = "RIFF" + Le(36 + data + 60, 4) + "WAVEfmt " + Le(16, 4) +
                                 Le(1, 2) + Le(2, 2) + Le(kRate, 4) + Le(kRate * 4, 4) + Le(4, 2) +
                                 Le(16, 2) + "data" + Le(data, 4);
        std::ofstream out(dir.Path("in.wav"), std::ios::binary);
        out << head << Second(0);
        out.seekp(static_cast<std::streamoff>(44 + std::int64_t{data} - kRate * 4));
        out << Second(kFrames - kRate) << cue;  // the file's end: no byte after it is zero
        ASSERT_TRUE(out.good());
    }
};

TEST_F(ConvertLarge, ToEightKilohertzMonoEndsWithTheLastTone) {
    const testsupport::ChildResult r =
        Run({"in.wav", "-out=small.wav", "-freq=8000", "-ch=1", "-mode=speed"});
    ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
    const std::int64_t frames = 108843537;  // 600,000,000 * 8000 / 44100, rounded
    std::ifstream in(dir.Path("small.wav"), std::ios::binary);
    in.seekg(44 + (frames - 16000) * 2);
    std::vector<std::int16_t> tail(16000);
    in.read(reinterpret_cast<char*>(tail.data()), 32000);
    ASSERT_TRUE(in.good());
    double before = 0, last = 0;
    for (int i = 0; i < 8000; ++i) {
        before = std::max(before, std::fabs(tail[static_cast<std::size_t>(i)]));
        last = std::max(last, std::fabs(tail[static_cast<std::size_t>(8000 + i)]));
    }
    EXPECT_LT(before, 700);  // silence, but for the filter's ringing next to the tone
    EXPECT_GT(last, 9000);
}

TEST_F(ConvertLarge, OwnRateGivesAnRf64FileThatThePeersRead) {
    const testsupport::ChildResult r = Run({"in.wav", "-out=rf.wav"});
    ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
    const std::string path = dir.Path("rf.wav");
    // The RF64 head; the marker trailer at the end, counted in the 64-bit
    // RIFF size of 'ds64' (libsndfile does not read markers of RF64 files).
    std::ifstream file(path, std::ios::binary);
    std::string head(28, '\0'), trailer(60, '\0');
    file.read(head.data(), 28);
    file.seekg(-60, std::ios::end);
    file.read(trailer.data(), 60);
    ASSERT_TRUE(file.good());
    EXPECT_EQ(head.substr(0, 4) + head.substr(8, 8), "RF64WAVEds64");
    std::uint64_t riff_size = 0;
    std::memcpy(&riff_size, head.data() + 20, 8);
    EXPECT_EQ(riff_size + 8, std::filesystem::file_size(path));
    EXPECT_EQ(trailer.substr(0, 12), "cue " + Le(52, 4) + Le(2, 4));
    EXPECT_EQ(trailer.substr(36), Le(1, 4) + Le(kFrames - 1, 4) + "data" + std::string(8, '\0') +
                                      Le(kFrames - 1, 4));
#if INTEROP_HAVE_SNDFILE_H
    interop::Sndfile sf;
    if (sf.ok()) {
        SF_INFO info{};
        SNDFILE* f = sf.open(path.c_str(), SFM_READ, &info);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(info.frames, kFrames);
        EXPECT_EQ(info.channels, 2);
        ASSERT_EQ(sf.seek(f, kFrames - kRate, SEEK_SET), kFrames - kRate);
        std::vector<int> last(2 * kRate);
        ASSERT_EQ(sf.readf_int(f, last.data(), kRate), kRate);
        sf.close(f);
        int wrong = 0;
        for (std::int64_t k = 0; k < 2 * kRate; ++k)
            wrong += last[static_cast<std::size_t>(k)] != InputSample(kFrames - kRate + k / 2) * 65536;
        EXPECT_EQ(wrong, 0);
    }
#endif
    if (interop::HaveProgram("ffprobe")) {
        const std::string said = dir.Path("ffprobe.txt");
        ASSERT_TRUE(interop::Shell("ffprobe -v error -show_entries stream=duration_ts -o " +
                                   interop::Quote(said) + " " + interop::Quote(path)));
        std::ifstream text(said);
        const std::string got((std::istreambuf_iterator<char>(text)), {});
        EXPECT_NE(got.find("duration_ts=600000000"), std::string::npos) << got;
    }
    std::filesystem::remove(path);
}

TEST_F(ConvertLarge, AiffOutputIsRefusedBeforeAnythingIsWritten) {
    const testsupport::ChildResult r = Run({"in.wav", "-out=out.aif"});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_NE(r.out.find("Error e206 : Output file size becomes over 2GB.\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.err.find("out.aif: an AIFF file stays below 2 GB; name a .wav output instead"),
              std::string::npos)
        << r.err;
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 1u);  // the input alone
}

}  // namespace
