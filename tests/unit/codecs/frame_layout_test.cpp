// Mono and stereo frames take a fixed-size path in the sample hooks, other
// channel counts and partial frames the general one. Both must put the same
// bytes in the file and give the same values back, for every bit depth and
// both byte orders; the expected bytes here are built from first principles.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/file_fixtures.h"
#include "wavestream/wstm/wstm.h"

namespace {

using filetest::Bytes;
using filetest::ScratchDir;
using Frames = std::vector<std::vector<std::int32_t>>;

struct Format {
    std::int32_t file_format;
    const char* name;
    std::size_t data_offset;
};

const Format kWav = {kWstmFormatWav, "w.wav", 44};
const Format kAiff = {kWstmFormatAiff, "a.aif", 54};

std::int32_t ContainerBytes(std::int32_t bits) { return (bits + 7) / 8; }

// The top `bits` bits of the sample's container.
std::uint32_t KeptBits(std::int32_t bits) {
    const std::int32_t w = ContainerBytes(bits) * 8;
    const std::uint64_t all = (std::uint64_t{1} << w) - 1;
    return static_cast<std::uint32_t>(all & ~((std::uint64_t{1} << (w - bits)) - 1));
}

// The container value of v as the file holds it (before byte order).
std::uint32_t Container(const Format& f, std::int32_t bits, std::int32_t v) {
    const std::int32_t bytes = ContainerBytes(bits);
    auto u = static_cast<std::uint32_t>(v) >> (32 - 8 * bytes);
    if (f.file_format == kWstmFormatWav && bytes == 1) u = (u + 0x80u) & 0xFFu;  // unsigned bytes
    return u & KeptBits(bits);
}

void AppendContainer(const Format& f, std::int32_t bytes, std::uint32_t c, Bytes* out) {
    for (std::int32_t i = 0; i < bytes; ++i) {
        const std::int32_t shift = f.file_format == kWstmFormatWav ? 8 * i : 8 * (bytes - 1 - i);
        out->push_back(static_cast<std::uint8_t>(c >> shift));
    }
}

// The value a reader gets back from a container.
std::int32_t ValueOf(const Format& f, std::int32_t bits, std::uint32_t c) {
    const std::int32_t bytes = ContainerBytes(bits);
    if (f.file_format == kWstmFormatWav && bytes == 1) c ^= 0x80u;
    return static_cast<std::int32_t>(c << (32 - 8 * bytes));
}

// Edge values, then noise; `values` per frame, `noise` frames of noise.
Frames TestFrames(std::int32_t values, std::size_t noise_frames = 40) {
    const std::vector<std::int32_t> edges = {INT32_MIN, INT32_MIN + 1, -65536,        -1,       0,
                                             1,         0x12345678,    INT32_MAX - 1, INT32_MAX};
    Frames frames;
    std::uint32_t noise = 12345;
    for (std::size_t k = 0; k < edges.size() + noise_frames; ++k) {
        std::vector<std::int32_t> frame;
        for (std::int32_t c = 0; c < values; ++c) {
            noise = noise * 1664525u + 1013904223u;
            if (k < edges.size()) {
                frame.push_back(c % 2 == 0 ? edges[k] : ~edges[k]);
            } else {
                frame.push_back(static_cast<std::int32_t>(noise));
            }
        }
        frames.push_back(frame);
    }
    return frames;
}

// Writes the frames, offering `values_per_call` values each, and gives the
// sample data of the file.
Bytes WriteAll(const Format& f, const std::string& path, std::int32_t channels, std::int32_t bits,
               const Frames& frames, std::int32_t values_per_call) {
    WstmHandle* h = WSTM_CreateAs(path.c_str(), 8000, channels, bits,
                                  static_cast<std::uint32_t>(frames.size()), f.file_format);
    EXPECT_NE(h, nullptr);
    if (h == nullptr) return {};
    std::int32_t index = 0;
    for (const auto& frame : frames) {
        EXPECT_EQ(WSTM_WriteSample(h, frame.data(), values_per_call), ++index);
    }
    EXPECT_EQ(WSTM_Close(h), 0);
    const Bytes all = filetest::ReadFile(path);
    const std::size_t size =
        frames.size() * static_cast<std::size_t>(ContainerBytes(bits) * channels);
    if (all.size() < f.data_offset + size) return {};
    const auto begin = all.begin() + static_cast<std::ptrdiff_t>(f.data_offset);
    return Bytes(begin, begin + static_cast<std::ptrdiff_t>(size));
}

// The sample data and the values read back of frames of `channels`
// channels at `bits` bits (values past the channels are not written).
void Expected(const Format& f, std::int32_t channels, std::int32_t bits, const Frames& frames,
              Bytes* want_bytes, std::vector<std::int32_t>* want_values) {
    const std::int32_t bytes = ContainerBytes(bits);
    for (const auto& frame : frames) {
        for (std::int32_t c = 0; c < channels; ++c) {
            const std::uint32_t container = Container(f, bits, frame[static_cast<std::size_t>(c)]);
            AppendContainer(f, bytes, container, want_bytes);
            want_values->push_back(ValueOf(f, bits, container));
        }
    }
}

class FrameLayouts : public ::testing::TestWithParam<Format> {};

TEST_P(FrameLayouts, EveryDepthAndChannelCountWritesAndReadsTheExpectedSamples) {
    const Format f = GetParam();
    ScratchDir dir;
    const std::string path = dir.Path(f.name);
    for (std::int32_t channels = 1; channels <= 3; ++channels) {
        const Frames frames = TestFrames(channels + 1);  // one value more than the file takes
        for (std::int32_t bits = 1; bits <= 32; ++bits) {
            SCOPED_TRACE(testing::Message() << channels << " channels, " << bits << " bits");
            const std::int32_t bytes = ContainerBytes(bits);
            Bytes want_bytes;
            std::vector<std::int32_t> want_values;
            Expected(f, channels, bits, frames, &want_bytes, &want_values);
            ASSERT_EQ(WriteAll(f, path, channels, bits, frames, channels), want_bytes);
            ASSERT_EQ(WriteAll(f, path, channels, bits, frames, channels + 1), want_bytes);

            WstmHandle* h = WSTM_Open(path.c_str());
            ASSERT_NE(h, nullptr);
            std::vector<std::int32_t> got;
            std::int32_t frame[4] = {};
            for (std::size_t k = 0; k < frames.size(); ++k) {
                ASSERT_EQ(WSTM_ReadSample(h, frame, channels), bytes * channels);
                got.insert(got.end(), frame, frame + channels);
            }
            EXPECT_EQ(got, want_values);
            EXPECT_EQ(WSTM_Tell(h), static_cast<std::int32_t>(frames.size()));
            EXPECT_EQ(WSTM_Close(h), 0);
        }
    }
}

// Fewer values than a stereo frame holds: the first channel moves, the rest
// of the frame is skipped on reading and silent on writing, in every width.
TEST_P(FrameLayouts, PartialStereoFramesStayOnTheFrameGrid) {
    const Format f = GetParam();
    ScratchDir dir;
    const std::string path = dir.Path(f.name);
    for (std::int32_t bits : {4, 8, 12, 16, 20, 24, 32}) {
        SCOPED_TRACE(testing::Message() << bits << " bits");
        const Frames frames = TestFrames(2);
        const std::int32_t bytes = ContainerBytes(bits);
        Bytes want_bytes;
        for (const auto& frame : frames) {
            AppendContainer(f, bytes, Container(f, bits, frame[0]), &want_bytes);
            AppendContainer(f, bytes, Container(f, bits, 0), &want_bytes);
        }
        ASSERT_EQ(WriteAll(f, path, 2, bits, frames, 1), want_bytes);

        WstmHandle* h = WSTM_Open(path.c_str());
        ASSERT_NE(h, nullptr);
        for (std::size_t k = 0; k < frames.size(); ++k) {
            std::int32_t v[2] = {-7, -7};
            ASSERT_EQ(WSTM_ReadSample(h, v, k % 2 == 0 ? 1 : 2), 2 * bytes);
            EXPECT_EQ(v[0], ValueOf(f, bits, Container(f, bits, frames[k][0])));
            EXPECT_EQ(v[1], k % 2 == 0 ? -7 : ValueOf(f, bits, Container(f, bits, 0)));
        }
        EXPECT_EQ(WSTM_Tell(h), static_cast<std::int32_t>(frames.size()));
        EXPECT_EQ(WSTM_Close(h), 0);
    }
}

// Frame runs (WSTM_WriteFrames, WSTM_ReadFrames) against the same expected
// bytes and values, in runs of uneven lengths that cross the runs' internal
// buffer, for every depth, 1 to 3 channels and one value more per frame
// than the file takes.
TEST_P(FrameLayouts, RunsOfFramesMoveTheSameBytesAsSingleFrames) {
    const Format f = GetParam();
    ScratchDir dir;
    const std::string path = dir.Path(f.name);
    const std::vector<std::int32_t> run_lengths = {1, 7, 256, 1000, 3};
    for (std::int32_t channels = 1; channels <= 3; ++channels) {
        for (std::int32_t stride : {channels, channels + 1}) {
            const Frames frames = TestFrames(stride, 1400);
            std::vector<std::int32_t> flat;
            for (const auto& frame : frames)
                flat.insert(flat.end(), frame.begin(), frame.end());
            for (std::int32_t bits = 1; bits <= 32; ++bits) {
                SCOPED_TRACE(testing::Message() << channels << " channels, " << stride
                                                << " values, " << bits << " bits");
                Bytes want_bytes;
                std::vector<std::int32_t> want_values;
                Expected(f, channels, bits, frames, &want_bytes, &want_values);
                const auto total = static_cast<std::int32_t>(frames.size());
                WstmHandle* h = WSTM_CreateAs(path.c_str(), 8000, channels, bits,
                                              static_cast<std::uint32_t>(total), f.file_format);
                ASSERT_NE(h, nullptr);
                std::int32_t done = 0;
                for (std::size_t r = 0; done < total; ++r) {
                    const std::int32_t n =
                        std::min(run_lengths[r % run_lengths.size()], total - done);
                    ASSERT_EQ(
                        WSTM_WriteFrames(h, flat.data() + static_cast<std::size_t>(done) * stride,
                                         stride, n),
                        done + n);
                    done += n;
                }
                ASSERT_EQ(WSTM_Close(h), 0);
                const Bytes all = filetest::ReadFile(path);
                ASSERT_EQ(all.size(), f.data_offset + want_bytes.size());
                ASSERT_EQ(
                    Bytes(all.begin() + static_cast<std::ptrdiff_t>(f.data_offset), all.end()),
                    want_bytes);

                h = WSTM_Open(path.c_str());
                ASSERT_NE(h, nullptr);
                std::vector<std::int32_t> got(frames.size() * static_cast<std::size_t>(stride), -7);
                done = 0;
                for (std::size_t r = 1; done < total; ++r) {
                    const std::int32_t n =
                        std::min(run_lengths[r % run_lengths.size()], total - done);
                    ASSERT_EQ(
                        WSTM_ReadFrames(h, got.data() + static_cast<std::size_t>(done) * stride,
                                        stride, n),
                        n);
                    done += n;
                }
                EXPECT_EQ(WSTM_Tell(h), total);
                EXPECT_EQ(WSTM_Close(h), 0);
                for (std::size_t k = 0; k < frames.size(); ++k) {
                    for (std::int32_t c = 0; c < stride; ++c) {
                        const std::int32_t want =
                            c < channels ? want_values[k * static_cast<std::size_t>(channels) +
                                                       static_cast<std::size_t>(c)]
                                         : -7;
                        ASSERT_EQ(
                            got[k * static_cast<std::size_t>(stride) + static_cast<std::size_t>(c)],
                            want)
                            << k << " " << c;
                    }
                }
            }
        }
    }
}

// A run that goes past the declared sample data writes only the frames
// that fit, like single frames, and reading past the data gives zeros.
TEST_P(FrameLayouts, RunsStopAtTheDeclaredEnd) {
    const Format f = GetParam();
    ScratchDir dir;
    const std::string path = dir.Path(f.name);
    for (std::int32_t bits : {8, 16, 24, 32}) {
        SCOPED_TRACE(testing::Message() << bits << " bits");
        const Frames frames = TestFrames(2, 1000);
        std::vector<std::int32_t> flat;
        for (const auto& frame : frames)
            flat.insert(flat.end(), frame.begin(), frame.end());
        constexpr std::int32_t kDeclared = 700;
        WstmHandle* h = WSTM_CreateAs(path.c_str(), 8000, 2, bits, kDeclared, f.file_format);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(WSTM_WriteFrames(h, flat.data(), 2, 600), 600);
        EXPECT_EQ(WSTM_WriteFrames(h, flat.data() + 1200, 2, 400), kDeclared);
        EXPECT_EQ(WSTM_WriteFrames(h, flat.data(), 2, 5), kDeclared);
        ASSERT_EQ(WSTM_Close(h), 0);
        const std::size_t size = static_cast<std::size_t>(kDeclared) * 2 *
                                 static_cast<std::size_t>(ContainerBytes(bits));
        EXPECT_EQ(filetest::ReadFile(path).size(), f.data_offset + size);

        h = WSTM_Open(path.c_str());
        ASSERT_NE(h, nullptr);
        std::vector<std::int32_t> got(2 * 710, -7);
        EXPECT_EQ(WSTM_ReadFrames(h, got.data(), 2, 710), 710);
        for (std::size_t k = 0; k < 700; ++k) {
            ASSERT_EQ(got[2 * k], ValueOf(f, bits, Container(f, bits, frames[k][0]))) << k;
        }
        EXPECT_EQ(WSTM_Close(h), 0);
        // Past the data the file layer delivers zero bytes, frame by frame or in a run.
        h = WSTM_Open(path.c_str());
        ASSERT_NE(h, nullptr);
        ASSERT_EQ(WSTM_Seek(h, 700, 0), 0);
        for (std::size_t k = 700; k < 710; ++k) {
            std::int32_t v[2] = {-7, -7};
            ASSERT_EQ(WSTM_ReadSample(h, v, 2), 2 * ContainerBytes(bits));
            EXPECT_EQ(got[2 * k], v[0]) << k;
            EXPECT_EQ(got[2 * k + 1], v[1]) << k;
        }
        EXPECT_EQ(WSTM_Close(h), 0);
    }
}

TEST(FrameRuns, RefuseAHandleThatCannotMoveThem) {
    std::int32_t values[4] = {};
    EXPECT_EQ(WSTM_ReadFrames(nullptr, values, 2, 1), -1);
    EXPECT_EQ(WSTM_WriteFrames(nullptr, values, 2, 1), -1);
}

INSTANTIATE_TEST_SUITE_P(BothByteOrders, FrameLayouts, ::testing::Values(kWav, kAiff),
                         [](const auto& info) {
                             return std::string(info.param.file_format == kWstmFormatWav ? "Wav"
                                                                                         : "Aiff");
                         });

}  // namespace
