// Every kernel variant computes the reference sums bit for bit.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <vector>

#include "resampler/design.h"
#include "resampler/filter.h"
#include "resampler/kernel.h"
#include "resampler/ratio.h"

namespace nuvsrc {
namespace {

// A design with its table (or none) and block plan, as a converter holds
// them.
struct KernelSetup {
    Design design;
    CoefficientTable table;
    std::vector<int32_t> phase, offset;
    KernelGeometry g;

    KernelSetup(int32_t in, int32_t out, int32_t quality, bool with_table)
        : design(MakeDesign(in, out, quality, kDefaultFilterMemorySize)) {
        if (with_table) {
            EXPECT_EQ(BuildTable(design.filter, &table).code, 0);
        }
        phase.resize(design.up());
        offset.resize(design.up());
        BlockPlan(design.up(), design.down, design.filter.center, phase.data(), offset.data());
        g.design = &design;
        g.phase = phase.data();
        g.offset = offset.data();
        g.rows = table.rows;
    }
    ~KernelSetup() { ReleaseTable(&table); }
    KernelSetup(const KernelSetup&) = delete;
    KernelSetup& operator=(const KernelSetup&) = delete;
};

std::vector<double> Noise(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<double> v(n);
    for (double& x : v)
        x = u(rng);
    return v;
}

std::vector<double> RunVariant(KernelVariant v, const KernelGeometry& g,
                               const std::vector<double>& in, int32_t blocks) {
    std::vector<double> out(static_cast<size_t>(blocks) * g.up(), -7.0);
    const size_t n = KernelScratchDoubles(v, g) + 8;
    double* scratch =
        static_cast<double*>(::operator new ((n * 8 + 63) / 64 * 64, std::align_val_t{64}));
    RunBlocks(v, g, in.data(), blocks, out.data(), scratch);
    ::operator delete (scratch, std::align_val_t{64});
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
    // groups that end short of a whole tile (L = 160, 147, 441, 16). The
    // interleaved input rows past the first M are the rows M earlier moved
    // one lane, down to M = 2 (48000 -> 72000); M = 1 (8000 -> 48000) is
    // transposed whole.
    const Case cases[] = {{44100, 48000, 10, 29}, {48000, 44100, 7, 53}, {44100, 48000, 3, 53},
                          {96000, 8000, 3, 53},   {8000, 44100, 5, 53},  {48000, 47999, 3, 2},
                          {22050, 96000, 4, 53},  {96000, 44100, 6, 53}, {1000, 3, 3, 53},
                          {96000, 44100, 5, 53},  {48000, 44100, 10, 5}, {44100, 47040, 8, 53},
                          {48000, 72000, 5, 53},  {8000, 48000, 4, 53}};
    for (const Case& c : cases) {
        KernelSetup d(c.in, c.out, c.quality, true);
        for (int32_t blocks : {1, 5, 29, 53}) {
            if (blocks > c.max_blocks) continue;
            const auto in =
                Noise(static_cast<size_t>(d.g.block_length() + (blocks - 1) * int64_t{d.g.down()}),
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

// Runs of every length up to two whole groups and one more block: the last
// group of a run takes the fewest registers that hold the rest, and every
// width gives the reference sums.
TEST(KernelVariants, RunsOfEveryLengthEqualReference) {
    KernelSetup d(44100, 48000, 3, true);
    const int32_t longest = 2 * KernelLanes(KernelVariant::kLanesAvx512) + 1;
    const auto in =
        Noise(static_cast<size_t>(d.g.block_length() + (longest - 1) * int64_t{d.g.down()}), 9);
    for (int32_t blocks = 1; blocks <= longest; ++blocks) {
        const auto ref = RunVariant(KernelVariant::kReference, d.g, in, blocks);
        for (KernelVariant v : kAllKernelVariants) {
            if (KernelLanes(v) > 1 && KernelSupported(v)) {
                EXPECT_TRUE(SameBits(RunVariant(v, d.g, in, blocks), ref))
                    << KernelName(v) << " " << blocks;
            }
        }
    }
}

TEST(KernelVariants, EmptyLanesOfARunAreFewerThanOneRegister) {
    // AVX-512: groups of 32 lanes in registers of 8.
    EXPECT_EQ(EmptyLanes(KernelVariant::kLanesAvx512, 64), 0);
    EXPECT_EQ(EmptyLanes(KernelVariant::kLanesAvx512, 5), 3);
    EXPECT_EQ(EmptyLanes(KernelVariant::kLanesAvx512, 20), 4);
    EXPECT_EQ(EmptyLanes(KernelVariant::kLanesAvx512, 33), 7);
    // AVX2: 24 in registers of 4; SSE2: 6 in registers of 2.
    EXPECT_EQ(EmptyLanes(KernelVariant::kLanesAvx2, 17), 3);
    EXPECT_EQ(EmptyLanes(KernelVariant::kLanesAvx2, 30), 2);
    EXPECT_EQ(EmptyLanes(KernelVariant::kLanesSse2, 7), 1);
    // One lane per register leaves none.
    EXPECT_EQ(EmptyLanes(KernelVariant::kLanesPortable, 7), 0);
}

// The calibration times the supported lane variants and keeps the home
// variant unless the fastest beats it by the margin.
TEST(KernelChoice, CalibrationLeavesTheHomeVariantOnlyForAClearlyFasterOne) {
    const KernelCalibration& k = Calibration();
    EXPECT_EQ(BestKernel(), k.chosen);
    EXPECT_EQ(CurrentKernel(), k.chosen);
    EXPECT_TRUE(KernelSupported(HomeKernel()));
    EXPECT_TRUE(KernelSupported(k.chosen));
    EXPECT_GT(KernelLanes(k.chosen), 1);
    auto time_of = [&](KernelVariant v) {
        return static_cast<double>(k.nanoseconds[static_cast<int32_t>(v)]);
    };
    KernelVariant fastest = HomeKernel();
    for (KernelVariant v : kAllKernelVariants) {
        if (time_of(v) == 0) continue;
        EXPECT_TRUE(KernelSupported(v) && KernelLanes(v) > 1) << KernelName(v);
        if (time_of(v) < time_of(fastest)) fastest = v;
    }
    if (time_of(HomeKernel()) > 0) {
        const bool clearly = time_of(fastest) < time_of(HomeKernel()) * (1.0 - kLeaveHomeMargin);
        EXPECT_EQ(k.chosen, clearly ? fastest : HomeKernel());
    } else {
        EXPECT_EQ(k.chosen, HomeKernel());  // nothing timed: one candidate only
    }
    EXPECT_EQ(&Calibration(), &k);  // once per process
}

TEST(KernelVariants, EqualReferenceWithCoefficientsComputedOnDemand) {
    KernelSetup d(44100, 48000, 4, false);
    ASSERT_EQ(d.g.rows, nullptr);
    const int32_t blocks = 19;
    const auto in =
        Noise(static_cast<size_t>(d.g.block_length() + (blocks - 1) * int64_t{d.g.down()}), 5);
    const auto ref = RunVariant(KernelVariant::kReference, d.g, in, blocks);
    for (KernelVariant v : kAllKernelVariants) {
        if (KernelSupported(v)) {
            EXPECT_TRUE(SameBits(RunVariant(v, d.g, in, blocks), ref)) << KernelName(v);
        }
    }
}

TEST(KernelVariants, SignedZerosAndSubnormalsKeepTheirBits) {
    KernelSetup d(48000, 44100, 3, true);
    const int32_t blocks = 9;
    std::vector<double> in(
        static_cast<size_t>(d.g.block_length() + (blocks - 1) * int64_t{d.g.down()}));
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
