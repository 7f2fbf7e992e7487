// Lane kernel with AVX2 (built with -mavx2 and without FMA): six registers of
// four doubles per output, 24 blocks, tiles of two outputs, multiply and add
// issued separately. Two outputs of six registers take twelve of the sixteen
// registers for their sums; each broadcast coefficient then feeds six
// multiplies, which matters where the broadcast takes a floating-point pipe
// (as on some cores), and the per-chunk work of each output (its sums loaded
// and stored, its taps outside the shared rows) is spread over more blocks.
// The shared input rows are memory operands of the multiplies (MulFrom).
#include <type_traits>
#include <utility>

#include "resampler/kernel.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace nuvsrc {
namespace {

#include "resampler/kernel_transpose4.inc"

struct Avx2 {
    using reg = __m256d;
    static constexpr int kWidth = 4;
    static reg Zero() { return _mm256_setzero_pd(); }
    static reg Broadcast(const double* p) { return _mm256_broadcast_sd(p); }
    static reg Load(const double* p) { return _mm256_loadu_pd(p); }
    static reg Mul(reg a, reg b) { return _mm256_mul_pd(a, b); }
    // c times the input row at p, read by the multiply itself. The compiler
    // would load a row the tile's two outputs share once into a register,
    // one more instruction per row; with each multiply reading it the loop
    // issues fewer operations for one more load, which AMD cores (measured
    // on Zen 1, modelled for Zen 3) run faster and Intel ones (modelled) as
    // fast. The multiplies are the same, so are the bits.
    static reg MulFrom(reg c, const double* p) {
        reg r;
        asm("vmulpd %2, %1, %0" : "=x"(r) : "x"(c), "m"(*reinterpret_cast<const __m256d_u*>(p)));
        return r;
    }
    static reg Add(reg a, reg b) { return _mm256_add_pd(a, b); }
    static void Store(double* p, reg a) { _mm256_storeu_pd(p, a); }
    // A square of 4 x 4 turned over: out[j * stride + i] = in[i][j].
    static void Transpose(const double* const* in, double* out, int64_t stride) {
        Transpose4x4(in, out, stride);
    }
};

#include "resampler/kernel_lanes.inc"

static_assert(kLanesAvx2Shape.width == Avx2::kWidth);

}  // namespace

void RunLanesAvx2(const KernelGeometry& g, const double* src, int32_t blocks, double* dst,
                  double* scratch) {
    constexpr LaneShape kShape = kLanesAvx2Shape;
    RunLanes<Avx2, kShape.registers, kShape.tile>(g, src, blocks, dst, scratch);
}

}  // namespace nuvsrc

#else  // other processors: never selected, present for the link

namespace nuvsrc {

void RunLanesAvx2(const KernelGeometry& g, const double* src, int32_t blocks, double* dst,
                  double* scratch) {
    RunLanesPortable(g, src, blocks, dst, scratch);
}

}  // namespace nuvsrc

#endif
