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
    static constexpr __mmask8 kAll = 0xFF;
    // Quarters (128 bits) of a and b: with 0x88 the even ones of a, then of
    // b; with 0xDD the odd ones.
    template <int kSelect>
    static reg Quarters(reg a, reg b) {
        return _mm512_mask_shuffle_f64x2(a, kAll, a, b, kSelect);
    }
    // A square of 8 x 8 turned over: out[j * stride + i] = in[i][j].
    // Register h[q * 4 + p] holds half q (columns 4q ... 4q + 3) of rows
    // p + (p & 2) and p + (p & 2) + 2, p = 0 ... 3; interleaving pairs of
    // them and then gathering 128-bit quarters gives the columns. The
    // shuffles are the masked forms with every lane selected: the plain forms
    // merge into an undefined register, which g++ 12 reports as used
    // uninitialised.
    static void Transpose(const double* const* in, double* out, int64_t stride) {
        reg h[8];
        for (int q = 0; q < 2; ++q) {
            for (int p = 0; p < 4; ++p) {
                const int i = p + (p & 2);
                const reg low = _mm512_castpd256_pd512(_mm256_loadu_pd(in[i] + q * 4));
                h[q * 4 + p] =
                    _mm512_mask_insertf64x4(low, kAll, low, _mm256_loadu_pd(in[i + 2] + q * 4), 1);
            }
        }
        for (int q = 0; q < 2; ++q) {
            const reg* g = h + q * 4;
            // Columns 4q and 4q + 2 of rows 0, 1 | 2, 3 (lo) and 4, 5 | 6, 7
            // (lo2); columns 4q + 1 and 4q + 3 likewise (hi, hi2).
            const reg lo = _mm512_mask_unpacklo_pd(g[0], kAll, g[0], g[1]);
            const reg hi = _mm512_mask_unpackhi_pd(g[0], kAll, g[0], g[1]);
            const reg lo2 = _mm512_mask_unpacklo_pd(g[2], kAll, g[2], g[3]);
            const reg hi2 = _mm512_mask_unpackhi_pd(g[2], kAll, g[2], g[3]);
            double* o = out + q * 4 * stride;
            Store(o, Quarters<0x88>(lo, lo2));
            Store(o + stride, Quarters<0x88>(hi, hi2));
            Store(o + 2 * stride, Quarters<0xDD>(lo, lo2));
            Store(o + 3 * stride, Quarters<0xDD>(hi, hi2));
        }
    }
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
