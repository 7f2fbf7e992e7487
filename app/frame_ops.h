// The frame operations of the conversion loop: gain, channel adaptation and
// rounding with clipping at the output's word length (left-justified 32-bit
// sample values), and the count of values clipped. RenderFrames is what the
// block loop runs on every chunk of converted frames; the steps are inline so
// that a chunk of values rounds as vectors.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "app/job.h"

// Functions the AVX2 copies call are inlined into them, so that they too are
// compiled for AVX2 (and no copy of theirs compiled so is shared with other
// callers).
#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define TOLMEK_FRAME_AVX2 1
#define TOLMEK_FRAME_INLINE [[gnu::always_inline]] inline
#else
#define TOLMEK_FRAME_AVX2 0
#define TOLMEK_FRAME_INLINE inline
#endif

namespace tolmek {

// Frames rendered at a time; the reading and writing loops use the same chunk.
constexpr std::int32_t kChunkFrames = 256;

// The gain on one value. A factor of exactly 1.0 changes no value.
TOLMEK_FRAME_INLINE double ScaleValue(double factor, double x) { return x * factor; }

// The gain on the first `channels` values of a frame.
inline void ScaleFrame(double factor, int channels, double* frame) {
    for (int c = 0; c < channels; ++c)
        frame[c] = ScaleValue(factor, frame[c]);
}

// Equal counts leave the frame alone; 1 -> n duplicates channel 0; 2 -> 1
// adds the two channels (their sum, not their mean). No other pair occurs.
inline void AdaptFrame(int in_channels, int out_channels, double* frame) {
    if (in_channels == out_channels) return;
    if (in_channels == 1) {
        for (int c = 1; c < out_channels; ++c)
            frame[c] = frame[0];
    } else if (in_channels == 2 && out_channels == 1) {
        frame[0] = frame[0] + frame[1];
    }
}

// The word length of an integer output as the rounding sees it: values
// (full scale +-2^31) are rounded to steps of 2^(32 - bits), so that the
// writer, which keeps the top bits, stores the rounded value exactly.
struct WordLength {
    double scale = 1.0;          // 2^-(32 - bits): one step becomes 1
    double low = -2147483648.0;  // the lowest value in steps
    double high = 2147483647.0;  // the highest value in steps
    std::uint32_t shift = 0;     // 32 - bits
};

// The word length of a `bits`-bit output (1..32).
inline WordLength WordLengthOf(int bits) {
    WordLength word;
    word.shift = static_cast<std::uint32_t>(32 - bits);
    word.scale = std::ldexp(1.0, -static_cast<int>(word.shift));
    word.low = -std::ldexp(1.0, bits - 1);
    word.high = std::ldexp(1.0, bits - 1) - 1.0;
    return word;
}

// Half away from zero at the output's word length: y + 0.5 (or y - 0.5)
// converted toward zero, y being the value in steps clipped to the output's
// range, then moved back to the top bits; not a number gives 0. Inside the
// clip limits the sum always fits 32 bits, so the conversion itself does the
// truncation. At 32 bits every step is exact (a factor of 1, no shift).
// Written without branches so that a block of values rounds as vectors.
TOLMEK_FRAME_INLINE std::int32_t QuantizeSteps(double y, const WordLength& word) {
    const double clipped = std::min(std::max(y, word.low), word.high);
    const double half = clipped >= 0.0 ? 0.5 : -0.5;
    const std::int32_t steps = y == y ? static_cast<std::int32_t>(clipped + half) : 0;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(steps) << word.shift);
}

TOLMEK_FRAME_INLINE std::int32_t QuantizeValue(double x, const WordLength& word = WordLength{}) {
    return QuantizeSteps(x * word.scale, word);
}

// 1 when rounding x would carry it beyond the output's range, so that
// QuantizeValue gives full scale in its place; else 0 (not a number
// included). A comparison, not a branch, so the count costs no jump per value.
inline std::int32_t ClipsSteps(double y, const WordLength& word) {
    return static_cast<std::int32_t>((y >= word.high + 0.5) | (y <= word.low - 0.5));
}

inline std::int32_t ClipsValue(double x, const WordLength& word = WordLength{}) {
    return ClipsSteps(x * word.scale, word);
}

// TPDF dither: noise of -1 to +1 steps of the output, triangular, from a
// generator seeded per output channel whose value for a frame depends on
// the frame's index alone (a counter-based generator: the mix of seed +
// index x gamma). So the same input and command give the same noise,
// whatever the threads, the processor and the piece sizes.
inline std::uint64_t MixBits(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
}

inline double TpdfNoise(int channel, std::int64_t frame) {
    constexpr std::uint64_t kGamma = 0x9E3779B97F4A7C15u;
    const std::uint64_t seed = MixBits(static_cast<std::uint64_t>(channel + 1) * kGamma);
    const std::uint64_t r = MixBits(seed + static_cast<std::uint64_t>(frame) * kGamma);
    // Two uniform values in (0, 1), each centred in its 2^-32 cell, summed
    // and moved to (-1, 1): symmetric about 0.
    const double u1 = static_cast<double>(r >> 32) + 0.5;
    const double u2 = static_cast<double>(r & 0xFFFFFFFFu) + 0.5;
    return (u1 + u2) * (1.0 / 4294967296.0) - 1.0;
}

// What the frame loop knows of the job.
struct FrameShape {
    int in_channels;
    int out_channels;
    double factor;                 // linear gain
    int bits = 32;                 // the output's word length
    bool float_output = false;     // 32-bit IEEE float instead of integers of `bits` bits
    bool dither = false;           // TPDF dither before the rounding (integers below 32 bits)
    std::int64_t first_frame = 0;  // index in the output of the chunk's first frame
};

// Hands every output value of `n` frames to visit(k, c, x): frame k, output
// channel c, the value after gain and channel adaptation. Value k of input
// channel c is planes[c][k].
template <class Visit>
inline void ForEachOutputValue(const FrameShape& shape, const double* const* planes, std::int32_t n,
                               Visit&& visit) {
    const int in_channels = shape.in_channels;
    const int out_channels = shape.out_channels;
    if (in_channels == out_channels) {
        // Channel by channel: with no adaptation each value stands alone.
        for (int c = 0; c < in_channels; ++c) {
            const double* s = planes[c];
            for (std::int32_t k = 0; k < n; ++k)
                visit(k, c, ScaleValue(shape.factor, s[k]));
        }
        return;
    }
    double frame[kMaxChannels] = {};
    for (std::int32_t k = 0; k < n; ++k) {
        for (int c = 0; c < in_channels; ++c)
            frame[c] = planes[c][k];
        ScaleFrame(shape.factor, in_channels, frame);
        AdaptFrame(in_channels, out_channels, frame);
        for (int c = 0; c < out_channels; ++c)
            visit(k, c, frame[c]);
    }
}

// How many of `count` values are full scale at the word length (the only
// ones the rounding can have clipped): the highest value, 2^31 - step, and
// the lowest, -2^31, are the two whose unsigned distance above the highest
// is at most one step; the values between them never occur. Integer
// compares only, so the loop runs as vectors.
TOLMEK_FRAME_INLINE std::int32_t CountFullScale(const std::int32_t* ints, std::int32_t count,
                                                std::uint32_t shift = 0) {
    const std::uint32_t step = std::uint32_t{1} << shift;
    const std::uint32_t highest = 0x80000000u - step;
    std::int32_t full = 0;
    for (std::int32_t i = 0; i < count; ++i)
        full += static_cast<std::uint32_t>(ints[i]) - highest <= step;
    return full;
}

// Gain and rounding of `n` frames whose kChannels channels stay as they
// are; the count known here lets the values of a frame round and interleave
// as vectors.
template <int kChannels>
TOLMEK_FRAME_INLINE void QuantizeKeptChannels(double factor, const double* const* planes,
                                              std::int32_t n, std::int32_t* ints,
                                              const WordLength& word) {
    const double* p[kChannels];
    for (int c = 0; c < kChannels; ++c)
        p[c] = planes[c];
    const WordLength w = word;  // a local copy: the compiler keeps it in registers
    for (std::int32_t k = 0; k < n; ++k) {
        for (int c = 0; c < kChannels; ++c)
            ints[k * kChannels + c] = QuantizeValue(ScaleValue(factor, p[c][k]), w);
    }
}

// The kept-channel rounding and the full-scale count of a chunk, compiled
// for AVX2 as well where the compiler can: four values a vector instead of
// two. The same operations in the same order, so the same values; chosen at
// run time when the processor has AVX2.
template <int kChannels>
TOLMEK_FRAME_INLINE std::int32_t QuantizeKeptAndCount(double factor, const double* const* planes,
                                                      std::int32_t n, std::int32_t* ints,
                                                      const WordLength& word = WordLength{}) {
    QuantizeKeptChannels<kChannels>(factor, planes, n, ints, word);
    return CountFullScale(ints, n * kChannels, word.shift);
}

#if TOLMEK_FRAME_AVX2
template <int kChannels>
[[gnu::target("avx2")]] inline std::int32_t QuantizeKeptAndCountAvx2(
    double factor, const double* const* planes, std::int32_t n, std::int32_t* ints,
    const WordLength& word = WordLength{}) {
    return QuantizeKeptAndCount<kChannels>(factor, planes, n, ints, word);
}

inline bool FrameAvx2() {
    static const bool supported = __builtin_cpu_supports("avx2") != 0;
    return supported;
}
#endif

// Rounds the kept channels and counts the full-scale values.
template <int kChannels>
inline std::int32_t RenderKept(double factor, const double* const* planes, std::int32_t n,
                               std::int32_t* ints, const WordLength& word = WordLength{}) {
#if TOLMEK_FRAME_AVX2
    if (FrameAvx2()) return QuantizeKeptAndCountAvx2<kChannels>(factor, planes, n, ints, word);
#endif
    return QuantizeKeptAndCount<kChannels>(factor, planes, n, ints, word);
}

// A value as a float output holds it: x / 2^31 rounded to the nearest
// float, as the bits the writer stores. Nothing clips: beyond the float
// range the value becomes an infinity.
TOLMEK_FRAME_INLINE std::int32_t FloatBitsOf(double x) {
    const float f = static_cast<float>(x * (1.0 / 2147483648.0));  // exact: a power of two
    std::int32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

// Gain, channels and rounding of `n` frames (at most kChunkFrames); frame k
// goes to ints[k * out_channels ..]. Returns how many of the values written
// were clipped to full scale: a chunk that reached full scale is gone over
// once more to tell the clipped values from those that round to it. A float
// output gets the bits of its floats and clips nothing.
inline std::int32_t RenderFrames(const FrameShape& shape, const double* const* planes,
                                 std::int32_t n, std::int32_t* ints) {
    const int out_channels = shape.out_channels;
    if (shape.float_output) {
        ForEachOutputValue(shape, planes, n, [ints, out_channels](std::int32_t k, int c, double x) {
            ints[k * out_channels + c] = FloatBitsOf(x);
        });
        return 0;
    }
    const WordLength word = WordLengthOf(shape.bits);
    if (shape.dither && shape.bits < 32) {
        // Value by value: the noise of frame k of channel c is added in steps.
        std::int32_t clipped = 0;
        ForEachOutputValue(shape, planes, n, [&](std::int32_t k, int c, double x) {
            const double y = x * word.scale + TpdfNoise(c, shape.first_frame + k);
            ints[k * out_channels + c] = QuantizeSteps(y, word);
            clipped += ClipsSteps(y, word);
        });
        return clipped;
    }
    const bool kept = shape.in_channels == out_channels;
    std::int32_t full = 0;
    if (kept && out_channels == 2) {
        full = RenderKept<2>(shape.factor, planes, n, ints, word);
    } else if (kept && out_channels == 1) {
        full = RenderKept<1>(shape.factor, planes, n, ints, word);
    } else {
        ForEachOutputValue(shape, planes, n,
                           [ints, out_channels, &word](std::int32_t k, int c, double x) {
                               ints[k * out_channels + c] = QuantizeValue(x, word);
                           });
        full = CountFullScale(ints, n * out_channels, word.shift);
    }
    if (full == 0) return 0;
    std::int32_t clipped = 0;
    ForEachOutputValue(shape, planes, n, [&clipped, &word](std::int32_t, int, double x) {
        clipped += ClipsValue(x, word);
    });
    return clipped;
}

}  // namespace tolmek
