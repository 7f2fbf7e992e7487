// Lane kernel in plain C++: four blocks side by side in scalar registers,
// tiles of four outputs.
#include <type_traits>
#include <utility>

#include "resampler/kernel.h"

namespace nuvsrc {
namespace {

struct Scalar {
    using reg = double;
    static constexpr int kWidth = 1;
    static reg Zero() { return 0.0; }
    static reg Broadcast(const double* p) { return *p; }
    static reg Load(const double* p) { return *p; }
    static void Keep(reg&) {}
    static reg Mul(reg a, reg b) { return a * b; }
    static reg Add(reg a, reg b) { return a + b; }
    static void Store(double* p, reg a) { *p = a; }
    static void Transpose(const double* const* in, double* out, int64_t) { *out = **in; }
};

#include "resampler/kernel_lanes.inc"

static_assert(kLanesPortableShape.width == Scalar::kWidth);

}  // namespace

void RunLanesPortable(const KernelGeometry& g, const double* src, int32_t blocks, double* dst,
                      double* scratch) {
    constexpr LaneShape kShape = kLanesPortableShape;
    RunLanes<Scalar, kShape.registers, kShape.tile>(g, src, blocks, dst, scratch);
}

}  // namespace nuvsrc
