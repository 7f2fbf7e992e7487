// The converter's design: everything that follows from the two rates, the
// quality and the table's memory limit, made by one pure function and kept
// as one value. The stream state and the buffers are kept apart from it.
#pragma once

#include <cstdint>

#include "resampler/ratio.h"

namespace nuvsrc {

inline constexpr int64_t kDefaultFilterMemorySize = 0x80000000LL;

// The windowed sinc and its split into phases.
struct FilterShape {
    int32_t up = 0;             // L
    int32_t taps = 0;           // T
    int64_t length = 0;         // N = L * T - 1
    int64_t center = 0;         // C = N div 2
    double cutoff = 0.0;        // fc
    double cutoff_angle = 0.0;  // 2 pi fc
};

struct Design {
    int32_t input_rate = 0;
    int32_t output_rate = 0;
    int32_t quality = kMaxQuality;
    int64_t memory_limit = kDefaultFilterMemorySize;
    int32_t down = 0;           // M; 0 (with L = 0) while a rate is not positive
    FilterShape filter;         // L, T, N, C, fc; T = N = C = 0 for equal rates
    int64_t block_length = 0;   // D; 0 for equal rates
    int32_t history_start = 0;  // T / 2 - 1
    bool keeps_table = false;   // unequal rates and a table within the limit

    constexpr int32_t up() const { return filter.up; }
    constexpr bool equal_rates() const { return filter.up == down; }
};

// The design for the given rates, quality and memory limit. Rates that are
// not positive give L = M = 0, which the converter refuses.
constexpr Design MakeDesign(int32_t input_rate, int32_t output_rate, int32_t quality,
                            int64_t memory_limit) {
    Design d{};
    d.input_rate = input_rate;
    d.output_rate = output_rate;
    d.quality = quality;
    d.memory_limit = memory_limit;
    if (input_rate > 0 && output_rate > 0) {
        const Ratio r = DeriveRatio(input_rate, output_rate);
        d.down = r.down;
        d.filter.up = r.up;
        d.filter.cutoff = r.cutoff;
        d.filter.cutoff_angle = r.cutoff_angle;
    }
    if (!d.equal_rates() && quality >= kMinQuality && quality <= kMaxQuality) {
        d.filter.taps = TapsPerPhase(quality);
        d.filter.length = FilterLength(d.filter.up, d.filter.taps);
        d.filter.center = FilterCenter(d.filter.length);
        d.block_length = BlockLength(d.filter.up, d.down, d.filter.length);
        d.keeps_table = TableFits(d.filter.length, memory_limit);
    }
    d.history_start = HistoryStart(d.filter.taps);
    return d;
}

}  // namespace nuvsrc
