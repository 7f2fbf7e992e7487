// gen_signal: writes a test signal as a PCM WAV file, standing on its own so
// that demos, benchmarks and tests can make input files without the library.
//
//   gen_signal OUT.wav [seconds] [rate] [channels] [bits] [signal]
//
// signal is one of:
//   tones  (default) 440 Hz on the first channel, 1 kHz on the second and
//          further channels at 1/2 full scale, with a slow amplitude swell
//   sweep  a logarithmic sweep from 20 Hz to just below half the rate
//   noise  white noise from a fixed-seed generator (repeatable)
//   pink   pink noise (the same generator through a -3 dB/octave filter)
//          at about 1/4 full scale, with a 1 kHz tone at 1/4 full scale
//   silence
//   sine=F[,F...]  a steady sine of F Hz at 1/2 full scale; channel c takes
//          the c-th frequency of the list (the list repeats for more channels)
// Samples are rounded half away from zero and clipped to the bit depth.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void put_u16(std::vector<unsigned char>& b, unsigned v) {
    b.push_back(static_cast<unsigned char>(v & 0xFF));
    b.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
}

void put_u32(std::vector<unsigned char>& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<unsigned char>((v >> (8 * i)) & 0xFF));
}

void put_tag(std::vector<unsigned char>& b, const char* tag) { b.insert(b.end(), tag, tag + 4); }

struct Options {
    std::string path;
    double seconds = 3.0;
    long rate = 44100;
    int channels = 2;
    int bits = 16;
    std::string signal = "tones";
    std::vector<double> sine_hz;  // for sine=F,...
};

// The frequencies of "sine=F[,F...]"; false for an empty or bad list.
bool parse_sine(const std::string& list, std::vector<double>& hz) {
    std::size_t pos = 0;
    while (pos <= list.size()) {
        std::size_t end = list.find(',', pos);
        if (end == std::string::npos) end = list.size();
        const std::string item = list.substr(pos, end - pos);
        char* stop = nullptr;
        const double f = std::strtod(item.c_str(), &stop);
        if (item.empty() || *stop != '\0' || !(f >= 0)) return false;
        hz.push_back(f);
        pos = end + 1;
    }
    return !hz.empty();
}

bool parse(int argc, char** argv, Options& o) {
    if (argc < 2 || argv[1][0] == '-') return false;
    o.path = argv[1];
    if (argc > 2) o.seconds = std::atof(argv[2]);
    if (argc > 3) o.rate = std::atol(argv[3]);
    if (argc > 4) o.channels = std::atoi(argv[4]);
    if (argc > 5) o.bits = std::atoi(argv[5]);
    if (argc > 6) o.signal = argv[6];
    if (o.signal.rfind("sine=", 0) == 0 && !parse_sine(o.signal.substr(5), o.sine_hz)) return false;
    return o.seconds >= 0 && o.rate > 0 && o.channels > 0 && o.channels <= 16 && o.bits >= 1 &&
           o.bits <= 32;
}

// Value in [-1, 1] of channel c at frame i.
double sample_at(const Options& o, std::uint64_t i, int c, std::uint64_t& noise_state) {
    const double pi = 3.14159265358979323846;
    const double t = static_cast<double>(i) / static_cast<double>(o.rate);
    if (o.signal == "silence") return 0.0;
    if (o.signal == "noise") {
        noise_state = noise_state * 6364136223846793005ULL + 1442695040888963407ULL;
        return (static_cast<double>(noise_state >> 11) / 9007199254740992.0) * 1.6 - 0.8;
    }
    if (o.signal == "pink") {
        // Three one-pole sections whose sum falls by 3 dB per octave over
        // the audio band; one filter per channel, all fed by the generator.
        static double poles[16][3] = {};
        noise_state = noise_state * 6364136223846793005ULL + 1442695040888963407ULL;
        const double white = static_cast<double>(noise_state >> 11) / 9007199254740992.0 - 0.5;
        double* b = poles[c];
        b[0] = 0.99765 * b[0] + white * 0.0990460;
        b[1] = 0.96300 * b[1] + white * 0.2965164;
        b[2] = 0.57000 * b[2] + white * 1.0526913;
        const double pink = (b[0] + b[1] + b[2] + white * 0.1848) * 0.25;
        return pink + 0.25 * std::sin(2.0 * pi * 1000.0 * t);
    }
    if (o.signal == "sweep") {
        const double f0 = 20.0;
        const double f1 = 0.45 * static_cast<double>(o.rate);
        const double len = o.seconds > 0 ? o.seconds : 1.0;
        const double k = std::log(f1 / f0) / len;
        return 0.7 * std::sin(2.0 * pi * f0 * (std::exp(k * t) - 1.0) / k);
    }
    if (!o.sine_hz.empty())
        return 0.5 *
               std::sin(2.0 * pi * o.sine_hz[static_cast<std::size_t>(c) % o.sine_hz.size()] * t);
    const double freq = c == 0 ? 440.0 : 1000.0;
    const double swell = 0.75 + 0.25 * std::sin(2.0 * pi * 0.5 * t);
    return 0.5 * swell * std::sin(2.0 * pi * freq * t);
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parse(argc, argv, o)) {
        std::fprintf(stderr,
                     "usage: gen_signal OUT.wav [seconds] [rate] [channels] [bits] "
                     "[tones|sweep|noise|pink|silence|sine=F[,F...]]\n");
        return 2;
    }
    const int bytes = (o.bits + 7) / 8;
    const std::uint64_t frames =
        static_cast<std::uint64_t>(o.seconds * static_cast<double>(o.rate) + 0.5);
    const std::uint64_t data_size = frames * static_cast<std::uint64_t>(bytes * o.channels);
    if (data_size + 44 > 0xFFFFFFFFULL) {
        std::fprintf(stderr, "gen_signal: the file would exceed 4 GB\n");
        return 2;
    }

    std::FILE* f = std::fopen(o.path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "gen_signal: cannot create %s\n", o.path.c_str());
        return 2;
    }
    std::vector<unsigned char> head;
    put_tag(head, "RIFF");
    put_u32(head, static_cast<std::uint32_t>(36 + data_size + (data_size & 1)));
    put_tag(head, "WAVE");
    put_tag(head, "fmt ");
    put_u32(head, 16);
    put_u16(head, 1);
    put_u16(head, static_cast<unsigned>(o.channels));
    put_u32(head, static_cast<std::uint32_t>(o.rate));
    put_u32(head, static_cast<std::uint32_t>(o.rate * bytes * o.channels));
    put_u16(head, static_cast<unsigned>(bytes * o.channels));
    put_u16(head, static_cast<unsigned>(o.bits));
    put_tag(head, "data");
    put_u32(head, static_cast<std::uint32_t>(data_size));
    bool ok = std::fwrite(head.data(), 1, head.size(), f) == head.size();

    // Full scale of the container; the value is left-justified in it.
    const double full = std::ldexp(1.0, o.bits - 1);
    const std::int64_t max_v = static_cast<std::int64_t>(full) - 1;
    const std::int64_t min_v = -static_cast<std::int64_t>(full);
    const int shift = bytes * 8 - o.bits;
    std::uint64_t noise_state = 0x2545F4914F6CDD1DULL;
    std::vector<unsigned char> chunk;
    chunk.reserve(1 << 16);
    for (std::uint64_t i = 0; i < frames && ok; ++i) {
        for (int c = 0; c < o.channels; ++c) {
            const double x = sample_at(o, i, c, noise_state) * full;
            std::int64_t v =
                static_cast<std::int64_t>(x >= 0 ? std::trunc(x + 0.5) : std::trunc(x - 0.5));
            v = v > max_v ? max_v : (v < min_v ? min_v : v);
            std::uint32_t u = static_cast<std::uint32_t>(static_cast<std::uint64_t>(v) << shift);
            if (bytes == 1) u = (u + 0x80) & 0xFF;  // 8-bit and narrower WAV data are unsigned
            for (int k = 0; k < bytes; ++k)
                chunk.push_back(static_cast<unsigned char>((u >> (8 * k)) & 0xFF));
        }
        if (chunk.size() >= (1 << 16) - 64) {
            ok = std::fwrite(chunk.data(), 1, chunk.size(), f) == chunk.size();
            chunk.clear();
        }
    }
    if (ok && !chunk.empty()) ok = std::fwrite(chunk.data(), 1, chunk.size(), f) == chunk.size();
    if (ok && (data_size & 1)) ok = std::fputc(0, f) != EOF;
    if (std::fclose(f) != 0) ok = false;
    if (!ok) {
        std::fprintf(stderr, "gen_signal: writing %s failed\n", o.path.c_str());
        std::remove(o.path.c_str());
        return 2;
    }
    return 0;
}
