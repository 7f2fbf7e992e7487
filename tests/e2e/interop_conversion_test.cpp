// The program's own output read by the peers: a 16-bit WAV file with cue
// points and loops, converted at its own rate by the built tolmek to WAV and
// AIFF of other depths and channel counts, then read by libsndfile (header,
// samples, markers, loops) and sox (header, samples). At equal rates the
// samples pass unchanged, except that a shallower output rounds them to
// its depth (halves away from zero, no dither). For what each peer is not
// asked and why, see the interop matrix of the codec tests; the same holds
// here (sox: no 12- or 20-bit WAV, no markers; libsndfile: AIFF markers from
// its header log).

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "convert_fixture.h"
#include "tests/support/peer_tools.h"

namespace {

constexpr int kRate = 32000;
constexpr std::size_t kFrames = 401;

// Input sample k of channel c: a 16-bit ramp folded through the whole range.
std::int32_t InputSample(std::size_t k, int c) {
    return static_cast<std::int32_t>(static_cast<std::int16_t>(
        static_cast<std::uint16_t>(k * 40503u + static_cast<unsigned>(c) * 7919u)));
}

class InteropConversion : public ConvertTest {
  protected:
    void SetUp() override {
        for (const int channels : {1, 2}) {
            conv::WavFile in = conv::MakeWav(kRate, channels, kFrames, InputSample);
            in.markers = {0, 7, 400};
            in.loops = {{10, 99}, {0, 399}};  // inclusive ends: 100 and 400 exclusive
            Write("in" + std::to_string(channels) + ".wav", in);
        }
    }

    // Input sample k of the output channel c, left-justified.
    static std::int32_t Expected(int in_channels, std::size_t k, int c) {
        return static_cast<std::int32_t>(
            static_cast<std::uint32_t>(InputSample(k, in_channels == 1 ? 0 : c)) << 16);
    }

    // Every sample equal to the input's, rounded to `bits` bits.
    static void ExpectSamples(const interop::Samples& got, int in_channels, int out_channels,
                              int bits) {
        ASSERT_EQ(got.size(), kFrames * static_cast<std::size_t>(out_channels));
        int wrong = 0;
        for (std::size_t k = 0; k < kFrames; ++k) {
            for (int c = 0; c < out_channels; ++c) {
                const std::int32_t want = interop::RoundToBits(Expected(in_channels, k, c), bits);
                const std::int32_t have =
                    got[k * static_cast<std::size_t>(out_channels) + static_cast<std::size_t>(c)];
                if (have != want && ++wrong <= 3) {
                    ADD_FAILURE() << "frame " << k << " channel " << c << ": " << have << ", want "
                                  << want;
                }
            }
        }
        EXPECT_EQ(wrong, 0);
    }
};

struct Output {
    const char* ext;
    int bits;
    int in_channels;
    int out_channels;
};

const Output kOutputs[] = {
    {".wav", 8, 2, 2},  {".wav", 12, 1, 2}, {".wav", 20, 2, 2}, {".wav", 24, 1, 1},
    {".wav", 32, 2, 2}, {".aif", 8, 1, 1},  {".aif", 12, 2, 2}, {".aif", 20, 1, 2},
    {".aif", 24, 2, 2}, {".aif", 32, 1, 1},
};

std::string OutName(const Output& o) {
    std::string name = "out";
    name.append(std::to_string(o.bits)).append("_").append(std::to_string(o.in_channels));
    return name.append(std::to_string(o.out_channels)).append(o.ext);
}

std::vector<std::string> Args(const Output& o) {
    return {"in" + std::to_string(o.in_channels) + ".wav", "-out=" + OutName(o),
            "-bit=" + std::to_string(o.bits), "-ch=" + std::to_string(o.out_channels)};
}

std::string Describe(const Output& o) {
    return std::string(o.ext) + " " + std::to_string(o.bits) + " bits, " +
           std::to_string(o.in_channels) + " -> " + std::to_string(o.out_channels) + " channels";
}

#if INTEROP_HAVE_SNDFILE_H

TEST_F(InteropConversion, LibsndfileReadsEveryOutputWithItsMarkersAndLoops) {
    interop::Sndfile sf;
    if (!sf.ok()) GTEST_SKIP() << "libsndfile is not installed";
    for (const Output& o : kOutputs) {
        SCOPED_TRACE(Describe(o));
        const testsupport::ChildResult r = Run(Args(o));
        ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
        const interop::SndfileView v = interop::ReadWithSndfile(sf, dir.Path(OutName(o)));
        ASSERT_TRUE(v.ok);
        EXPECT_EQ(v.info.samplerate, kRate);
        EXPECT_EQ(v.info.channels, o.out_channels);
        EXPECT_EQ(v.info.frames, static_cast<sf_count_t>(kFrames));
        ExpectSamples(v.samples, o.in_channels, o.out_channels, o.bits);

        std::vector<long> markers;
        if (std::string(o.ext) == ".aif") {
            for (const interop::SndfileMarker& m : v.logged_markers)
                markers.push_back(m.position);
        } else {
            for (std::uint32_t i = 0; i < v.cues.cue_count; ++i)
                markers.push_back(v.cues.cue_points[i].sample_offset);
        }
        // AIFF gives the loop end at 100 a marker of its own.
        const std::vector<long> want = std::string(o.ext) == ".aif"
                                           ? std::vector<long>{0, 7, 400, 10, 100}
                                           : std::vector<long>{0, 7, 400};
        EXPECT_EQ(markers, want);
        ASSERT_TRUE(v.has_instrument);
        ASSERT_EQ(v.instrument.loop_count, 2);
        EXPECT_EQ(v.instrument.loops[0].start, 10u);
        EXPECT_EQ(v.instrument.loops[0].end, 100u);
        EXPECT_EQ(v.instrument.loops[1].start, 0u);
        EXPECT_EQ(v.instrument.loops[1].end, 400u);
    }
}

#endif  // INTEROP_HAVE_SNDFILE_H

TEST_F(InteropConversion, SoxReadsEveryOutput) {
    if (!interop::HaveSox()) GTEST_SKIP() << "sox is not installed";
    for (const Output& o : kOutputs) {
        SCOPED_TRACE(Describe(o));
        const testsupport::ChildResult r = Run(Args(o));
        ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
        const std::string path = dir.Path(OutName(o));
        const interop::SoxHeader h = interop::SoxInfo(path);
        EXPECT_EQ(h.rate, kRate);
        EXPECT_EQ(h.channels, o.out_channels);
        // sox cannot read WAV files of 12 or 20 bits (see the codec matrix).
        if (std::string(o.ext) == ".wav" && o.bits % 8 != 0) continue;
        EXPECT_EQ(h.frames, static_cast<long>(kFrames));
        ExpectSamples(interop::SoxSamples(path, dir.Path("sox.raw")), o.in_channels, o.out_channels,
                      o.bits);
    }
}

// An RF64 file as ffmpeg writes it ('ds64' after the head, placeholder
// sizes) converts at its own rate to exactly the samples it holds.
TEST_F(InteropConversion, Rf64InputFromFfmpegConvertsExactly) {
    if (!interop::HaveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
    ASSERT_TRUE(interop::Shell("ffmpeg -v error -y -i " + interop::Quote(dir.Path("in2.wav")) +
                               " -rf64 always " + interop::Quote(dir.Path("rf64.wav"))));
    ASSERT_EQ(dir.ReadFile("rf64.wav").substr(0, 4), "RF64");
    const conv::WavFile out = Convert({"rf64.wav", "-out=out.wav"}, "out.wav");
    EXPECT_EQ(out.rate, kRate);
    EXPECT_EQ(out.samples, Read("in2.wav").samples);
}

// Float outputs (-bit=float): 32-bit IEEE float WAV (tag 3 with 'fact')
// and AIFF-C ('fl32'), read by libsndfile, sox and ffmpeg. At 48000 Hz and
// -6 dB (the ramp overshoots full scale) they hold the 32-bit integer output
// within float precision; a float input at
// its own rate comes out bit for bit, its headroom beyond +-1.0 included.

// The raw little-endian 32-bit values that `command` (writing to `scratch`)
// produced; empty when it failed.
std::vector<std::uint32_t> RawWords(const std::string& command, const std::string& scratch) {
    std::remove(scratch.c_str());
    if (!interop::Shell(command)) return {};
    std::ifstream in(scratch, std::ios::binary);
    const std::string b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::uint32_t> v(b.size() / 4);
    std::memcpy(v.data(), b.data(), v.size() * 4);
    return v;
}

float AsFloat(std::uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

// A stereo float WAV at kRate: sample k of channel c is the folded ramp
// scaled to +-1.75, so that a quarter of the values lie beyond full scale.
std::string FloatInput(std::vector<float>* values) {
    for (std::size_t k = 0; k < kFrames; ++k) {
        for (int c = 0; c < 2; ++c)
            values->push_back(static_cast<float>(InputSample(k, c) / 32768.0 * 1.75));
    }
    std::string data(values->size() * 4, '\0');
    std::memcpy(data.data(), values->data(), data.size());
    auto le = [](std::uint32_t v, int bytes) {
        std::string s;
        for (int i = 0; i < bytes; ++i)
            s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
        return s;
    };
    const std::string fmt =
        le(3, 2) + le(2, 2) + le(kRate, 4) + le(kRate * 8, 4) + le(8, 2) + le(32, 2);
    const std::string body = "WAVEfmt " + le(16, 4) + fmt + "data" +
                             le(static_cast<std::uint32_t>(data.size()), 4) + data;
    return "RIFF" + le(static_cast<std::uint32_t>(body.size()), 4) + body;
}

TEST_F(InteropConversion, FloatOutputsAreReadByEveryPeer) {
    ASSERT_EQ(Run({"in2.wav", "-out=ref.wav", "-freq=48000", "-vol=-6", "-bit=32"}).exit_code, 0);
    const conv::WavFile ref = Read("ref.wav");
    std::vector<float> in;
    dir.WriteFile("float.wav", FloatInput(&in));
    const bool sox = interop::HaveSox(), ffmpeg = interop::HaveProgram("ffmpeg");
    for (const std::string ext : {".wav", ".aif"}) {
        SCOPED_TRACE(ext);
        const std::string rated = dir.Path("rated" + ext), same = dir.Path("same" + ext);
        testsupport::ChildResult r =
            Run({"in2.wav", "-out=rated" + ext, "-freq=48000", "-vol=-6", "-bit=FLOAT"});
        ASSERT_EQ(r.exit_code, 0) << r.out;
        EXPECT_NE(r.out.find(" : 16(bit) -> 32(bit float)\n"), std::string::npos) << r.out;
        r = Run({"float.wav", "-out=same" + ext});  // float by default
        ASSERT_EQ(r.exit_code, 0) << r.out;
        EXPECT_NE(r.out.find(" : 32(bit float) -> 32(bit float)\n"), std::string::npos) << r.out;
        EXPECT_EQ(r.err.find("clipped"), std::string::npos) << r.err;

        // Within float precision of the 32-bit output: 2^-24 of full scale.
        auto expect_near_ref = [&](const std::vector<double>& got, const char* peer) {
            ASSERT_EQ(got.size(), ref.samples.size()) << peer;
            for (std::size_t i = 0; i < got.size(); ++i)
                ASSERT_NEAR(got[i], ref.samples[i], 129.0) << peer << " value " << i;
        };
        auto expect_input = [&](const std::vector<float>& got, const char* peer) {
            ASSERT_EQ(got.size(), in.size()) << peer;
            for (std::size_t i = 0; i < got.size(); ++i)
                ASSERT_EQ(got[i], in[i]) << peer << " value " << i;
        };
#if INTEROP_HAVE_SNDFILE_H
        interop::Sndfile sf;
        if (sf.ok()) {
            for (const std::string& path : {rated, same}) {
                SF_INFO info{};
                SNDFILE* file = sf.open(path.c_str(), SFM_READ, &info);
                ASSERT_NE(file, nullptr) << path;
                EXPECT_EQ(info.format & SF_FORMAT_SUBMASK, SF_FORMAT_FLOAT) << path;
                std::vector<double> v(static_cast<std::size_t>(info.frames * info.channels));
                EXPECT_EQ(sf.readf_double(file, v.data(), info.frames), info.frames);
                if (path == rated) {
                    SF_INSTRUMENT instrument{};
                    EXPECT_EQ(sf.command(file, SFC_GET_INSTRUMENT, &instrument, sizeof instrument),
                              SF_TRUE);
                    EXPECT_EQ(instrument.loop_count, 2);
                    for (double& x : v)
                        x *= 2147483648.0;
                    expect_near_ref(v, "libsndfile");
                } else {
                    expect_input(std::vector<float>(v.begin(), v.end()), "libsndfile");
                }
                sf.close(file);
            }
        }
#endif
        if (ffmpeg) {
            const std::string scratch = dir.Path("ff.raw");
            const auto words = [&](const std::string& path) {
                return RawWords("ffmpeg -v error -y -i " + interop::Quote(path) +
                                    " -f f32le -c:a pcm_f32le " + interop::Quote(scratch),
                                scratch);
            };
            std::vector<double> v;
            for (const std::uint32_t w : words(rated))
                v.push_back(AsFloat(w) * 2147483648.0);
            expect_near_ref(v, "ffmpeg");
            std::vector<float> f;
            for (const std::uint32_t w : words(same))
                f.push_back(AsFloat(w));
            expect_input(f, "ffmpeg");
        }
        if (sox) {
            // sox holds samples as 32-bit integers: values within full scale only.
            std::vector<double> v;
            for (const std::int32_t x : interop::SoxSamples(rated, dir.Path("sox.raw")))
                v.push_back(x);
            expect_near_ref(v, "sox");
            EXPECT_EQ(interop::SoxInfo(same).encoding, "32-bit Floating Point PCM");
        }
    }
}

}  // namespace

// Everyday files of other writers: AIFF-C of sox and ffmpeg, WAV and AIFF
// written to a pipe, and files of 8 and 16 channels. At their own rate
// every sample comes out as sox decodes it; at another rate each converts
// exactly as its samples written as a plain 32-bit WAV do.
TEST(EverydayFiles, ConvertAsTheirSamplesDecodedBySox) {
    if (!interop::HaveSox() || !interop::HaveProgram("ffmpeg")) {
        GTEST_SKIP() << "sox or ffmpeg is not installed";
    }
    testsupport::TempDir dir;
    const std::string x = interop::Quote(dir.Path("x.wav"));
    ASSERT_TRUE(interop::Shell("sox -R -n -r 44100 -c 2 -b 16 " + x +
                               " synth 0.4 sine 440 sine 1000-9000 vol 0.9"));
    const std::string ff = "ffmpeg -nostdin -loglevel error -y -i " + x;
    const std::string raw =
        "sox " + x + " -t raw - | sox -V1 -t raw -r 44100 -c 2 -e signed -b 16 -";
    struct File {
        const char* name;
        std::string command;
    };
    const File files[] = {
        {"none.aifc", "sox " + x + " -e signed -b 16 "},
        {"fl32.aifc", "sox " + x + " -e float -b 32 "},
        {"sowt.aif", ff + " -c:a pcm_s16le "},
        {"p.wav", ff + " -c:a pcm_s24le -f wav - | cat > "},
        {"p2.wav", "sox " + x + " -t wav - | cat > "},
        {"p.aif", "sox " + x + " -t aiff - | cat > "},
        {"p3.wav", raw + " -t wav - | cat > "},
        {"p3.aif", raw + " -t aiff - | cat > "},
        {"m8.wav", "sox -R -n -r 22050 -c 8 -b 24 -e signed " + dir.Path("m8.wav") +
                       " synth 0.3 sine 300 noise sine 3000 ; true "},
        {"m16.aif", "sox -R -n -r 22050 -c 16 -b 16 " + dir.Path("m16.aif") +
                        " synth 0.3 sine 300 noise ; true "},
    };
    for (const File& f : files) {
        SCOPED_TRACE(f.name);
        const std::string path = dir.Path(f.name);
        // In parentheses: the output redirection of Shell is not the file's.
        ASSERT_TRUE(interop::Shell("(" + f.command + interop::Quote(path) + ")"));
        const interop::SoxHeader in = interop::SoxInfo(path);
        testsupport::ChildResult r =
            testsupport::RunTolmek({f.name, "-out=same.wav", "-bit=32"}, dir.path());
        ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
        EXPECT_EQ(interop::SoxSamples(dir.Path("same.wav"), dir.Path("a.raw")),
                  interop::SoxSamples(path, dir.Path("b.raw")));

        ASSERT_TRUE(interop::Shell("sox " + interop::Quote(path) + " -e signed -b 32 " +
                                   interop::Quote(dir.Path("plain.wav"))));
        const std::string rate = "-freq=" + std::to_string(in.rate == 44100 ? 48000 : 32000);
        r = testsupport::RunTolmek({f.name, "-out=other.wav", "-bit=32", rate}, dir.path());
        ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
        r = testsupport::RunTolmek({"plain.wav", "-out=plain_other.wav", rate}, dir.path());
        ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
        EXPECT_TRUE(dir.ReadFile("other.wav") == dir.ReadFile("plain_other.wav"));
    }
}
