// The choice of the lane variant: every supported variant is timed over the
// same representative blocks, once per process, and the fastest is kept.
// Instruction sets alone do not tell: a processor that splits 512-bit
// operations in two runs the 512-bit kernel slower than the 256-bit ones.
#include <chrono>
#include <cstdlib>
#include <vector>

#include "resampler/design.h"
#include "resampler/kernel.h"

namespace nuvsrc {
namespace {

// 44100 -> 48000 Hz at quality 8: L = 160 phases of 256 taps, so that each
// group of lanes serves as many outputs per copied input as in the designs
// the tool runs (with few phases the copy hides the arithmetic, with few
// taps the edges of the tiles do), and 32 blocks, whole groups for every
// lane width: 1,310,720 multiply-adds per run, some 60 microseconds.
constexpr int32_t kInputRate = 44100;
constexpr int32_t kOutputRate = 48000;
constexpr int32_t kQuality = 8;
constexpr int32_t kBlocks = 32;
// Rounds over the variants in turn; each variant keeps its best time, so a
// round disturbed by another process does not decide.
constexpr int32_t kRounds = 3;

// The lane variants worth timing: the supported ones that a wider one with
// the same registers does not always beat (the scalar lanes where a vector
// variant runs, SSE2 where AVX2 runs).
std::vector<KernelVariant> Candidates() {
    std::vector<KernelVariant> candidates;
    const bool sse2 = KernelSupported(KernelVariant::kLanesSse2);
    const bool avx2 = KernelSupported(KernelVariant::kLanesAvx2);
    for (KernelVariant v : kAllKernelVariants) {
        if (KernelLanes(v) <= 1 || !KernelSupported(v)) continue;
        if (v == KernelVariant::kLanesPortable && (sse2 || avx2)) continue;
        if (v == KernelVariant::kLanesSse2 && avx2) continue;
        candidates.push_back(v);
    }
    return candidates;
}

KernelCalibration Calibrate() {
    KernelCalibration result{};
    const std::vector<KernelVariant> candidates = Candidates();
    result.chosen = candidates.front();  // the widest, should timing fail
    for (KernelVariant v : candidates) {
        if (KernelLanes(v) > KernelLanes(result.chosen)) result.chosen = v;
    }
    if (candidates.size() == 1) return result;

    // Any coefficients do for timing; these stay far from subnormals.
    const Design design = MakeDesign(kInputRate, kOutputRate, kQuality, kDefaultFilterMemorySize);
    const int32_t l = design.up();
    const int32_t taps = design.filter.taps;
    std::vector<double> cells(static_cast<size_t>(l) * taps);
    for (size_t i = 0; i < cells.size(); ++i) cells[i] = 1.0 / static_cast<double>(i % 997 + 3);
    std::vector<const double*> rows(static_cast<size_t>(l));
    for (int32_t p = 0; p < l; ++p) rows[p] = cells.data() + static_cast<size_t>(p) * taps;
    std::vector<int32_t> plan(2 * static_cast<size_t>(l));
    BlockPlan(l, design.down, design.filter.center, plan.data(), plan.data() + l);
    KernelGeometry g;
    g.design = &design;
    g.phase = plan.data();
    g.offset = plan.data() + l;
    g.rows = rows.data();

    std::vector<double> input(static_cast<size_t>((kBlocks - 1) * design.down + design.block_length));
    for (size_t i = 0; i < input.size(); ++i) input[i] = static_cast<double>(i * 7919 % 2000) / 1000.0 - 1.0;
    std::vector<double> output(static_cast<size_t>(kBlocks) * l);
    size_t scratch_doubles = 0;
    for (KernelVariant v : candidates) {
        const size_t n = KernelScratchDoubles(v, g);
        if (n > scratch_doubles) scratch_doubles = n;
    }
    auto* scratch = static_cast<double*>(std::aligned_alloc(64, (scratch_doubles * 8 + 63) / 64 * 64));
    if (scratch == nullptr) return result;
    result.multiply_adds = static_cast<int64_t>(kBlocks) * l * taps;
    const auto begin = std::chrono::steady_clock::now();
    for (int32_t round = 0; round < kRounds; ++round) {
        for (KernelVariant v : candidates) {
            const auto start = std::chrono::steady_clock::now();
            RunBlocks(v, g, input.data(), kBlocks, output.data(), scratch);
            const auto ns =
                std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start)
                    .count();
            int64_t& best = result.nanoseconds[static_cast<int32_t>(v)];
            if (best == 0 || ns < best) best = ns;
        }
    }
    std::free(scratch);
    result.total_nanoseconds =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - begin).count();
    for (KernelVariant v : candidates) {
        if (result.nanoseconds[static_cast<int32_t>(v)] < result.nanoseconds[static_cast<int32_t>(result.chosen)]) {
            result.chosen = v;
        }
    }
    return result;
}

}  // namespace

const KernelCalibration& Calibration() {
    static const KernelCalibration calibration = Calibrate();
    return calibration;
}

KernelVariant BestKernel() { return Calibration().chosen; }

}  // namespace nuvsrc
