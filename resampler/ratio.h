// The converter's arithmetic: rate ratio, filter sizes, block geometry and
// output counts. Pure functions, pinned by tests on worked examples.
#pragma once

#include <cstdint>

namespace nuvsrc {

inline constexpr double kPi = 3.141592653589793;
inline constexpr double kTwoPi = 6.283185307179586;

inline constexpr int32_t kMinQuality = 3;
inline constexpr int32_t kMaxQuality = 10;

// Least common multiple of two positive rates by search, in 64 bits: the first
// multiple j * a (a the larger rate, 1 <= j < b) that b divides, else a * b.
constexpr int64_t LcmBySearch(int32_t rate1, int32_t rate2) {
    const int64_t a = rate1 > rate2 ? rate1 : rate2;
    const int64_t b = rate1 > rate2 ? rate2 : rate1;
    int64_t j = 1;
    while (j < b && (j * a) % b != 0)
        ++j;
    return j * a;
}

struct Ratio {
    int32_t up;           // L: phases, outputs per block
    int32_t down;         // M: input samples a block advances
    double cutoff;        // fc, cycles per up-sampled sample
    double cutoff_angle;  // 2 pi fc
};

// L = lcm / input rate, M = lcm / output rate; the cut-off lies at half the
// lower rate: fc = min(L, M) * 0.5 / (L * M).
constexpr Ratio DeriveRatio(int32_t input_rate, int32_t output_rate) {
    const int64_t lcm = LcmBySearch(input_rate, output_rate);
    Ratio r{};
    r.down = static_cast<int32_t>(lcm / output_rate);
    r.up = static_cast<int32_t>(lcm / input_rate);
    const double lo = r.up < r.down ? r.up : r.down;
    r.cutoff = lo * 0.5 / (static_cast<double>(r.up) * static_cast<double>(r.down));
    r.cutoff_angle = r.cutoff * kTwoPi;
    return r;
}

// T = 2^quality taps per phase.
constexpr int32_t TapsPerPhase(int32_t quality) { return int32_t{1} << quality; }

// N = L * T - 1 taps (odd), centre C = N div 2.
constexpr int64_t FilterLength(int32_t up, int32_t taps) {
    return static_cast<int64_t>(up) * taps - 1;
}
constexpr int64_t FilterCenter(int64_t filter_length) { return filter_length / 2; }

// A table of N + 1 doubles is kept only when 8 * N lies below the limit.
constexpr bool TableFits(int64_t filter_length, int64_t memory_limit) {
    return 8 * filter_length < memory_limit;
}

// D = floor(((L - 1) * M + N + L) / L): input samples one block reads,
// = ceil((L - 1) * M / L) + T.
constexpr int64_t BlockLength(int32_t up, int32_t down, int64_t filter_length) {
    return ((static_cast<int64_t>(up) - 1) * down + filter_length + up) / up;
}

// History fill after a reset: T / 2 - 1 seeded copies of the first sample.
constexpr int32_t HistoryStart(int32_t taps) { return taps / 2 - 1; }

// Outputs owed by Flush for a history fill F: trunc((F - start) * L / M + 0.5),
// in floating point.
constexpr int64_t OwedOutputs(int32_t fill, int32_t history_start, int32_t up, int32_t down) {
    return static_cast<int64_t>(static_cast<double>(fill - history_start) * up / down + 0.5);
}

// Output k of a block uses phase p_k and input offset j_k: j_k is the smallest
// j >= 0 with (C mod L) + j * L >= k * M, p_k = (C mod L) + j_k * L - k * M.
// Fills phase[0 .. L-1] and offset[0 .. L-1] by the kernel's own stepping.
constexpr void BlockPlan(int32_t up, int32_t down, int64_t center, int32_t* phase,
                         int32_t* offset) {
    int64_t p = center % up;
    int64_t a = 0;
    int64_t b = p;
    int64_t j = 0;
    for (int32_t k = 0; k < up; ++k) {
        phase[k] = static_cast<int32_t>(p);
        offset[k] = static_cast<int32_t>(j);
        a += down;
        while (b < a) {
            b += up;
            ++j;
        }
        p = b - a;
    }
}

}  // namespace nuvsrc
