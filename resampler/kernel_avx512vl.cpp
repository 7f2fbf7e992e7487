// Lane kernel with AVX-512VL at 256-bit width (built with -mavx512f
// -mavx512vl, multiply and add issued separately): four registers of four
// doubles per output, 16 blocks, as the AVX2 kernel, but with the 32 vector
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
    // A square of 4 x 4 turned over: out[j * stride + i] = in[i][j]. Each
    // register takes the halves of rows i and i + 2; interleaving then gives
    // the columns.
    static void Transpose(const double* const* in, double* out, int64_t stride) {
        reg h[4];
        for (int i = 0; i < 2; ++i) {
            for (int half = 0; half < 2; ++half) {
                h[i * 2 + half] =
                    _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(in[i] + half * 2)),
                                         _mm_loadu_pd(in[i + 2] + half * 2), 1);
            }
        }
        // h[i * 2 + half]: rows i and i + 2, columns 2 half and 2 half + 1.
        for (int half = 0; half < 2; ++half) {
            Store(out + (half * 2) * stride, _mm256_unpacklo_pd(h[half], h[2 + half]));
            Store(out + (half * 2 + 1) * stride, _mm256_unpackhi_pd(h[half], h[2 + half]));
        }
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
