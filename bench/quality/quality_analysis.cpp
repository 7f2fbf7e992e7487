// quality_analysis: measures what a conversion did to steady sines.
//
//   quality_analysis OUT.wav INPUT_RATE BAND_LOW BAND_HIGH F1 [F2 ...]
//
// OUT.wav is a 32-bit PCM WAV converted from a file of INPUT_RATE Hz whose
// channel c held a sine of F_c Hz (whole Hz) at half full scale, starting at
// phase 0 on the first frame, as `gen_signal ... 32 sine=F1,F2,...` writes
// it. One second of output, from the second second on, is analysed: every
// whole-Hz frequency then falls on a bin of a one-second DFT, so no window is
// needed and nothing leaks from one frequency into another.
//
// One line per channel:
//   F  gain_dB  delay  spur_Hz  spur_dB
// gain_dB  level of F in the output relative to the input (nan above the
//          output's Nyquist frequency);
// delay    output frames by which the sine lags the exact alignment of
//          input frame 0 with output frame 0 (nan above Nyquist);
// spur     the strongest image or alias of F in the output, level relative
//          to the input sine, outside the transition band BAND_LOW..BAND_HIGH
//          Hz (0 and -inf when there is none). Images and aliases of F lie
//          at |F + k * INPUT_RATE| folded into the output band.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <numeric>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kInputAmplitude = 0.5;  // of full scale

struct Wav {
    long rate = 0;
    int channels = 0;
    std::vector<std::int32_t> samples;  // interleaved
};

std::uint32_t LoadLE(const unsigned char* p, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

// Reads a 32-bit PCM WAV; false with a message otherwise.
bool ReadWav32(const char* path, Wav* wav) {
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)),
                                 std::istreambuf_iterator<char>());
    if (b.size() < 12 || std::string(b.begin(), b.begin() + 4) != "RIFF" ||
        std::string(b.begin() + 8, b.begin() + 12) != "WAVE") {
        std::fprintf(stderr, "quality_analysis: %s is not a WAV file\n", path);
        return false;
    }
    int bits = 0;
    for (std::size_t pos = 12; pos + 8 <= b.size();) {
        const std::string id(b.begin() + static_cast<long>(pos),
                             b.begin() + static_cast<long>(pos) + 4);
        const std::size_t size = LoadLE(&b[pos + 4], 4);
        const std::size_t body = pos + 8;
        if (body + size > b.size()) break;
        if (id == "fmt " && size >= 16) {
            wav->channels = static_cast<int>(LoadLE(&b[body + 2], 2));
            wav->rate = static_cast<long>(LoadLE(&b[body + 4], 4));
            bits = static_cast<int>(LoadLE(&b[body + 14], 2));
        } else if (id == "data" && bits == 32 && wav->channels > 0) {
            for (std::size_t i = 0; i + 4 <= size; i += 4) {
                wav->samples.push_back(static_cast<std::int32_t>(LoadLE(&b[body + i], 4)));
            }
            return true;
        }
        pos = body + size + (size & 1);
    }
    std::fprintf(stderr, "quality_analysis: %s has no 32-bit PCM data\n", path);
    return false;
}

// The DFT of one channel over `n` frames from `start`, at whole-Hz bins of a
// window one second long (n equals the rate): the twiddle of bin g at frame
// i is exactly table entry (g * i) mod n.
class OneSecondDft {
  public:
    OneSecondDft(const Wav& wav, int channel, long start)
        : n_(wav.rate), x_(static_cast<std::size_t>(n_)) {
        for (long i = 0; i < n_; ++i) {
            const std::size_t at = static_cast<std::size_t>((start + i) * wav.channels + channel);
            x_[static_cast<std::size_t>(i)] = wav.samples[at] / 2147483648.0;
        }
        cos_.resize(x_.size());
        sin_.resize(x_.size());
        for (long i = 0; i < n_; ++i) {
            cos_[static_cast<std::size_t>(i)] =
                std::cos(2.0 * kPi * static_cast<double>(i) / static_cast<double>(n_));
            sin_[static_cast<std::size_t>(i)] =
                std::sin(2.0 * kPi * static_cast<double>(i) / static_cast<double>(n_));
        }
    }

    // Amplitude (of full scale) and phase of the sine at `hz`, written as
    // a * sin(2 pi hz t + phase) with t = 0 at the window's first frame.
    void At(long hz, double* amplitude, double* phase) const {
        double re = 0.0;
        double im = 0.0;
        long k = 0;
        for (std::size_t i = 0; i < x_.size(); ++i) {
            re += x_[i] * cos_[static_cast<std::size_t>(k)];
            im -= x_[i] * sin_[static_cast<std::size_t>(k)];
            k += hz;
            if (k >= n_) k -= n_;
        }
        *amplitude = 2.0 * std::hypot(re, im) / static_cast<double>(n_);
        *phase = std::atan2(im, re) + kPi / 2.0;
    }

  private:
    long n_;
    std::vector<double> x_;
    std::vector<double> cos_;
    std::vector<double> sin_;
};

double Db(double ratio) { return 20.0 * std::log10(ratio); }

// Every frequency at which an image or alias of `hz` can appear in an output
// of `output_rate` Hz from `input_rate` Hz, other than `hz` itself.
std::vector<long> SpurFrequencies(long hz, long input_rate, long output_rate) {
    const long up = output_rate / std::gcd(input_rate, output_rate);
    std::vector<long> out;
    for (long k = -up - 1; k <= up + 1; ++k) {
        long g = std::labs(hz + k * input_rate) % output_rate;
        if (g > output_rate / 2) g = output_rate - g;
        if (g > 0 && 2 * g < output_rate && g != hz) out.push_back(g);
    }
    return out;
}

void AnalyseChannel(const Wav& wav, int channel, long hz, long input_rate, double band_low,
                    double band_high) {
    const OneSecondDft dft(wav, channel, wav.rate);
    double gain = NAN;
    double delay = NAN;
    if (2 * hz < wav.rate) {
        double amplitude = 0.0;
        double phase = 0.0;
        dft.At(hz, &amplitude, &phase);
        gain = Db(amplitude / kInputAmplitude);
        // Exactly aligned, the window starts one second in: phase 0.
        const double wrapped = std::remainder(phase, 2.0 * kPi);
        delay = -wrapped * static_cast<double>(wav.rate) / (2.0 * kPi * static_cast<double>(hz));
    }
    long spur_hz = 0;
    double spur_level = 0.0;
    for (long g : SpurFrequencies(hz, input_rate, wav.rate)) {
        if (g >= band_low && g <= band_high) continue;
        double amplitude = 0.0;
        double phase = 0.0;
        dft.At(g, &amplitude, &phase);
        if (amplitude > spur_level) {
            spur_level = amplitude;
            spur_hz = g;
        }
    }
    std::printf("%ld %.4f %.4f %ld %.2f\n", hz, gain, delay, spur_hz,
                Db(spur_level / kInputAmplitude));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr,
                     "usage: quality_analysis OUT.wav INPUT_RATE BAND_LOW BAND_HIGH F1 [F2 ...]\n");
        return 2;
    }
    Wav wav;
    if (!ReadWav32(argv[1], &wav)) return 2;
    const long input_rate = std::atol(argv[2]);
    const double band_low = std::atof(argv[3]);
    const double band_high = std::atof(argv[4]);
    const int tones = argc - 5;
    if (wav.channels != tones || input_rate <= 0 ||
        wav.samples.size() < static_cast<std::size_t>(2 * wav.rate * wav.channels)) {
        std::fprintf(stderr, "quality_analysis: need %d channels and at least 2 s of output\n",
                     tones);
        return 2;
    }
    for (int c = 0; c < tones; ++c) {
        AnalyseChannel(wav, c, std::atol(argv[5 + c]), input_rate, band_low, band_high);
    }
    return 0;
}
