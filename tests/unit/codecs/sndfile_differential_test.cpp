// The wave stream against libsndfile on a corpus of files written by sox,
// libsndfile, ffmpeg and Python: integer PCM of 8 to 32 bits, IEEE float of
// 32 and 64 bits, mu-law, A-law, extensible WAV, AIFF and every AIFF-C type
// read, files written to a pipe, 8 to 32 channels, plus formats and damaged
// files that are not read. Every file both readers open must give the same
// header and the same samples as 32-bit values (libsndfile's float samples
// mapped with the rule of the wave stream: round(x * 2^31), clipped, NaN 0).
// Every file on which the two disagree is listed below with the reason. The
// test skips only when libsndfile is missing; the sox and Python parts of
// the corpus are left out when those programs are.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "tests/support/file_fixtures.h"
#include "tests/support/peer_tools.h"
#include "tests/unit/codecs/interop_peers.h"

#if INTEROP_HAVE_SNDFILE_H

namespace {

using interop::Samples;

constexpr char kUnsupported[] = "E2006110786 : This sample format is not supported.";

// Files that libsndfile reads and the wave stream refuses, and why; the
// first line the wave stream reports is checked too.
struct Refusal {
    const char* why;
    const char* first_message;
};
const std::map<std::string, Refusal> kOnlyPeerReads = {
    {"sox_ima-adpcm.wav", {"compressed WAV formats are not read", kUnsupported}},
    {"sox_ms-adpcm.wav", {"compressed WAV formats are not read", kUnsupported}},
    {"sox_gsm-full-rate.wav", {"compressed WAV formats are not read", kUnsupported}},
    {"sf_ima_adpcm.wav", {"compressed WAV formats are not read", kUnsupported}},
    {"sf_ms_adpcm.wav", {"compressed WAV formats are not read", kUnsupported}},
    {"sf_gsm610.wav", {"compressed WAV formats are not read", kUnsupported}},
    {"sf_ima_adpcm.aifc", {"compressed AIFF-C types are not read", kUnsupported}},
    {"sf_sowt_24.aifc",
     {"libsndfile's own type '42n1' for little-endian 24-bit samples is not read", kUnsupported}},
    {"bad_ulaw16.wav",
     {"mu-law is read at 8 bits per sample only; libsndfile ignores the 16 bits the header "
      "states",
      kUnsupported}},
    {"count_beyond_ssnd.aiff",
     {"a 'COMM' frame count beyond the sound data is refused; libsndfile reads the frames "
      "'SSND' holds",
      "E2006110861 : The size written in 'SSND' chunk is wrong."}},
    {"cut_pcm16_2.wav",
     {"a file shorter than its header says is refused; libsndfile reads the frames that are "
      "there",
      "E2006110765 : The size written in 'data' chunk is wrong."}},
};

// The corpus: what each writer makes of one signal, in one folder.
class Corpus {
  public:
    explicit Corpus(const interop::Sndfile& sf) : sf_(sf) {}
    const std::string& folder() const { return dir_.root(); }

    void WriteSox() {
        struct Kind {
            const char* name;
            const char* options;
            const char* ext;
        };
        const Kind kinds[] = {
            {"u8", "-b 8", ".wav"},
            {"s16", "-b 16", ".wav"},
            {"s24", "-b 24", ".wav"},
            {"s32", "-b 32", ".wav"},
            {"f32", "-e float -b 32", ".wav"},
            {"f64", "-e float -b 64", ".wav"},
            {"u-law", "-e u-law", ".wav"},
            {"a-law", "-e a-law", ".wav"},
            {"s8", "-b 8", ".aiff"},
            {"s16", "-b 16", ".aiff"},
            {"s24", "-b 24", ".aiff"},
            {"s32", "-b 32", ".aiff"},
        };
        for (const Kind& k : kinds) {
            for (const int channels : {1, 3}) {  // 3 channels: extensible WAV
                const std::string name =
                    std::string("sox_") + k.name + "_" + std::to_string(channels) + k.ext;
                Sox("-c " + std::to_string(channels) + " " + k.options, name);
            }
        }
        for (const char* coded : {"ima-adpcm", "ms-adpcm", "gsm-full-rate"}) {
            Sox(std::string("-c 1 -r 8000 -e ") + coded, std::string("sox_") + coded + ".wav");
        }
        // AIFF-C of integer and float samples.
        Sox("-c 2 -b 16", "sox_s16_2.aifc");
        Sox("-c 2 -e float -b 32", "sox_f32_2.aifc");
        Sox("-c 1 -e float -b 64", "sox_f64_1.aifc");
        // Many channels.
        for (const int channels : {8, 16, 32}) {
            Sox("-c " + std::to_string(channels) + " -b 24",
                "sox_s24_" + std::to_string(channels) + ".wav");
        }
        Sox("-c 16 -b 16", "sox_s16_16.aiff");
        // Written to a pipe from a stream of unknown length: sox leaves its
        // own sizes in the header. The 'cat' keeps the writer from seeking.
        for (const char* type : {"wav", "aiff"}) {
            const std::string command =
                "sox -R -n -r 11025 -c 2 -b 16 -t raw - synth 2000s sine 440 | sox -V1 -t raw -r 11025 "
                "-c 2 -e signed -b 16 - -t " +
                std::string(type) + " - | cat > " +
                interop::Quote(dir_.Path(std::string("sox_pipe.") + type));
            ASSERT_TRUE(interop::Shell("(" + command + ")")) << command;
        }
    }

    // ffmpeg's AIFF-C types, and its WAV and AIFF written to a pipe.
    void WriteFfmpeg() {
        const std::string source = dir_.Path("sox_s24_1.wav");
        struct Kind {
            const char* options;
            const char* name;
        };
        const Kind kinds[] = {
            {"-c:a pcm_s16le -f aiff", "ff_sowt.aifc"}, {"-c:a pcm_f32be -f aiff", "ff_fl32.aifc"},
            {"-c:a pcm_f64be -f aiff", "ff_fl64.aifc"}, {"-c:a pcm_mulaw -f aiff", "ff_ulaw.aifc"},
            {"-c:a pcm_alaw -f aiff", "ff_alaw.aifc"},  {"-c:a pcm_u8 -f aiff", "ff_raw.aifc"},
            {"-c:a pcm_s24le -f wav", "ff_pipe24.wav"}, {"-c:a pcm_s16be -f aiff", "ff_pipe.aiff"},
        };
        for (const Kind& k : kinds) {
            const std::string command = "ffmpeg -nostdin -loglevel error -y -i " +
                                        interop::Quote(source) + " " + k.options + " - | cat > " +
                                        interop::Quote(dir_.Path(k.name));
            // In parentheses: the output redirection of Shell is not cat's.
            ASSERT_TRUE(interop::Shell("(" + command + ")")) << command;
        }
    }

    void WriteSndfile() {
        struct Kind {
            const char* name;
            int format;
        };
        const Kind kinds[] = {
            {"pcm_u8.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8},
            {"pcm_16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
            {"pcm_24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24},
            {"pcm_32.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_32},
            {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT},
            {"double.wav", SF_FORMAT_WAV | SF_FORMAT_DOUBLE},
            {"ulaw.wav", SF_FORMAT_WAV | SF_FORMAT_ULAW},
            {"alaw.wav", SF_FORMAT_WAV | SF_FORMAT_ALAW},
            {"ima_adpcm.wav", SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM},
            {"ms_adpcm.wav", SF_FORMAT_WAV | SF_FORMAT_MS_ADPCM},
            {"gsm610.wav", SF_FORMAT_WAV | SF_FORMAT_GSM610},
            {"x_pcm_16.wav", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16},
            {"x_pcm_24.wav", SF_FORMAT_WAVEX | SF_FORMAT_PCM_24},
            {"x_pcm_32.wav", SF_FORMAT_WAVEX | SF_FORMAT_PCM_32},
            {"x_float.wav", SF_FORMAT_WAVEX | SF_FORMAT_FLOAT},
            {"x_double.wav", SF_FORMAT_WAVEX | SF_FORMAT_DOUBLE},
            {"x_ulaw.wav", SF_FORMAT_WAVEX | SF_FORMAT_ULAW},
            {"x_alaw.wav", SF_FORMAT_WAVEX | SF_FORMAT_ALAW},
            {"pcm_s8.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_S8},
            {"pcm_16.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
            {"pcm_24.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24},
            {"pcm_32.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_32},
            {"float.aiff", SF_FORMAT_AIFF | SF_FORMAT_FLOAT},
            {"double.aifc", SF_FORMAT_AIFF | SF_FORMAT_DOUBLE},
            {"ulaw.aifc", SF_FORMAT_AIFF | SF_FORMAT_ULAW},
            {"alaw.aifc", SF_FORMAT_AIFF | SF_FORMAT_ALAW},
            {"pcm_u8.aifc", SF_FORMAT_AIFF | SF_FORMAT_PCM_U8},
            {"sowt_16.aifc", SF_FORMAT_AIFF | SF_FORMAT_PCM_16 | SF_ENDIAN_LITTLE},
            {"sowt_24.aifc", SF_FORMAT_AIFF | SF_FORMAT_PCM_24 | SF_ENDIAN_LITTLE},
            {"ima_adpcm.aifc", SF_FORMAT_AIFF | SF_FORMAT_IMA_ADPCM},
            {"pcm_16_8ch.wav", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16},
            {"float_32ch.aifc", SF_FORMAT_AIFF | SF_FORMAT_FLOAT},
        };
        for (const Kind& k : kinds) {
            const int sub = k.format & SF_FORMAT_SUBMASK;
            const bool real = sub == SF_FORMAT_FLOAT || sub == SF_FORMAT_DOUBLE;
            const bool mono = sub == SF_FORMAT_GSM610;
            const std::string name = k.name;
            const int channels = name.find("32ch") != std::string::npos  ? 32
                                 : name.find("8ch") != std::string::npos ? 8
                                 : mono                                  ? 1
                                                                         : 2;
            ASSERT_TRUE(WriteWithSndfile("sf_" + name, k.format, channels, real)) << k.name;
        }
    }

    void WritePython() {
        const std::string script =
            std::string(TOLMEK_SOURCE_DIR) + "/tests/unit/codecs/peer_corpus.py";
        ASSERT_TRUE(
            interop::Shell("python3 " + interop::Quote(script) + " " + interop::Quote(folder())));
    }

    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

  private:
    void Sox(const std::string& options, const std::string& name) {
        const std::string command = "sox -R -n -r 11025 " + options + " " +
                                    interop::Quote(dir_.Path(name)) +
                                    " synth 1000s sine 440 square 1000 noise vol 0.99";
        ASSERT_TRUE(interop::Shell(command)) << command;
    }

    // A signal that reaches full scale; for float files it also goes beyond
    // it and holds an infinity and a NaN.
    bool WriteWithSndfile(const std::string& name, int format, int channels, bool real) {
        SF_INFO info{};
        info.samplerate = 16000;
        info.channels = channels;
        info.format = format;
        SNDFILE* f = sf_.open(dir_.Path(name).c_str(), SFM_WRITE, &info);
        if (f == nullptr) return false;
        std::vector<double> v;
        for (int k = 0; k < 800 * channels; ++k) {
            v.push_back((real ? 1.3 : 0.999) * std::sin(k * 0.031));
        }
        v[0] = 1.0;
        v[1] = -1.0;
        if (real) {
            v[2] = 2.0 / 2147483648.0 * 0.75;  // 1.5 steps of the 32-bit scale
            v[3] = std::numeric_limits<double>::infinity();
            v[4] = std::numeric_limits<double>::quiet_NaN();
        }
        const sf_count_t frames = static_cast<sf_count_t>(v.size()) / channels;
        const sf_count_t written = sf_.writef_double(f, v.data(), frames);
        return sf_.close(f) == 0 && written == frames;
    }

    const interop::Sndfile& sf_;
    filetest::ScratchDir dir_;
};

// The rule for real samples, worked out here apart from the wave stream's
// code: x * 2^31 rounded half away from zero, clipped, NaN 0.
std::int32_t RealToSample(double x) {
    if (std::isnan(x)) return 0;
    const long double scaled = static_cast<long double>(x) * 2147483648.0L;
    if (scaled >= 2147483647.0L) return std::numeric_limits<std::int32_t>::max();
    if (scaled <= -2147483648.0L) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(std::llroundl(scaled));
}

// A file as libsndfile reads it, in the 32-bit domain.
struct PeerRead {
    bool ok = false;
    SF_INFO info{};
    Samples samples;
};

PeerRead ReadWithPeer(const interop::Sndfile& sf, const std::string& path) {
    PeerRead r;
    SNDFILE* f = sf.open(path.c_str(), SFM_READ, &r.info);
    if (f == nullptr) return r;
    const std::size_t count = static_cast<std::size_t>(r.info.frames * r.info.channels);
    const int sub = r.info.format & SF_FORMAT_SUBMASK;
    sf_count_t read;
    if (sub == SF_FORMAT_FLOAT || sub == SF_FORMAT_DOUBLE) {
        std::vector<double> real(count);
        read = sf.readf_double(f, real.data(), r.info.frames);
        for (const double x : real)
            r.samples.push_back(RealToSample(x));
    } else {
        r.samples.resize(count);
        read = sf.readf_int(f, r.samples.data(), r.info.frames);
    }
    r.ok = sf.close(f) == 0 && read == r.info.frames;
    return r;
}

TEST(SndfileDifferential, EveryFileBothReadGivesTheSameSamples) {
    interop::Sndfile sf;
    if (!sf.ok()) GTEST_SKIP() << "libsndfile is not installed";
    Corpus corpus(sf);
    ASSERT_NO_FATAL_FAILURE(corpus.WriteSndfile());
    if (interop::HaveSox()) {
        ASSERT_NO_FATAL_FAILURE(corpus.WriteSox());
        if (interop::HaveProgram("ffmpeg")) {
            ASSERT_NO_FATAL_FAILURE(corpus.WriteFfmpeg());
        }
    }
    if (interop::HavePython()) {
        ASSERT_NO_FATAL_FAILURE(corpus.WritePython());
    }

    int both = 0, neither = 0;
    for (const std::string& name : corpus.Files()) {
        SCOPED_TRACE(name);
        const std::string path = corpus.folder() + "/" + name;
        const PeerRead peer = ReadWithPeer(sf, path);
        filetest::ErrorCapture errors;
        const interop::OurFile ours = interop::ReadThroughWaveStream(path);
        const auto refusal = kOnlyPeerReads.find(name);
        if (refusal != kOnlyPeerReads.end()) {
            EXPECT_TRUE(peer.ok) << refusal->second.why;
            EXPECT_FALSE(ours.ok) << refusal->second.why;
            ASSERT_FALSE(errors.lines().empty());
            EXPECT_EQ(errors.lines().front(), refusal->second.first_message);
            continue;
        }
        EXPECT_EQ(ours.ok, peer.ok) << testing::PrintToString(errors.lines());
        if (!ours.ok || !peer.ok) {
            ++neither;
            continue;
        }
        ++both;
        EXPECT_EQ(ours.rate, peer.info.samplerate);
        EXPECT_EQ(ours.channels, peer.info.channels);
        EXPECT_EQ(static_cast<sf_count_t>(ours.frames), peer.info.frames);
        const auto differ = std::mismatch(ours.samples.begin(), ours.samples.end(),
                                          peer.samples.begin(), peer.samples.end());
        EXPECT_TRUE(differ.first == ours.samples.end() && differ.second == peer.samples.end())
            << "first difference at sample " << (differ.first - ours.samples.begin());
    }
    std::printf("%d files read by both, %d by neither, %zu by libsndfile only\n", both, neither,
                kOnlyPeerReads.size());
    // The corpus must really hold files of both kinds.
    EXPECT_GE(both, 15);
    if (interop::HavePython()) {
        EXPECT_GE(neither, 5);
    }
}

}  // namespace

#endif  // INTEROP_HAVE_SNDFILE_H
