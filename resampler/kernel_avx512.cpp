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
    // A square of 8 x 8 turned over: out[j * stride + i] = in[i][j]. Pairs
    // of rows are interleaved, then their 128-bit quarters gathered in two
    // steps. The shuffles are the masked forms with every lane selected: the
    // plain forms merge into an undefined register, which g++ 12 reports as
    // used uninitialised.
    static void Transpose(const double* const* in, double* out, int64_t stride) {
        reg r[8], t[8], u[8];
        for (int i = 0; i < 8; ++i)
            r[i] = Load(in[i]);
        for (int i = 0; i < 8; i += 2) {
            // Columns 0, 2, 4, 6 of rows i and i + 1, then columns 1, 3, 5, 7.
            t[i] = _mm512_mask_unpacklo_pd(r[i], kAll, r[i], r[i + 1]);
            t[i + 1] = _mm512_mask_unpackhi_pd(r[i], kAll, r[i], r[i + 1]);
        }
        // u[q * 4 + c] holds columns kColumn[c] and kColumn[c] + 4 of rows
        // 4q ... 4q + 3.
        constexpr int kColumn[4] = {0, 2, 1, 3};
        for (int q = 0; q < 2; ++q) {
            const reg* h = t + q * 4;
            u[q * 4 + 0] = Quarters<0x88>(h[0], h[2]);
            u[q * 4 + 1] = Quarters<0xDD>(h[0], h[2]);
            u[q * 4 + 2] = Quarters<0x88>(h[1], h[3]);
            u[q * 4 + 3] = Quarters<0xDD>(h[1], h[3]);
        }
        for (int c = 0; c < 4; ++c) {
            const int j = kColumn[c];
            Store(out + j * stride, Quarters<0x88>(u[c], u[4 + c]));
            Store(out + (j + 4) * stride, Quarters<0xDD>(u[c], u[4 + c]));
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
