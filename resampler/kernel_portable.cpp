// Lane kernel in plain C++: eight blocks side by side in scalar registers.
#include "resampler/kernel.h"

namespace nuvsrc {
namespace {

struct Scalar {
    using reg = double;
    static constexpr int kWidth = 1;
    static reg Zero() { return 0.0; }
    static reg Broadcast(const double* p) { return *p; }
    static reg Load(const double* p) { return *p; }
    static reg Mul(reg a, reg b) { return a * b; }
    static reg Add(reg a, reg b) { return a + b; }
    static void Store(double* p, reg a) { *p = a; }
};

#include "resampler/kernel_lanes.inc"

}  // namespace

void RunLanesPortable(const KernelGeometry& g, const double* src, int32_t blocks, double* dst,
                      double* scratch) {
    RunLanesCore<Scalar, 8>(g, src, blocks, dst, scratch);
}

}  // namespace nuvsrc
