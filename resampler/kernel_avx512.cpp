// Lane kernel with AVX-512F (built with -mavx512f and without FMA): four
// registers of eight doubles, 32 blocks, multiply and add issued separately.
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
    static reg Mul(reg a, reg b) { return _mm512_mul_pd(a, b); }
    static reg Add(reg a, reg b) { return _mm512_add_pd(a, b); }
    static void Store(double* p, reg a) { _mm512_storeu_pd(p, a); }
};

#include "resampler/kernel_lanes.inc"

}  // namespace

void RunLanesAvx512(const KernelGeometry& g, const double* src, int32_t blocks, double* dst,
                    double* scratch) {
    RunLanesCore<Avx512, 4>(g, src, blocks, dst, scratch);
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
