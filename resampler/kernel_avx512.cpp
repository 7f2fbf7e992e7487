// Lane kernel with AVX-512F (built with -mavx512f and without FMA): four
// registers of eight doubles per output, 32 blocks, tiles of four outputs,
// multiply and add issued separately.
#include <type_traits>
#include <utility>

#include "resampler/kernel.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace nuvsrc {
namespace {

struct Avx512 {
    using reg = __m512d;
    static constexpr int kWidth = 8;
    static reg Zero() { return _mm512_setzero_pd(); }
    static reg Broadcast(const double* p) { return _mm512_set1_pd(*p); }
    static reg Load(const double* p) { return _mm512_loadu_pd(p); }
    // Holds a loaded row in a register, so that the tile's multiplies use it
    // instead of loading it again each.
    static void Keep(reg& r) { asm("" : "+v"(r)); }
    static reg Mul(reg a, reg b) { return _mm512_mul_pd(a, b); }
    static reg Add(reg a, reg b) { return _mm512_add_pd(a, b); }
    static void Store(double* p, reg a) { _mm512_storeu_pd(p, a); }
};

#include "resampler/kernel_lanes.inc"

static_assert(kLanesAvx512Shape.width == Avx512::kWidth);

}  // namespace

void RunLanesAvx512(const KernelGeometry& g, const double* src, int32_t blocks, double* dst,
                    double* scratch) {
    constexpr LaneShape kShape = kLanesAvx512Shape;
    RunLanes<Avx512, kShape.registers, kShape.tile>(g, src, blocks, dst, scratch);
}

}  // namespace nuvsrc

#else  // other processors: never selected, present for the link

namespace nuvsrc {

void RunLanesAvx512(const KernelGeometry& g, const double* src, int32_t blocks, double* dst,
                    double* scratch) {
    RunLanesPortable(g, src, blocks, dst, scratch);
}

}  // namespace nuvsrc

#endif
