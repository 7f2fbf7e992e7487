// The polyphase kernel: one block of input gives L outputs, output k being the
// dot product of phase p_k with src[j_k .. j_k + T - 1], summed in double in
// tap order t = 0 ... T - 1 with every multiply and add rounded on its own.
//
// Every variant computes exactly these sums in exactly this order; the fast
// ones gain their speed by working on several independent outputs at once
// (several blocks, or several outputs of one block), never by reordering a
// sum. Their results are therefore bit-identical to the reference.
#pragma once

#include <cstddef>
#include <cstdint>

#include "resampler/filter.h"

namespace nuvsrc {

// What a kernel reads of the converter: its design (L, M, T, D and the
// filter) and, made from it, the block plan and the table. A view: it owns
// nothing and is made afresh from the converter where a kernel runs.
struct KernelGeometry {
    const Design* design = nullptr;
    const int32_t* phase = nullptr;       // p_k, k = 0 ... L-1
    const int32_t* offset = nullptr;      // j_k, k = 0 ... L-1
    const double* const* rows = nullptr;  // the table, or null: compute on demand

    int32_t up() const { return design->filter.up; }
    int32_t down() const { return design->down; }
    int32_t taps() const { return design->filter.taps; }
    int64_t block_length() const { return design->block_length; }
    const FilterShape& shape() const { return design->filter; }
};

// The definition: src holds at least D samples; writes exactly L outputs.
void KernelReference(const KernelGeometry& g, const double* src, double* dst);

enum class KernelVariant : int32_t {
    kReference = 0,  // one output at a time, the definition
    kMultiOutput,    // several outputs of one block at once, portable
    kLanesPortable,  // the same output of several blocks at once, portable
    kLanesSse2,
    kLanesAvx2,
    kLanesAvx512,
    kLanesAvx512Vl,  // AVX-512VL at 256-bit width with 32 registers
};

inline constexpr KernelVariant kAllKernelVariants[] = {
    KernelVariant::kReference,     KernelVariant::kMultiOutput, KernelVariant::kLanesPortable,
    KernelVariant::kLanesSse2,     KernelVariant::kLanesAvx2,   KernelVariant::kLanesAvx512,
    KernelVariant::kLanesAvx512Vl,
};
inline constexpr int32_t kKernelVariantCount = 7;

const char* KernelName(KernelVariant v);

// Whether this CPU runs the variant (detected once).
bool KernelSupported(KernelVariant v);

// The lane variant converters use until the calibration has run: AVX2
// where the processor has it, else the widest supported lane variant.
KernelVariant HomeKernel();

// The lane variant for this processor, chosen once per process by timing
// the supported lane variants over the same representative blocks (about
// a millisecond where several are timed): the home variant, unless the
// fastest takes at least kLeaveHomeMargin less time. All variants give the
// same bits, so the choice changes only the speed. Runs the calibration
// (or waits for the thread that runs it) at the first question.
KernelVariant BestKernel();
inline constexpr double kLeaveHomeMargin = 0.05;

// What the calibration measured: the best time (nanoseconds) of each
// variant over its blocks, 0 for variants not timed.
struct KernelCalibration {
    KernelVariant chosen;
    int64_t nanoseconds[kKernelVariantCount];
    int64_t multiply_adds;      // per timed run
    int64_t total_nanoseconds;  // the whole calibration
};
const KernelCalibration& Calibration();

// Runs the calibration on this thread unless it has run or another thread
// runs it; never waits for another thread.
void CalibrateKernelOnce();

// BestKernel once the calibration has run, HomeKernel before; never waits.
KernelVariant CurrentKernel();

// Blocks a lane variant computes side by side (1 for the others).
int32_t KernelLanes(KernelVariant v);

// How a lane variant works: `width` doubles per vector register, `registers`
// registers per output (the lanes are width * registers blocks), up to
// `tile` neighbouring outputs computed together. The tile is bounded by the
// registers: tile * registers running sums, tile broadcast coefficients and
// one input row. The shapes differ so that every tile size is exercised on
// any x86 machine.
struct LaneShape {
    int32_t width;
    int32_t registers;
    int32_t tile;
    constexpr int32_t lanes() const { return width * registers; }
};
inline constexpr LaneShape kLanesPortableShape{1, 4, 4};
inline constexpr LaneShape kLanesSse2Shape{2, 3, 3};
inline constexpr LaneShape kLanesAvx2Shape{4, 6, 2};
inline constexpr LaneShape kLanesAvx512Shape{8, 4, 4};
inline constexpr LaneShape kLanesAvx512VlShape{4, 4, 6};

// Lanes a run of `blocks` blocks leaves empty (fed zeros) in a lane variant:
// whole groups, then one group of the fewest registers that hold the rest.
int32_t EmptyLanes(KernelVariant v, int32_t blocks);

// Most outputs a lane variant takes through one pass over the interleaved
// input (its coefficient rows computed on demand and running sums).
inline constexpr int32_t kMaxLaneGroup = 12;

// Scratch (doubles, 64-byte aligned) one caller of RunBlocks needs: the
// interleaved input of one lane group and room for computed coefficient rows.
size_t KernelScratchDoubles(KernelVariant v, const KernelGeometry& g);

// Runs `blocks` consecutive blocks: block b reads src + b * M (D samples) and
// writes dst + b * L (L samples). `scratch` holds KernelScratchDoubles.
void RunBlocks(KernelVariant v, const KernelGeometry& g, const double* src, int32_t blocks,
               double* dst, double* scratch);

// The per-variant entries behind RunBlocks (lane variants only).
void RunLanesPortable(const KernelGeometry& g, const double* src, int32_t blocks, double* dst,
                      double* scratch);
void RunLanesSse2(const KernelGeometry& g, const double* src, int32_t blocks, double* dst,
                  double* scratch);
void RunLanesAvx2(const KernelGeometry& g, const double* src, int32_t blocks, double* dst,
                  double* scratch);
void RunLanesAvx512(const KernelGeometry& g, const double* src, int32_t blocks, double* dst,
                    double* scratch);
void RunLanesAvx512Vl(const KernelGeometry& g, const double* src, int32_t blocks, double* dst,
                      double* scratch);

}  // namespace nuvsrc
