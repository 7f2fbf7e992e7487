// The choice of the lane variant: every supported variant is timed over the
// same representative blocks, once per process, and the fastest is kept
// when it clearly beats the home variant. Instruction sets alone do not
// tell: a processor that splits 512-bit operations in two runs the 512-bit
// kernel slower than the 256-bit ones.
//
// The timing is not done at start-up: converters begin with the home
// variant and the first one that has done enough work runs the calibration
// (see kCalibrateAfter in the converter), so a short conversion never pays
// for it. All variants give the same bits, so a converter may change its
// variant between two calls.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <new>

#include "platform/sync.h"
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
// Rounds over the variants in turn, every other one in reverse order, after
// one untimed run that warms the caches and the scratch; each variant keeps
// its best time, so a round disturbed by another process does not decide.
constexpr int32_t kRounds = 5;

// The lane variants worth timing: the supported ones that a wider one with
// the same registers does not always beat (the scalar lanes where a vector
// variant runs, SSE2 where AVX2 runs). Returns their count.
int32_t Candidates(KernelVariant* candidates) {
    int32_t count = 0;
    const bool sse2 = KernelSupported(KernelVariant::kLanesSse2);
    const bool avx2 = KernelSupported(KernelVariant::kLanesAvx2);
    for (KernelVariant v : kAllKernelVariants) {
        if (KernelLanes(v) <= 1 || !KernelSupported(v)) continue;
        if (v == KernelVariant::kLanesPortable && (sse2 || avx2)) continue;
        if (v == KernelVariant::kLanesSse2 && avx2) continue;
        candidates[count++] = v;
    }
    return count;
}

// The representative blocks: a table of any coefficients (these stay far
// from subnormals), the block plan, the input, the output and a scratch
// area large enough for every candidate. Empty if memory is short.
struct Workload {
    Design design = MakeDesign(kInputRate, kOutputRate, kQuality, kDefaultFilterMemorySize);
    std::unique_ptr<double[]> cells;
    std::unique_ptr<const double*[]> rows;
    std::unique_ptr<int32_t[]> plan;
    std::unique_ptr<double[]> input, output;
    double* scratch = nullptr;
    KernelGeometry g;

    Workload(const KernelVariant* candidates, int32_t count) {
        const int32_t l = design.up();
        const size_t taps = static_cast<size_t>(design.filter.taps);
        const size_t inputs =
            static_cast<size_t>((kBlocks - 1) * design.down + design.block_length);
        cells.reset(new (std::nothrow) double[l * taps]);
        rows.reset(new (std::nothrow) const double*[static_cast<size_t>(l)]);
        plan.reset(new (std::nothrow) int32_t[2 * static_cast<size_t>(l)]);
        input.reset(new (std::nothrow) double[inputs]);
        output.reset(new (std::nothrow) double[static_cast<size_t>(kBlocks) * l]);
        if (!cells || !rows || !plan || !input || !output) return;
        for (size_t i = 0; i < l * taps; ++i)
            cells[i] = 1.0 / static_cast<double>(i % 997 + 3);
        for (int32_t p = 0; p < l; ++p)
            rows[p] = cells.get() + static_cast<size_t>(p) * taps;
        for (size_t i = 0; i < inputs; ++i)
            input[i] = static_cast<double>(i * 7919 % 2000) / 1000.0 - 1.0;
        BlockPlan(l, design.down, design.filter.center, plan.get(), plan.get() + l);
        g.design = &design;
        g.phase = plan.get();
        g.offset = plan.get() + l;
        g.rows = rows.get();
        size_t doubles = 0;
        for (int32_t i = 0; i < count; ++i)
            doubles = std::max(doubles, KernelScratchDoubles(candidates[i], g));
        scratch = static_cast<double*>(
            ::operator new ((doubles * 8 + 63) / 64 * 64, std::align_val_t{64}, std::nothrow));
    }
    ~Workload() {
        if (scratch != nullptr) ::operator delete (scratch, std::align_val_t{64});
    }
    Workload(const Workload&) = delete;
    Workload& operator=(const Workload&) = delete;
};

int64_t NanosecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() -
                                                                start)
        .count();
}

// AVX2 where the processor has it: never far from the best on any core
// measured. Elsewhere the widest candidate.
KernelVariant FindHome() {
    KernelVariant candidates[kKernelVariantCount];
    const int32_t count = Candidates(candidates);
    if (KernelSupported(KernelVariant::kLanesAvx2)) return KernelVariant::kLanesAvx2;
    KernelVariant home = candidates[0];
    for (int32_t i = 1; i < count; ++i) {
        if (KernelLanes(candidates[i]) > KernelLanes(home)) home = candidates[i];
    }
    return home;
}

KernelCalibration Calibrate() {
    KernelCalibration result{};
    KernelVariant candidates[kKernelVariantCount];
    const int32_t count = Candidates(candidates);
    result.chosen = HomeKernel();  // also should timing fail
    if (count == 1) return result;
    Workload work(candidates, count);
    if (work.scratch == nullptr) return result;
    result.multiply_adds =
        static_cast<int64_t>(kBlocks) * work.design.up() * work.design.filter.taps;
    const auto begin = std::chrono::steady_clock::now();
    RunBlocks(candidates[0], work.g, work.input.get(), kBlocks, work.output.get(), work.scratch);
    for (int32_t round = 0; round < kRounds; ++round) {
        for (int32_t k = 0; k < count; ++k) {
            const int32_t i = round % 2 == 0 ? k : count - 1 - k;
            const auto start = std::chrono::steady_clock::now();
            RunBlocks(candidates[i], work.g, work.input.get(), kBlocks, work.output.get(),
                      work.scratch);
            const int64_t ns = NanosecondsSince(start);
            int64_t& best = result.nanoseconds[static_cast<int32_t>(candidates[i])];
            if (best == 0 || ns < best) best = ns;
        }
    }
    result.total_nanoseconds = NanosecondsSince(begin);
    KernelVariant fastest = result.chosen;
    for (int32_t i = 0; i < count; ++i) {
        const int64_t ns = result.nanoseconds[static_cast<int32_t>(candidates[i])];
        if (ns < result.nanoseconds[static_cast<int32_t>(fastest)]) fastest = candidates[i];
    }
    // Where the variants lie within a few percent of each other, the timing
    // alone would pick one by chance from run to run: the home variant is
    // left only for one that beats it clearly.
    const double home_ns =
        static_cast<double>(result.nanoseconds[static_cast<int32_t>(result.chosen)]);
    const double fastest_ns =
        static_cast<double>(result.nanoseconds[static_cast<int32_t>(fastest)]);
    if (fastest_ns < home_ns * (1.0 - kLeaveHomeMargin)) result.chosen = fastest;
    return result;
}

// The calibration's result and its state: 0 not run, 1 running, 2 done. The
// result is written by the thread that runs it, before the state turns 2.
std::atomic<std::int32_t> g_state{0};
KernelCalibration g_calibration{};

}  // namespace

KernelVariant HomeKernel() {
    static const KernelVariant home = FindHome();
    return home;
}

void CalibrateKernelOnce() {
    std::int32_t expected = 0;
    if (g_state.load(std::memory_order_acquire) == 0 &&
        g_state.compare_exchange_strong(expected, 1, std::memory_order_acq_rel)) {
        g_calibration = Calibrate();
        g_state.store(2, std::memory_order_release);
        platform::WakeAll(&g_state);
    }
}

const KernelCalibration& Calibration() {
    CalibrateKernelOnce();
    for (std::int32_t seen = g_state.load(std::memory_order_acquire); seen != 2;
         seen = g_state.load(std::memory_order_acquire)) {
        platform::WaitWhileEqual(&g_state, seen);
    }
    return g_calibration;
}

KernelVariant BestKernel() { return Calibration().chosen; }

KernelVariant CurrentKernel() {
    if (g_state.load(std::memory_order_acquire) == 2) return g_calibration.chosen;
    return HomeKernel();
}

}  // namespace nuvsrc
