// Lane kernel with SSE2: three registers of two doubles per output, six
// blocks, tiles of three outputs.
#include <type_traits>
#include <utility>

#include "resampler/kernel.h"

#if defined(__x86_64__) || defined(__i386__)
#include <emmintrin.h>

namespace nuvsrc {
namespace {

struct Sse2 {
    using reg = __m128d;
    static constexpr int kWidth = 2;
    static reg Zero() { return _mm_setzero_pd(); }
    static reg Broadcast(const double* p) { return _mm_load1_pd(p); }
    static reg Load(const double* p) { return _mm_loadu_pd(p); }
    // Holds a loaded row in a register, so that the tile's multiplies use it
    // instead of loading it again each.
    static void Keep(reg& r) { asm("" : "+x"(r)); }
    static reg Mul(reg a, reg b) { return _mm_mul_pd(a, b); }
    static reg Add(reg a, reg b) { return _mm_add_pd(a, b); }
    static void Store(double* p, reg a) { _mm_storeu_pd(p, a); }
    // A square of 2 x 2 turned over: out[j * stride + i] = in[i][j].
    static void Transpose(const double* const* in, double* out, int64_t stride) {
        const reg r0 = Load(in[0]);
        const reg r1 = Load(in[1]);
        Store(out, _mm_unpacklo_pd(r0, r1));
        Store(out + stride, _mm_unpackhi_pd(r0, r1));
    }
};

#include "resampler/kernel_lanes.inc"

static_assert(kLanesSse2Shape.width == Sse2::kWidth);

}  // namespace

void RunLanesSse2(const KernelGeometry& g, const double* src, int32_t blocks, double* dst,
                  double* scratch) {
    constexpr LaneShape kShape = kLanesSse2Shape;
    RunLanes<Sse2, kShape.registers, kShape.tile>(g, src, blocks, dst, scratch);
}

}  // namespace nuvsrc

#else  // other processors: never selected, present for the link

namespace nuvsrc {

void RunLanesSse2(const KernelGeometry& g, const double* src, int32_t blocks, double* dst,
                  double* scratch) {
    RunLanesPortable(g, src, blocks, dst, scratch);
}

}  // namespace nuvsrc

#endif
