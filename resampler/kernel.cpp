#include "resampler/kernel.h"

namespace nuvsrc {

namespace {

constexpr size_t kLaneGroup = kMaxLaneGroup;

// Outputs of one block computed side by side by the multi-output kernel.
constexpr int32_t kMultiOutputs = 4;

// Several outputs of one block at once: each output has its own phase row
// and input offset, so every tap costs two scalar loads per output, but the
// sums no longer wait on one another. Used where few blocks run together.
void MultiOutputBlock(const KernelGeometry& g, const double* src, double* dst,
                      double* computed_rows) {
    const int32_t taps = g.taps();
    for (int32_t k0 = 0; k0 < g.up(); k0 += kMultiOutputs) {
        const double* c[kMultiOutputs];
        const double* x[kMultiOutputs];
        for (int32_t i = 0; i < kMultiOutputs; ++i) {
            // Past the last output, repeat it; the surplus sums are dropped.
            const int32_t k = k0 + i < g.up() ? k0 + i : g.up() - 1;
            if (g.rows != nullptr) {
                c[i] = g.rows[g.phase[k]];
            } else {
                double* row = computed_rows + static_cast<int64_t>(i) * taps;
                ComputePhaseRow(g.shape(), g.phase[k], row);
                c[i] = row;
            }
            x[i] = src + g.offset[k];
        }
        double y0 = 0.0, y1 = 0.0, y2 = 0.0, y3 = 0.0;
        for (int32_t t = 0; t < taps; ++t) {
            y0 = y0 + c[0][t] * x[0][t];
            y1 = y1 + c[1][t] * x[1][t];
            y2 = y2 + c[2][t] * x[2][t];
            y3 = y3 + c[3][t] * x[3][t];
        }
        const double y[kMultiOutputs] = {y0, y1, y2, y3};
        for (int32_t i = 0; i < kMultiOutputs && k0 + i < g.up(); ++i)
            dst[k0 + i] = y[i];
    }
}

bool CpuHas(KernelVariant v) {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    switch (v) {
        case KernelVariant::kLanesSse2: return __builtin_cpu_supports("sse2");
        case KernelVariant::kLanesAvx2: return __builtin_cpu_supports("avx2");
        case KernelVariant::kLanesAvx512: return __builtin_cpu_supports("avx512f");
        case KernelVariant::kLanesAvx512Vl:
            return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
        default: return true;
    }
#else
    return v == KernelVariant::kReference || v == KernelVariant::kMultiOutput ||
           v == KernelVariant::kLanesPortable;
#endif
}

struct CpuSupport {
    bool supported[kKernelVariantCount];
    CpuSupport() : supported{} {
        for (KernelVariant v : kAllKernelVariants)
            supported[static_cast<int32_t>(v)] = CpuHas(v);
    }
};

// Detected once, at the first question (thread-safe static initialisation).
const CpuSupport& Cpu() {
    static const CpuSupport cpu;
    return cpu;
}

}  // namespace

const char* KernelName(KernelVariant v) {
    switch (v) {
        case KernelVariant::kReference: return "reference";
        case KernelVariant::kMultiOutput: return "multi-output";
        case KernelVariant::kLanesPortable: return "lanes-portable";
        case KernelVariant::kLanesSse2: return "lanes-sse2";
        case KernelVariant::kLanesAvx2: return "lanes-avx2";
        case KernelVariant::kLanesAvx512: return "lanes-avx512";
        case KernelVariant::kLanesAvx512Vl: return "lanes-avx512vl";
    }
    return "unknown";
}

bool KernelSupported(KernelVariant v) { return Cpu().supported[static_cast<int32_t>(v)]; }

namespace {

// The shape of a lane variant; width 1, one register for the others.
LaneShape ShapeOf(KernelVariant v) {
    switch (v) {
        case KernelVariant::kLanesPortable: return kLanesPortableShape;
        case KernelVariant::kLanesSse2: return kLanesSse2Shape;
        case KernelVariant::kLanesAvx2: return kLanesAvx2Shape;
        case KernelVariant::kLanesAvx512: return kLanesAvx512Shape;
        case KernelVariant::kLanesAvx512Vl: return kLanesAvx512VlShape;
        default: return LaneShape{1, 1, 1};
    }
}

}  // namespace

int32_t KernelLanes(KernelVariant v) { return ShapeOf(v).lanes(); }

int32_t EmptyLanes(KernelVariant v, int32_t blocks) {
    const LaneShape shape = ShapeOf(v);
    const int32_t rest = blocks % shape.lanes();
    if (rest == 0) return 0;
    return (rest + shape.width - 1) / shape.width * shape.width - rest;
}

size_t KernelScratchDoubles(KernelVariant v, const KernelGeometry& g) {
    const size_t taps = static_cast<size_t>(g.taps());
    switch (v) {
        case KernelVariant::kReference: return 0;
        case KernelVariant::kMultiOutput: return kMultiOutputs * taps;
        default: {
            // Interleaved input, rows computed on demand, running sums.
            const size_t lanes = static_cast<size_t>(KernelLanes(v));
            return static_cast<size_t>(g.block_length()) * lanes + kLaneGroup * taps +
                   kLaneGroup * lanes;
        }
    }
}

void RunBlocks(KernelVariant v, const KernelGeometry& g, const double* src, int32_t blocks,
               double* dst, double* scratch) {
    switch (v) {
        case KernelVariant::kReference:
            for (int32_t b = 0; b < blocks; ++b) {
                KernelReference(g, src + static_cast<int64_t>(b) * g.down(),
                                dst + static_cast<int64_t>(b) * g.up());
            }
            return;
        case KernelVariant::kMultiOutput:
            for (int32_t b = 0; b < blocks; ++b) {
                MultiOutputBlock(g, src + static_cast<int64_t>(b) * g.down(),
                                 dst + static_cast<int64_t>(b) * g.up(), scratch);
            }
            return;
        case KernelVariant::kLanesPortable: RunLanesPortable(g, src, blocks, dst, scratch); return;
        case KernelVariant::kLanesSse2: RunLanesSse2(g, src, blocks, dst, scratch); return;
        case KernelVariant::kLanesAvx2: RunLanesAvx2(g, src, blocks, dst, scratch); return;
        case KernelVariant::kLanesAvx512: RunLanesAvx512(g, src, blocks, dst, scratch); return;
        case KernelVariant::kLanesAvx512Vl: RunLanesAvx512Vl(g, src, blocks, dst, scratch); return;
    }
}

}  // namespace nuvsrc
