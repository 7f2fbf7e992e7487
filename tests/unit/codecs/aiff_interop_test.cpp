// AIFF files exchanged with two peers: sox (run as a program) and libsndfile
// (loaded at run time). Each test is skipped when its peer is missing.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#if __has_include(<sndfile.h>)
#include <dlfcn.h>
#include <sndfile.h>
#define AIFF_TEST_HAVE_SNDFILE_H 1
#endif

#include "tests/unit/codecs/aiff_test_util.h"

namespace {

using namespace aifftest;
using filetest::ErrorCapture;
using filetest::ScratchDir;

bool HaveSox() { return std::system("command -v sox >/dev/null 2>&1") == 0; }

bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// sox's own reading of a file: every sample as a left-justified 32-bit value.
std::vector<std::int32_t> SoxSamples(const std::string& path, const ScratchDir& dir) {
  const std::string raw = dir.Path("sox.raw");
  if (!Shell("sox " + Quote(path) + " -t raw -e signed-integer -b 32 -B " + Quote(raw))) return {};
  const Bytes b = filetest::ReadFile(raw);
  std::vector<std::int32_t> v;
  for (std::size_t i = 0; i + 4 <= b.size(); i += 4) v.push_back(static_cast<std::int32_t>(BE32(b, i)));
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

// Every sample of a decoded file, frame by frame.
std::vector<std::int32_t> OurSamples(Handle& h) {
  std::vector<std::int32_t> v;
  std::vector<std::int32_t> frame(static_cast<std::size_t>(h->num_channels));
  for (std::uint32_t i = 0; i < h->num_samples; ++i) {
    (void)h->read_sample(h.get(), frame.data(), h->num_channels);
    v.insert(v.end(), frame.begin(), frame.end());
  }
  return v;
}

// A file of ours with a ramp through the whole range, two markers and two loops.
void WriteOurs(const std::string& path, std::int32_t bits, std::int32_t channels,
               std::uint32_t frames) {
  std::int32_t status = 0;
  Handle h = EncodeNew(path, 32000, channels, bits, frames, &status);
  ASSERT_EQ(status, 0);
  std::vector<std::int32_t> frame(static_cast<std::size_t>(channels));
  for (std::uint32_t i = 0; i < frames; ++i) {
    for (std::int32_t c = 0; c < channels; ++c)
      frame[c] = static_cast<std::int32_t>(0x80000000u + (i * 0x01010101u) * (c + 1));
    (void)h->write_sample(h.get(), frame.data(), channels);
  }
  h->num_markers = 2;
  h->marker_position[0] = 10;
  h->marker_position[1] = 333;
  h->num_loops = 2;
  h->loop_start[0] = 100;
  h->loop_end[0] = 200;
  h->loop_start[1] = 10;
  h->loop_end[1] = 333;
  Finish(h);
}

class AiffInterop : public ::testing::Test {
 protected:
  ScratchDir dir_;
  ErrorCapture errors_;
};

TEST_F(AiffInterop, FilesWrittenBySoxReadWithTheSameSamples) {
  if (!HaveSox()) GTEST_SKIP() << "sox is not installed";
  for (const int bits : {8, 16, 24, 32}) {
    SCOPED_TRACE(bits);
    const std::string path = dir_.Path("sox" + std::to_string(bits) + ".aiff");
    ASSERT_TRUE(Shell("sox -R -n -r 22050 -c 2 -b " + std::to_string(bits) + " " + Quote(path) +
                    " synth 0.05 sine 440 sine 1000 gain -1"));
    std::int32_t status = 0;
    Handle h = DecodeBytes(dir_, filetest::ReadFile(path), &status);
    ASSERT_EQ(status, 0) << ::testing::PrintToString(errors_.lines());
    EXPECT_EQ(h->sampling_rate, 22050);
    EXPECT_EQ(h->num_channels, 2);
    EXPECT_EQ(h->num_bits, bits);
    EXPECT_EQ(std::to_string(h->num_samples), SoxInfo("-s", path));
    const std::vector<std::int32_t> ours = OurSamples(h);
    EXPECT_EQ(ours, SoxSamples(path, dir_));
    EXPECT_GT(ours.size(), 1000u);
  }
}

TEST_F(AiffInterop, SoxReadsOurFilesWithTheSameHeaderAndSamples) {
  if (!HaveSox()) GTEST_SKIP() << "sox is not installed";
  for (const int bits : {8, 12, 16, 24, 32}) {
    SCOPED_TRACE(bits);
    // An odd frame count of 8-bit mono data puts a pad byte before the trailer.
    const std::int32_t channels = bits == 8 ? 1 : 2;
    const std::string path = dir_.Path("ours" + std::to_string(bits) + ".aif");
    WriteOurs(path, bits, channels, 1001);
    EXPECT_EQ(SoxInfo("-r", path), "32000");
    EXPECT_EQ(SoxInfo("-c", path), std::to_string(channels));
    // sox names the container width (16 for our 12-bit file).
    EXPECT_EQ(SoxInfo("-b", path), std::to_string((bits + 7) / 8 * 8));
    EXPECT_EQ(SoxInfo("-s", path), "1001");
    std::int32_t status = 0;
    Handle h = DecodeBytes(dir_, filetest::ReadFile(path), &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(SoxSamples(path, dir_), OurSamples(h));
  }
}

#if AIFF_TEST_HAVE_SNDFILE_H

// The few libsndfile calls the tests make, loaded from the shared library.
struct Sndfile {
  void* lib = nullptr;
  decltype(&sf_open) open = nullptr;
  decltype(&sf_close) close = nullptr;
  decltype(&sf_command) command = nullptr;
  decltype(&sf_readf_int) readf_int = nullptr;
  decltype(&sf_writef_int) writef_int = nullptr;

  Sndfile() {
    lib = dlopen("libsndfile.so.1", RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr) return;
    open = reinterpret_cast<decltype(open)>(dlsym(lib, "sf_open"));
    close = reinterpret_cast<decltype(close)>(dlsym(lib, "sf_close"));
    command = reinterpret_cast<decltype(command)>(dlsym(lib, "sf_command"));
    readf_int = reinterpret_cast<decltype(readf_int)>(dlsym(lib, "sf_readf_int"));
    writef_int = reinterpret_cast<decltype(writef_int)>(dlsym(lib, "sf_writef_int"));
  }
  ~Sndfile() {
    if (lib != nullptr) dlclose(lib);
  }
  bool ok() const { return open && close && command && readf_int && writef_int; }
};

struct SfMarker {
  int id;
  long position;
};

// libsndfile hands AIFF markers out only in its log of the header.
std::vector<SfMarker> LoggedMarkers(const Sndfile& sf, SNDFILE* file) {
  std::vector<char> log(1 << 16);
  sf.command(file, SFC_GET_LOG_INFO, log.data(), static_cast<int>(log.size()));
  std::istringstream in(log.data());
  std::vector<SfMarker> markers;
  std::string line;
  while (std::getline(in, line)) {
    const auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string key = line.substr(0, colon);
    const long value = std::atol(line.c_str() + colon + 1);
    if (key.find("Mark ID") != std::string::npos) markers.push_back({static_cast<int>(value), -1});
    if (key.find("Position") != std::string::npos && !markers.empty()) markers.back().position = value;
  }
  return markers;
}

TEST_F(AiffInterop, LibsndfileReadsOurHeaderSamplesMarkersAndLoops) {
  Sndfile sf;
  if (!sf.ok()) GTEST_SKIP() << "libsndfile is not installed";
  for (const int bits : {8, 16, 24, 32}) {
    SCOPED_TRACE(bits);
    const std::string path = dir_.Path("ours" + std::to_string(bits) + ".aiff");
    WriteOurs(path, bits, 2, 401);
    SF_INFO info{};
    SNDFILE* file = sf.open(path.c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(info.samplerate, 32000);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.frames, 401);
    const int subtypes[] = {0, SF_FORMAT_PCM_S8, SF_FORMAT_PCM_16, SF_FORMAT_PCM_24, SF_FORMAT_PCM_32};
    EXPECT_EQ(info.format, SF_FORMAT_AIFF | subtypes[bits / 8]);
    std::vector<int> theirs(401 * 2);
    EXPECT_EQ(sf.readf_int(file, theirs.data(), 401), 401);
    const std::vector<SfMarker> markers = LoggedMarkers(sf, file);
    SF_INSTRUMENT inst{};
    const int has_inst = sf.command(file, SFC_GET_INSTRUMENT, &inst, sizeof inst);
    sf.close(file);

    std::int32_t status = 0;
    Handle h = DecodeBytes(dir_, filetest::ReadFile(path), &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(OurSamples(h), std::vector<std::int32_t>(theirs.begin(), theirs.end()));
    // Two markers given plus one for each loop point without one.
    ASSERT_EQ(markers.size(), 4u);
    const long positions[] = {10, 333, 100, 200};
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(markers[i].id, i);
      EXPECT_EQ(markers[i].position, positions[i]);
    }
    ASSERT_TRUE(has_inst);
    ASSERT_EQ(inst.loop_count, 2);
    EXPECT_EQ(inst.loops[0].mode, SF_LOOP_FORWARD);
    EXPECT_EQ(inst.loops[0].start, 100u);
    EXPECT_EQ(inst.loops[0].end, 200u);
    EXPECT_EQ(inst.loops[1].start, 10u);
    EXPECT_EQ(inst.loops[1].end, 333u);
  }
}

// Writes 300 frames of a ramp through libsndfile; asks it for markers and
// loops too (through its cue and instrument calls).
std::vector<int> WriteWithLibsndfile(const Sndfile& sf, const std::string& path, int subtype) {
  SF_INFO info{};
  info.samplerate = 48000;
  info.channels = 2;
  info.format = SF_FORMAT_AIFF | subtype;
  SNDFILE* file = sf.open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) return {};
  SF_CUES cues{};
  cues.cue_count = 2;
  cues.cue_points[0].indx = 1;
  cues.cue_points[0].position = cues.cue_points[0].sample_offset = 50;
  cues.cue_points[1].indx = 2;
  cues.cue_points[1].position = cues.cue_points[1].sample_offset = 250;
  sf.command(file, SFC_SET_CUE, &cues, sizeof cues);
  SF_INSTRUMENT inst{};
  inst.basenote = 60;
  inst.key_hi = 127;
  inst.velocity_hi = 127;
  inst.loop_count = 1;
  inst.loops[0].mode = SF_LOOP_FORWARD;
  inst.loops[0].start = 50;
  inst.loops[0].end = 250;
  sf.command(file, SFC_SET_INSTRUMENT, &inst, sizeof inst);
  std::vector<int> samples(600);
  for (int i = 0; i < 600; ++i) samples[i] = static_cast<int>(0x80000000u + i * 0x00DEAD01u);
  sf.writef_int(file, samples.data(), 300);
  sf.close(file);
  return samples;
}

TEST_F(AiffInterop, FilesWrittenByLibsndfileReadWithTheSameSamples) {
  Sndfile sf;
  if (!sf.ok()) GTEST_SKIP() << "libsndfile is not installed";
  for (const int subtype : {SF_FORMAT_PCM_S8, SF_FORMAT_PCM_16, SF_FORMAT_PCM_24, SF_FORMAT_PCM_32}) {
    SCOPED_TRACE(subtype);
    const std::string path = dir_.Path("sf.aiff");
    ASSERT_FALSE(WriteWithLibsndfile(sf, path, subtype).empty());
    // libsndfile's own reading is the reference for the stored samples.
    SF_INFO info{};
    SNDFILE* file = sf.open(path.c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr);
    std::vector<int> theirs(600);
    EXPECT_EQ(sf.readf_int(file, theirs.data(), 300), 300);
    sf.close(file);
    std::int32_t status = 0;
    Handle h = DecodeBytes(dir_, filetest::ReadFile(path), &status);
    ASSERT_EQ(status, 0) << ::testing::PrintToString(errors_.lines());
    EXPECT_EQ(h->sampling_rate, 48000);
    EXPECT_EQ(h->num_channels, 2);
    EXPECT_EQ(h->num_samples, 300u);
    EXPECT_EQ(OurSamples(h), std::vector<std::int32_t>(theirs.begin(), theirs.end()));
  }
}

TEST_F(AiffInterop, MarkersAndLoopsWrittenByLibsndfileAreRead) {
  Sndfile sf;
  if (!sf.ok()) GTEST_SKIP() << "libsndfile is not installed";
  const std::string path = dir_.Path("sf.aiff");
  ASSERT_FALSE(WriteWithLibsndfile(sf, path, SF_FORMAT_PCM_16).empty());
  const Bytes file = filetest::ReadFile(path);
  const std::string text(file.begin(), file.end());
  if (text.find("MARK") == std::string::npos || text.find("INST") == std::string::npos) {
    GTEST_SKIP() << "this libsndfile writes no MARK or INST chunk to AIFF files";
  }
  std::int32_t status = 0;
  Handle h = DecodeBytes(dir_, file, &status);
  ASSERT_EQ(status, 0) << ::testing::PrintToString(errors_.lines());
  ASSERT_GE(h->num_loops, 1);
  EXPECT_EQ(h->loop_start[0], 50);
  EXPECT_EQ(h->loop_end[0], 250);
  std::vector<std::int32_t> positions(h->marker_position, h->marker_position + h->num_markers);
  EXPECT_NE(std::find(positions.begin(), positions.end(), 50), positions.end());
  EXPECT_NE(std::find(positions.begin(), positions.end(), 250), positions.end());
}

#endif  // AIFF_TEST_HAVE_SNDFILE_H

}  // namespace
