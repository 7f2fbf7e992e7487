// WAV files exchanged with two peers: sox (run as a program) and libsndfile
// (loaded at run time). Each test is skipped when its peer is missing.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#if __has_include(<sndfile.h>)
#include <dlfcn.h>
#include <sndfile.h>
#define WAV_TEST_HAVE_SNDFILE_H 1
#endif

#include "tests/support/file_fixtures.h"
#include "wavestream/wstm/wstm.h"

namespace {

using filetest::Bytes;
using filetest::ScratchDir;
using Samples = std::vector<std::int32_t>;

bool HaveSox() { return std::system("command -v sox >/dev/null 2>&1") == 0; }
bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }
std::string Quote(const std::string& s) { return "'" + s + "'"; }

// sox's reading of a file: every sample as a left-justified 32-bit value.
Samples SoxSamples(const std::string& path, const ScratchDir& dir) {
  const std::string raw = dir.Path("sox-wav.raw");
  if (!Shell("sox " + Quote(path) + " -t raw -e signed-integer -b 32 -L " + Quote(raw))) return {};
  const Bytes b = filetest::ReadFile(raw);
  Samples v;
  for (std::size_t i = 0; i + 4 <= b.size(); i += 4) {
    v.push_back(static_cast<std::int32_t>(b[i] | (b[i + 1] << 8) | (b[i + 2] << 16) |
                                          (static_cast<std::uint32_t>(b[i + 3]) << 24)));
  }
  return v;
}

std::string SoxInfo(const std::string& option, const std::string& path) {
  std::string out;
  FILE* p = popen(("sox --i " + option + " " + Quote(path) + " 2>/dev/null").c_str(), "r");
  if (p == nullptr) return out;
  char buf[256];
  while (std::fgets(buf, sizeof buf, p) != nullptr) out += buf;
  pclose(p);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

// Every sample of a file as the wave stream reads it.
Samples OurSamples(const std::string& path) {
  Samples v;
  WstmHandle* h = WSTM_Open(path.c_str());
  EXPECT_NE(h, nullptr) << path;
  if (h == nullptr) return v;
  std::vector<std::int32_t> frame(static_cast<std::size_t>(h->num_channels));
  for (std::uint32_t i = 0; i < h->num_samples; ++i) {
    WSTM_ReadSample(h, frame.data(), h->num_channels);
    v.insert(v.end(), frame.begin(), frame.end());
  }
  EXPECT_EQ(WSTM_Close(h), 0);
  return v;
}

// A ramp-and-noise file of our own, 300 frames.
std::string WriteOurs(const ScratchDir& dir, const std::string& name, std::int32_t channels,
                      std::int32_t bits, bool with_marks) {
  const std::string path = dir.Path(name);
  WstmHandle* h = WSTM_Create(path.c_str(), 22050, channels, bits, 300);
  EXPECT_NE(h, nullptr);
  std::vector<std::int32_t> frame(static_cast<std::size_t>(channels));
  for (std::uint32_t i = 0; i < 300; ++i) {
    for (std::int32_t c = 0; c < channels; ++c) {
      frame[static_cast<std::size_t>(c)] = static_cast<std::int32_t>(i * 2654435761u + static_cast<std::uint32_t>(c) * 977u);
    }
    WSTM_WriteSample(h, frame.data(), channels);
  }
  if (with_marks) {
    WSTM_SetNumMarkers(h, 2);
    WSTM_SetMarker(h, 0, 10);
    WSTM_SetMarker(h, 1, 250);
    WSTM_SetNumLoops(h, 1);
    WSTM_SetLoop(h, 0, 20, 120);
  }
  EXPECT_EQ(WSTM_Close(h), 0);
  return path;
}

TEST(WavInteropSox, FilesWrittenBySoxReadWithTheSameSamples) {
  if (!HaveSox()) GTEST_SKIP() << "sox is not installed";
  ScratchDir dir;
  // 8 and 16 bits plain PCM; 24 and 32 bits as sox writes them (the
  // extensible format with a 40-byte 'fmt '); 3 channels also extensible.
  struct Case {
    int bits;
    int channels;
  } cases[] = {{8, 1}, {16, 2}, {24, 2}, {32, 2}, {16, 3}};
  for (const Case& c : cases) {
    const std::string path = dir.Path("sox" + std::to_string(c.bits) + "_" + std::to_string(c.channels) + ".wav");
    ASSERT_TRUE(Shell("sox -R -n -r 22050 -c " + std::to_string(c.channels) + " -b " + std::to_string(c.bits) +
                      " " + Quote(path) + " synth 0.05 sine 440 sine 1000 square 300 vol 0.9"));
    const Samples want = SoxSamples(path, dir);
    ASSERT_FALSE(want.empty());
    EXPECT_EQ(OurSamples(path), want) << c.bits << " bits, " << c.channels << " channels";
  }
}

TEST(WavInteropSox, SoxAcceptsOurFiles) {
  if (!HaveSox()) GTEST_SKIP() << "sox is not installed";
  ScratchDir dir;
  // sox counts the frames of a plain PCM file from the bits per sample, so
  // only whole-byte depths are compared (12 and 20 bits read back in our own
  // round-trip tests).
  for (int bits : {8, 16, 24, 32}) {
    const std::string path = WriteOurs(dir, "ours" + std::to_string(bits) + ".wav", 2, bits, true);
    EXPECT_EQ(SoxInfo("-r", path), "22050");
    EXPECT_EQ(SoxInfo("-c", path), "2");
    EXPECT_EQ(SoxInfo("-s", path), "300") << bits;
    EXPECT_EQ(SoxInfo("-b", path), std::to_string(bits)) << bits;
    EXPECT_EQ(SoxSamples(path, dir), OurSamples(path)) << bits;
  }
}

#if WAV_TEST_HAVE_SNDFILE_H

// The few libsndfile calls the tests make, loaded from the shared library.
struct Sndfile {
  void* lib = nullptr;
  decltype(&sf_open) open = nullptr;
  decltype(&sf_close) close = nullptr;
  decltype(&sf_command) command = nullptr;
  decltype(&sf_readf_int) readf_int = nullptr;
  decltype(&sf_writef_int) writef_int = nullptr;
  decltype(&sf_set_string) set_string = nullptr;

  Sndfile() {
    lib = dlopen("libsndfile.so.1", RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr) return;
    open = reinterpret_cast<decltype(open)>(dlsym(lib, "sf_open"));
    close = reinterpret_cast<decltype(close)>(dlsym(lib, "sf_close"));
    command = reinterpret_cast<decltype(command)>(dlsym(lib, "sf_command"));
    readf_int = reinterpret_cast<decltype(readf_int)>(dlsym(lib, "sf_readf_int"));
    writef_int = reinterpret_cast<decltype(writef_int)>(dlsym(lib, "sf_writef_int"));
    set_string = reinterpret_cast<decltype(set_string)>(dlsym(lib, "sf_set_string"));
  }
  ~Sndfile() {
    if (lib != nullptr) dlclose(lib);
  }
  Sndfile(const Sndfile&) = delete;
  Sndfile& operator=(const Sndfile&) = delete;
  bool ok() const { return open && close && command && readf_int && writef_int && set_string; }

  // Every sample as libsndfile reads it (left-justified ints).
  Samples Read(const std::string& path, SF_INFO* info) const {
    Samples v;
    *info = SF_INFO{};
    SNDFILE* f = open(path.c_str(), SFM_READ, info);
    if (f == nullptr) return v;
    v.resize(static_cast<std::size_t>(info->frames * info->channels));
    readf_int(f, v.data(), info->frames);
    close(f);
    return v;
  }
};

// Writes 300 frames of 2 channels through libsndfile with a title (a LIST
// chunk), two cue points and one sustain loop.
bool WriteWithLibsndfile(const Sndfile& sf, const std::string& path, int subtype) {
  SF_INFO info{};
  info.samplerate = 32000;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | subtype;
  SNDFILE* f = sf.open(path.c_str(), SFM_WRITE, &info);
  if (f == nullptr) return false;
  sf.set_string(f, SF_STR_TITLE, "interop");
  SF_CUES cues{};
  cues.cue_count = 2;
  cues.cue_points[0].indx = 7;
  cues.cue_points[0].position = 11;
  cues.cue_points[0].fcc_chunk = 0x61746164;  // "data"
  cues.cue_points[0].sample_offset = 11;
  cues.cue_points[1].indx = 8;
  cues.cue_points[1].position = 222;
  cues.cue_points[1].fcc_chunk = 0x61746164;
  cues.cue_points[1].sample_offset = 222;
  sf.command(f, SFC_SET_CUE, &cues, sizeof cues);
  SF_INSTRUMENT inst{};
  inst.basenote = 60;
  inst.velocity_hi = 127;
  inst.key_hi = 127;
  inst.loop_count = 1;
  inst.loops[0].mode = SF_LOOP_FORWARD;
  inst.loops[0].start = 30;
  inst.loops[0].end = 129;
  inst.loops[0].count = 0;
  sf.command(f, SFC_SET_INSTRUMENT, &inst, sizeof inst);
  std::vector<int> frames(600);
  for (std::size_t i = 0; i < frames.size(); ++i) frames[i] = static_cast<int>(i * 2654435761u);
  sf.writef_int(f, frames.data(), 300);
  return sf.close(f) == 0;
}

TEST(WavInteropLibsndfile, FilesWithListCueAndSmplReadTheSame) {
  Sndfile sf;
  if (!sf.ok()) GTEST_SKIP() << "libsndfile is not installed";
  ScratchDir dir;
  for (int subtype : {SF_FORMAT_PCM_U8, SF_FORMAT_PCM_16, SF_FORMAT_PCM_24, SF_FORMAT_PCM_32}) {
    const std::string path = dir.Path("sf" + std::to_string(subtype) + ".wav");
    ASSERT_TRUE(WriteWithLibsndfile(sf, path, subtype));
    SF_INFO info;
    const Samples want = sf.Read(path, &info);
    ASSERT_EQ(want.size(), 600u);
    EXPECT_EQ(OurSamples(path), want) << subtype;

    WstmHandle* h = WSTM_Open(path.c_str());
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(WSTM_GetSamplingRate(h), 32000);
    EXPECT_EQ(WSTM_GetNumSamples(h), 300u);
    ASSERT_EQ(WSTM_GetNumMarkers(h), 2) << subtype;
    std::int32_t position = -1, start = -1, end = -1;
    EXPECT_EQ(WSTM_GetMarker(h, 0, &position), 0);
    EXPECT_EQ(position, 11);
    EXPECT_EQ(h->marker_id[0], 7);
    EXPECT_EQ(WSTM_GetMarker(h, 1, &position), 0);
    EXPECT_EQ(position, 222);
    ASSERT_EQ(WSTM_GetNumLoops(h), 1) << subtype;
    EXPECT_EQ(WSTM_GetLoop(h, 0, &start, &end), 0);
    EXPECT_EQ(start, 30);
    EXPECT_EQ(end, 129);  // both sides exclusive; the file holds 128
    EXPECT_EQ(WSTM_Close(h), 0);
  }
}

TEST(WavInteropLibsndfile, LibsndfileReadsOurHeaderSamplesMarkersAndLoops) {
  Sndfile sf;
  if (!sf.ok()) GTEST_SKIP() << "libsndfile is not installed";
  ScratchDir dir;
  for (int bits : {8, 16, 24, 32}) {
    const std::string name = std::string("o").append(std::to_string(bits)).append(".wav");
    const std::string path = WriteOurs(dir, name, 2, bits, true);
    SF_INFO info;
    const Samples got = sf.Read(path, &info);
    EXPECT_EQ(info.samplerate, 22050);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.frames, 300);
    const int subtype = info.format & SF_FORMAT_SUBMASK;
    EXPECT_EQ(subtype, bits == 8 ? SF_FORMAT_PCM_U8 : bits == 16 ? SF_FORMAT_PCM_16 : bits == 24 ? SF_FORMAT_PCM_24 : SF_FORMAT_PCM_32);
    EXPECT_EQ(got, OurSamples(path)) << bits;

    SF_INFO again{};
    SNDFILE* f = sf.open(path.c_str(), SFM_READ, &again);
    ASSERT_NE(f, nullptr);
    SF_CUES cues{};
    ASSERT_EQ(sf.command(f, SFC_GET_CUE, &cues, sizeof cues), SF_TRUE) << bits;
    ASSERT_EQ(cues.cue_count, 2u);
    EXPECT_EQ(cues.cue_points[0].sample_offset, 10u);
    EXPECT_EQ(cues.cue_points[1].sample_offset, 250u);
    SF_INSTRUMENT inst{};
    ASSERT_EQ(sf.command(f, SFC_GET_INSTRUMENT, &inst, sizeof inst), SF_TRUE) << bits;
    ASSERT_EQ(inst.loop_count, 1);
    EXPECT_EQ(inst.loops[0].start, 20u);
    EXPECT_EQ(inst.loops[0].end, 120u);  // exclusive on both sides; the file holds 119
    sf.close(f);
  }
}

TEST(WavInteropLibsndfile, OddLengthFileWithMarkersIsReadByLibsndfile) {
  Sndfile sf;
  if (!sf.ok()) GTEST_SKIP() << "libsndfile is not installed";
  ScratchDir dir;
  // 301 frames of 8-bit mono: odd sample data, so a pad byte precedes 'cue '.
  const std::string odd = dir.Path("odd3.wav");
  WstmHandle* h = WSTM_Create(odd.c_str(), 8000, 1, 8, 301);
  ASSERT_NE(h, nullptr);
  WSTM_SetNumMarkers(h, 1);
  WSTM_SetMarker(h, 0, 5);
  ASSERT_EQ(WSTM_Close(h), 0);
  SF_INFO info{};
  SNDFILE* f = sf.open(odd.c_str(), SFM_READ, &info);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(info.frames, 301);
  SF_CUES cues{};
  ASSERT_EQ(sf.command(f, SFC_GET_CUE, &cues, sizeof cues), SF_TRUE);
  ASSERT_EQ(cues.cue_count, 1u);
  EXPECT_EQ(cues.cue_points[0].sample_offset, 5u);
  sf.close(f);
}

#endif  // WAV_TEST_HAVE_SNDFILE_H

}  // namespace
