// Every kernel variant computes the reference sums bit for bit.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <vector>

#include "resampler/filter.h"
#include "resampler/kernel.h"
#include "resampler/ratio.h"

namespace nuvsrc {
namespace {

// A filter design with its table (or none) and block plan, as a converter
// holds it.
struct Design {
    FilterShape shape;
    CoefficientTable table;
    std::vector<int32_t> phase, offset;
    KernelGeometry g;

    Design(int32_t in, int32_t out, int32_t quality, bool with_table) {
        const Ratio r = DeriveRatio(in, out);
        shape.up = r.up;
        shape.taps = TapsPerPhase(quality);
        shape.length = FilterLength(r.up, shape.taps);
        shape.center = FilterCenter(shape.length);
        shape.cutoff = r.cutoff;
        shape.cutoff_angle = r.cutoff_angle;
        if (with_table) {
            EXPECT_EQ(BuildTable(shape, &table).code, 0);
        }
        phase.resize(r.up);
        offset.resize(r.up);
        BlockPlan(r.up, r.down, shape.center, phase.data(), offset.data());
        g.up = r.up;
        g.down = r.down;
        g.taps = shape.taps;
        g.block_length = BlockLength(r.up, r.down, shape.length);
        g.phase = phase.data();
        g.offset = offset.data();
        g.rows = table.rows;
        g.shape = &shape;
    }
    ~Design() { ReleaseTable(&table); }
};

std::vector<double> Noise(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<double> v(n);
    for (double& x : v) x = u(rng);
    return v;
}

std::vector<double> RunVariant(KernelVariant v, const KernelGeometry& g, const std::vector<double>& in,
                        int32_t blocks) {
    std::vector<double> out(static_cast<size_t>(blocks) * g.up, -7.0);
    const size_t n = KernelScratchDoubles(v, g) + 8;
    double* scratch = static_cast<double*>(::operator new((n * 8 + 63) / 64 * 64, std::align_val_t{64}));
    RunBlocks(v, g, in.data(), blocks, out.data(), scratch);
    ::operator delete(scratch, std::align_val_t{64});
    return out;
}

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * 8) == 0;
}

struct Case {
    int32_t in, out, quality, max_blocks;
};

// Block counts: one, a few, and more than one lane group of every variant
// with a short last group.
TEST(KernelVariants, EqualReferenceBitForBit) {
    // Tiles of one to four outputs, the widest whose neighbours share most
    // rows: fours and threes near unity, threes, twos and ones mixed at
    // 96000 -> 44100 q5, twos and ones at q3, only ones at 1000 -> 3; phase
    // groups that end short of a whole tile (L = 160, 147, 441, 16).
    const Case cases[] = {{44100, 48000, 10, 29}, {48000, 44100, 7, 53}, {44100, 48000, 3, 53},
                          {96000, 8000, 3, 53},   {8000, 44100, 5, 53},  {48000, 47999, 3, 2},
                          {22050, 96000, 4, 53},  {96000, 44100, 6, 53}, {1000, 3, 3, 53},
                          {96000, 44100, 5, 53},  {48000, 44100, 10, 5}, {44100, 47040, 8, 53}};
    for (const Case& c : cases) {
        Design d(c.in, c.out, c.quality, true);
        for (int32_t blocks : {1, 5, 29, 53}) {
            if (blocks > c.max_blocks) continue;
            const auto in = Noise(static_cast<size_t>(d.g.block_length + (blocks - 1) * int64_t{d.g.down}),
                                  static_cast<uint32_t>(c.in + blocks));
            const auto ref = RunVariant(KernelVariant::kReference, d.g, in, blocks);
            for (KernelVariant v : kAllKernelVariants) {
                if (!KernelSupported(v)) continue;
                EXPECT_TRUE(SameBits(RunVariant(v, d.g, in, blocks), ref))
                    << KernelName(v) << " " << c.in << "->" << c.out << " q" << c.quality
                    << " blocks " << blocks;
            }
        }
    }
}

TEST(KernelVariants, EqualReferenceWithCoefficientsComputedOnDemand) {
    Design d(44100, 48000, 4, false);
    ASSERT_EQ(d.g.rows, nullptr);
    const int32_t blocks = 19;
    const auto in = Noise(static_cast<size_t>(d.g.block_length + (blocks - 1) * int64_t{d.g.down}), 5);
    const auto ref = RunVariant(KernelVariant::kReference, d.g, in, blocks);
    for (KernelVariant v : kAllKernelVariants) {
        if (KernelSupported(v)) {
            EXPECT_TRUE(SameBits(RunVariant(v, d.g, in, blocks), ref)) << KernelName(v);
        }
    }
}

TEST(KernelVariants, SignedZerosAndSubnormalsKeepTheirBits) {
    Design d(48000, 44100, 3, true);
    const int32_t blocks = 9;
    std::vector<double> in(static_cast<size_t>(d.g.block_length + (blocks - 1) * int64_t{d.g.down}));
    for (size_t i = 0; i < in.size(); ++i) {
        in[i] = (i % 3 == 0) ? -0.0 : (i % 3 == 1 ? 4.9e-324 * static_cast<double>(i) : -1e-310);
    }
    const auto ref = RunVariant(KernelVariant::kReference, d.g, in, blocks);
    for (KernelVariant v : kAllKernelVariants) {
        if (KernelSupported(v)) {
            EXPECT_TRUE(SameBits(RunVariant(v, d.g, in, blocks), ref)) << KernelName(v);
        }
    }
}

}  // namespace
}  // namespace nuvsrc
