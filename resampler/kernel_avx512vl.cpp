// Lane kernel with AVX-512VL at 256-bit width (built with -mavx512f
// -mavx512vl, multiply and add issued separately): four registers of four
// doubles per output, 16 blocks, like the AVX2 kernel, but with the 32 vector
// registers of AVX-512 for tiles of six outputs, so that each loaded input
// row feeds 24 multiply-adds. It pays on processors that split 512-bit
// operations in two halves; where they run whole, the 512-bit kernel wins
// and calibration chooses it.
#include <type_traits>
#include <utility>

#include "resampler/kernel.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace nuvsrc {
namespace {

#include "resampler/kernel_transpose4.inc"

struct Avx512Vl {
    using reg = __m256d;
    static constexpr int kWidth = 4;
    static reg Zero() { return _mm256_setzero_pd(); }
    static reg Broadcast(const double* p) { return _mm256_broadcast_sd(p); }
    static reg Load(const double* p) { return _mm256_loadu_pd(p); }
    // Holds a loaded row in a register (any of the 32), so that the tile's
    // multiplies use it instead of loading it again each.
    static void Keep(reg& r) { asm("" : "+v"(r)); }
    static reg Mul(reg a, reg b) { return _mm256_mul_pd(a, b); }
    static reg Add(reg a, reg b) { return _mm256_add_pd(a, b); }
    static void Store(double* p, reg a) { _mm256_storeu_pd(p, a); }
    // A square of 4 x 4 turned over: out[j * stride + i] = in[i][j].
    static void Transpose(const double* const* in, double* out, int64_t stride) {
        Transpose4x4(in, out, stride);
    }
};

#include "resampler/kernel_lanes.inc"

static_assert(kLanesAvx512VlShape.width == Avx512Vl::kWidth);

}  // namespace

void RunLanesAvx512Vl(const KernelGeometry& g, const double* src, int32_t blocks, double* dst,
                      double* scratch) {
    constexpr LaneShape kShape = kLanesAvx512VlShape;
    RunLanes<Avx512Vl, kShape.registers, kShape.tile>(g, src, blocks, dst, scratch);
}

}  // namespace nuvsrc

#else  // other processors: never selected, present for the link

namespace nuvsrc {

void RunLanesAvx512Vl(const KernelGeometry& g, const double* src, int32_t blocks, double* dst,
                      double* scratch) {
    RunLanesPortable(g, src, blocks, dst, scratch);
}

}  // namespace nuvsrc

#endif
