// The kernel's definition, one output at a time. Built at -O2 like any plain
// scalar code: it is both the reference of the tests and the baseline of the
// benchmarks.
#include "resampler/kernel.h"

namespace nuvsrc {

void KernelReference(const KernelGeometry& g, const double* src, double* dst) {
    int32_t p = static_cast<int32_t>(g.shape().center % g.up());
    int64_t a = 0;
    int64_t b = p;
    int64_t j = 0;
    for (int32_t k = 0; k < g.up(); ++k) {
        double y = 0.0;
        if (g.rows != nullptr) {
            const double* row = g.rows[p];
            for (int32_t t = 0; t < g.taps(); ++t)
                y = y + row[t] * src[j + t];
        } else {
            for (int32_t t = 0; t < g.taps(); ++t) {
                y = y + FilterTap(g.shape(), p + static_cast<int64_t>(t) * g.up()) * src[j + t];
            }
        }
        dst[k] = y;
        a += g.down();
        while (b < a) {
            b += g.up();
            ++j;
        }
        p = static_cast<int32_t>(b - a);
    }
}

}  // namespace nuvsrc
