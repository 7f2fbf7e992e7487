// The frame operations of the conversion loop: gain, channel adaptation and
// rounding with clipping to 32-bit sample values, and the count of values
// clipped. RenderFrames is what the block loop runs on every chunk of
// converted frames; the steps are inline so that a chunk of values rounds
// as vectors.
#pragma once

#include <algorithm>
#include <cstdint>

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

// Half away from zero: x + 0.5 (or x - 0.5) converted toward zero, after
// clipping to the 32-bit range; not a number gives 0. Inside the clip limits
// the sum always fits 32 bits, so the conversion itself does the truncation.
// Written without branches so that a block of values rounds as vectors.
TOLMEK_FRAME_INLINE std::int32_t QuantizeValue(double x) {
    const double clipped = std::min(std::max(x, -2147483648.0), 2147483647.0);
    const double half = clipped >= 0.0 ? 0.5 : -0.5;
    return x == x ? static_cast<std::int32_t>(clipped + half) : 0;
}

// 1 when rounding x would carry it beyond the 32-bit range, so that
// QuantizeValue gives full scale in its place; else 0 (not a number
// included). A comparison, not a branch, so the count costs no jump per value.
inline std::int32_t ClipsValue(double x) {
    return static_cast<std::int32_t>((x >= 2147483647.5) | (x <= -2147483648.5));
}

// What the frame loop knows of the job.
struct FrameShape {
    int in_channels;
    int out_channels;
    double factor;  // linear gain
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

// How many of `count` values are full scale (the only ones the rounding can
// have clipped). Integer compares only, so the loop runs as vectors.
TOLMEK_FRAME_INLINE std::int32_t CountFullScale(const std::int32_t* ints, std::int32_t count) {
    std::int32_t full = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        // 0x7FFFFFFF and 0x80000000 are the two values within 1 above 0x7FFFFFFF.
        full += static_cast<std::uint32_t>(ints[i]) - 0x7FFFFFFFu <= 1u;
    }
    return full;
}

// Gain and rounding of `n` frames whose kChannels channels stay as they
// are; the count known here lets the values of a frame round and interleave
// as vectors.
template <int kChannels>
TOLMEK_FRAME_INLINE void QuantizeKeptChannels(double factor, const double* const* planes,
                                              std::int32_t n, std::int32_t* ints) {
    const double* p[kChannels];
    for (int c = 0; c < kChannels; ++c)
        p[c] = planes[c];
    for (std::int32_t k = 0; k < n; ++k) {
        for (int c = 0; c < kChannels; ++c)
            ints[k * kChannels + c] = QuantizeValue(ScaleValue(factor, p[c][k]));
    }
}

// The kept-channel rounding and the full-scale count of a chunk, compiled
// for AVX2 as well where the compiler can: four values a vector instead of
// two. The same operations in the same order, so the same values; chosen at
// run time when the processor has AVX2.
template <int kChannels>
TOLMEK_FRAME_INLINE std::int32_t QuantizeKeptAndCount(double factor, const double* const* planes,
                                                      std::int32_t n, std::int32_t* ints) {
    QuantizeKeptChannels<kChannels>(factor, planes, n, ints);
    return CountFullScale(ints, n * kChannels);
}

#if TOLMEK_FRAME_AVX2
template <int kChannels>
[[gnu::target("avx2")]] inline std::int32_t QuantizeKeptAndCountAvx2(double factor,
                                                                    const double* const* planes,
                                                                    std::int32_t n,
                                                                    std::int32_t* ints) {
    return QuantizeKeptAndCount<kChannels>(factor, planes, n, ints);
}

inline bool FrameAvx2() {
    static const bool supported = __builtin_cpu_supports("avx2") != 0;
    return supported;
}
#endif

// Rounds the kept channels and counts the full-scale values.
template <int kChannels>
inline std::int32_t RenderKept(double factor, const double* const* planes, std::int32_t n,
                               std::int32_t* ints) {
#if TOLMEK_FRAME_AVX2
    if (FrameAvx2()) return QuantizeKeptAndCountAvx2<kChannels>(factor, planes, n, ints);
#endif
    return QuantizeKeptAndCount<kChannels>(factor, planes, n, ints);
}

// Gain, channels and rounding of `n` frames (at most kChunkFrames); frame k
// goes to ints[k * out_channels ..]. Returns how many of the values written
// were clipped to full scale: a chunk that reached full scale is gone over
// once more to tell the clipped values from those that round to it.
inline std::int32_t RenderFrames(const FrameShape& shape, const double* const* planes,
                                 std::int32_t n, std::int32_t* ints) {
    const int out_channels = shape.out_channels;
    const bool kept = shape.in_channels == out_channels;
    std::int32_t full = 0;
    if (kept && out_channels == 2) {
        full = RenderKept<2>(shape.factor, planes, n, ints);
    } else if (kept && out_channels == 1) {
        full = RenderKept<1>(shape.factor, planes, n, ints);
    } else {
        ForEachOutputValue(shape, planes, n, [ints, out_channels](std::int32_t k, int c, double x) {
            ints[k * out_channels + c] = QuantizeValue(x);
        });
        full = CountFullScale(ints, n * out_channels);
    }
    if (full == 0) return 0;
    std::int32_t clipped = 0;
    ForEachOutputValue(shape, planes, n,
                       [&clipped](std::int32_t, int, double x) { clipped += ClipsValue(x); });
    return clipped;
}

}  // namespace tolmek
