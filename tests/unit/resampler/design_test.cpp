// Rate ratio, filter design, the coefficient table and its memory limit.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <thread>
#include <vector>

#include "resampler/design.h"
#include "resampler/filter.h"
#include "resampler/ratio.h"
#include "tests/unit/resampler/engine_fixture.h"

namespace {

using enginetest::Converter;
using enginetest::Library;
using namespace nuvsrc;

TEST(RateRatio, WorkedExamples) {
    static_assert(LcmBySearch(44100, 48000) == 7056000);
    constexpr Ratio up = DeriveRatio(44100, 48000);
    static_assert(up.up == 160 && up.down == 147);
    EXPECT_EQ(up.cutoff, 0.003125);
    EXPECT_EQ(up.cutoff_angle, 0.003125 * kTwoPi);
    constexpr Ratio down = DeriveRatio(48000, 44100);
    static_assert(down.up == 147 && down.down == 160);
    EXPECT_EQ(down.cutoff, 0.003125);
    constexpr Ratio low = DeriveRatio(8000, 44100);
    static_assert(low.up == 441 && low.down == 80);
    constexpr Ratio same = DeriveRatio(48000, 48000);
    static_assert(same.up == 1 && same.down == 1);
}

TEST(RateRatio, SearchAgreesWithGcdForCoprimeAndCommonRates) {
    const int32_t rates[] = {1, 2, 3, 7, 8000, 11025, 22050, 44100, 47999, 48000, 96000, 192000};
    for (int32_t a : rates) {
        for (int32_t b : rates) {
            EXPECT_EQ(LcmBySearch(a, b), std::lcm(int64_t{a}, int64_t{b})) << a << " " << b;
        }
    }
}

TEST(FilterDesign, WorkedSizesAt44100To48000) {
    constexpr int32_t taps = TapsPerPhase(10);
    static_assert(taps == 1024 && TapsPerPhase(3) == 8);
    constexpr int64_t n = FilterLength(160, taps);
    static_assert(n == 163839 && FilterCenter(n) == 81919);
    static_assert(BlockLength(160, 147, n) == 1171);
    static_assert(BlockLength(147, 160, FilterLength(147, taps)) == 1183);
    static_assert(BlockLength(1, 12, FilterLength(1, 8)) == 8);
    static_assert(HistoryStart(taps) == 511 && HistoryStart(8) == 3);
    static_assert(TableFits(n, 8 * n + 1) && !TableFits(n, 8 * n) && !TableFits(n, 0));
}

// The whole design of a converter as one value, on worked examples.
TEST(FilterDesign, MakeDesignWorkedExamples) {
    constexpr Design up = MakeDesign(44100, 48000, 10, kDefaultFilterMemorySize);
    static_assert(up.up() == 160 && up.down == 147 && up.filter.taps == 1024);
    static_assert(up.filter.length == 163839 && up.filter.center == 81919);
    static_assert(up.block_length == 1171 && up.history_start == 511 && up.keeps_table);
    static_assert(up.input_rate == 44100 && up.output_rate == 48000 && up.quality == 10);
    EXPECT_EQ(up.filter.cutoff, 0.003125);
    EXPECT_EQ(up.filter.cutoff_angle, 0.003125 * kTwoPi);

    constexpr Design down = MakeDesign(48000, 44100, 10, kDefaultFilterMemorySize);
    static_assert(down.up() == 147 && down.down == 160 && down.block_length == 1183);

    constexpr Design steep = MakeDesign(96000, 8000, 3, kDefaultFilterMemorySize);
    static_assert(steep.up() == 1 && steep.down == 12 && steep.filter.taps == 8);
    static_assert(steep.block_length == 8 && steep.history_start == 3);

    // Equal rates: no filter, no blocks, no table, whatever the quality.
    constexpr Design same = MakeDesign(48000, 48000, 10, kDefaultFilterMemorySize);
    static_assert(same.equal_rates() && same.filter.taps == 0 && same.filter.length == 0);
    static_assert(same.filter.center == 0 && same.block_length == 0 && !same.keeps_table);

    // The table is kept only below the limit: 8 N bytes is not enough.
    static_assert(!MakeDesign(44100, 48000, 10, 8 * 163839).keeps_table);
    static_assert(MakeDesign(44100, 48000, 10, 8 * 163839 + 1).keeps_table);
    static_assert(!MakeDesign(44100, 48000, 10, 0).keeps_table);

    // Rates that are not positive give no ratio, which the converter refuses.
    static_assert(MakeDesign(0, 48000, 10, 0).down == 0 && MakeDesign(0, 48000, 10, 0).up() == 0);
}

TEST(FilterDesign, BlockPlanIsTheSmallestOffsetReachingEachOutput) {
    struct Case {
        int32_t up, down, taps;
    };
    for (const Case& c :
         {Case{160, 147, 1024}, Case{147, 160, 8}, Case{1, 12, 8}, Case{441, 80, 32}}) {
        const int64_t center = FilterCenter(FilterLength(c.up, c.taps));
        std::vector<int32_t> phase(c.up), offset(c.up);
        BlockPlan(c.up, c.down, center, phase.data(), offset.data());
        for (int32_t k = 0; k < c.up; ++k) {
            const int64_t base = center % c.up;
            int64_t j = 0;
            while (base + j * c.up < int64_t{k} * c.down)
                ++j;
            EXPECT_EQ(offset[k], j);
            EXPECT_EQ(phase[k], base + j * c.up - int64_t{k} * c.down);
        }
    }
}

TEST(FilterTable, CentreIsOneAndWindowStartsAtZero) {
    Library lib;
    Converter c(44100, 48000, 10);
    const auto d = ConverterTestPeer::Inspect(c.p);
    EXPECT_EQ(d.design.up(), 160);
    EXPECT_EQ(d.design.down, 147);
    EXPECT_EQ(d.design.filter.taps, 1024);
    EXPECT_EQ(d.design.filter.length, 163839);
    EXPECT_EQ(d.design.filter.center, 81919);
    EXPECT_EQ(d.design.block_length, 1171);
    EXPECT_EQ(d.design.history_start, 511);
    EXPECT_EQ(d.design.filter.cutoff, 0.003125);
    ASSERT_TRUE(d.has_table);
    EXPECT_EQ(d.rows[81919 % 160][81919 / 160], 1.0);
    EXPECT_EQ(d.rows[0][0], 0.0);
    EXPECT_EQ(d.rows[159][1023], 0.0);  // the cell past the filter
}

// Coefficients of a built table below N that differ from the formula's bits.
int64_t RowMismatches(const FilterShape& f, const CoefficientTable& t) {
    std::vector<double> row(static_cast<size_t>(f.taps));
    int64_t mismatches = 0;
    for (int32_t p = 0; p < f.up; ++p) {
        ComputePhaseRow(f, p, row.data());
        for (int32_t col = 0; col < f.taps; ++col) {
            const int64_t i = p + int64_t{col} * f.up;
            if (i < f.length && std::memcmp(&row[col], &t.rows[p][col], 8) != 0) ++mismatches;
        }
    }
    return mismatches;
}

// An allocator that fails its allocation number `fail_at` (1 = the row
// array, 2 = the first row, ...) and serves the others from the heap,
// filled with bytes that are no coefficient (a NaN), so that a cell the
// table leaves unwritten shows.
struct CountingAllocator : NuvAllocatorHandle {
    int32_t allocations = 0;
    int32_t fail_at = 0;
    static void* Allocate(NuvAllocatorHandle* self, int32_t size, const char*, int32_t) {
        auto* a = static_cast<CountingAllocator*>(self);
        if (++a->allocations == a->fail_at) return nullptr;
        void* block = std::malloc(static_cast<size_t>(size));
        if (block != nullptr) std::memset(block, 0xFF, static_cast<size_t>(size));
        return block;
    }
    static int32_t Free(NuvAllocatorHandle*, void* block) {
        std::free(block);
        return 0;
    }
    static constexpr NuvAllocatorTable kTable{&Allocate, &Allocate, &Allocate, &Free};
    explicit CountingAllocator(int32_t fail = 0) : NuvAllocatorHandle{&kTable}, fail_at(fail) {}
};

TEST(FilterTable, TableAndOnDemandAgreeBelowN) {
    const FilterShape f = MakeDesign(44100, 48000, 10, kDefaultFilterMemorySize).filter;
    CountingAllocator allocator;
    CoefficientTable t;
    ASSERT_EQ(BuildTable(f, &t, &allocator).code, 0);
    EXPECT_EQ(RowMismatches(f, t), 0);
    // Past the filter the table holds 0, the formula a small value.
    EXPECT_EQ(t.rows[f.up - 1][f.taps - 1], 0.0);
    EXPECT_NE(FilterTap(f, f.length), 0.0);
    ReleaseTable(&t);
    EXPECT_EQ(t.rows, nullptr);
}

// Coefficients of the table below N that differ from the formula's bits.
int64_t TableMismatches(int32_t in, int32_t out, int32_t quality) {
    const FilterShape f = MakeDesign(in, out, quality, kDefaultFilterMemorySize).filter;
    CoefficientTable t;
    if (BuildTable(f, &t).code != 0) return -1;
    const int64_t mismatches = RowMismatches(f, t);
    ReleaseTable(&t);
    return mismatches;
}

// With the library up, the rows are shared out among the caller and free
// pool workers, one row or hundreds at a time; tables built at once on
// several threads compete for the same workers.
TEST(FilterTable, TablesFilledWithThePoolOnSeveralThreadsAgreeWithOnDemand) {
    Library lib;
    struct Case {
        int32_t in, out, quality;
    };
    const Case cases[] = {
        {44100, 48000, 10}, {48000, 47999, 3}, {96000, 44100, 7}, {8000, 44100, 5}};
    int64_t mismatches[4] = {};
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&, i] {
            mismatches[i] = TableMismatches(cases[i].in, cases[i].out, cases[i].quality);
        });
    }
    for (std::thread& t : threads)
        t.join();
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(mismatches[i], 0) << cases[i].in << "->" << cases[i].out;
}

// A table started on the pool is read by three holders on their own
// threads: each completes it (joining the filling or waiting for it) and
// then sees every row written.
TEST(FilterTable, TableStartedOnThePoolIsCompleteForEveryHolder) {
    Library lib;
    const FilterShape f = MakeDesign(48000, 44100, 10, kDefaultFilterMemorySize).filter;
    CoefficientTable holders[3];
    ASSERT_EQ(StartTable(f, &holders[0]).code, 0);
    for (int h = 1; h < 3; ++h) {
        holders[h] = holders[0];
        ShareTable(holders[0]);
    }
    int64_t mismatches[3] = {};
    std::vector<std::thread> threads;
    for (int h = 0; h < 3; ++h) {
        threads.emplace_back([&, h] {
            CompleteTable(holders[h]);
            std::vector<double> row(static_cast<size_t>(f.taps));
            for (int32_t p = 0; p < f.up; ++p) {
                ComputePhaseRow(f, p, row.data());
                for (int32_t col = 0; col < f.taps; ++col) {
                    const int64_t i = p + int64_t{col} * f.up;
                    if (i < f.length && std::memcmp(&row[col], &holders[h].rows[p][col], 8) != 0) {
                        ++mismatches[h];
                    }
                }
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    for (int h = 0; h < 3; ++h) {
        EXPECT_EQ(mismatches[h], 0) << "holder " << h;
        ReleaseTable(&holders[h]);
    }
}

TEST(FilterTable, MemoryLimitOfEightNKeepsNoTableAndOneMoreKeepsIt) {
    Library lib;
    const int64_t n = 163839;
    Converter at(44100, 48000, 10, 8 * n);
    EXPECT_FALSE(ConverterTestPeer::Inspect(at.p).has_table);
    Converter above(44100, 48000, 10, 8 * n + 1);
    EXPECT_TRUE(ConverterTestPeer::Inspect(above.p).has_table);
    Converter none(44100, 48000, 10, 0);
    EXPECT_FALSE(ConverterTestPeer::Inspect(none.p).has_table);
}

TEST(FilterTable, EqualRatesBuildNoTable) {
    Library lib;
    for (int32_t q : {3, 10}) {
        Converter c(32000, 32000, q);
        EXPECT_FALSE(ConverterTestPeer::Inspect(c.p).has_table);
    }
}

TEST(FilterTable, FailedAllocationReleasesTheTableAndComputesOnDemand) {
    Library lib;
    enginetest::Messages messages;
    const auto input = enginetest::Noise(6000, 8);
    Converter computed(44100, 48000, 5, 0);
    const auto expected = enginetest::Stream(computed.p, input, {6000});
    struct Case {
        int32_t fail_at;
        const char* message;
    };
    // 160 rows: allocation 1 is the row array, 2 ... 161 the rows, 162 the count.
    for (const Case& k : {Case{1, "E2006102413:Can not allocate memory."},
                          Case{50, "E2006102414:Can not allocate memory."},
                          Case{162, "E2006103102:Can not allocate memory."}}) {
        Converter c(44100, 48000, 3);
        CountingAllocator allocator(k.fail_at);
        ConverterTestPeer::UseAllocator(c.p, &allocator);
        int32_t err = 0;
        messages.Take();
        c->SetQuality(5, &err);
        EXPECT_EQ(err, NUVSRC_ERR_MEMORY);
        EXPECT_EQ(messages.Take(), std::vector<std::string>{k.message});
        EXPECT_FALSE(ConverterTestPeer::Inspect(c.p).has_table);
        EXPECT_TRUE(enginetest::SameBits(enginetest::Stream(c.p, input, {6000}), expected));
    }
}

}  // namespace
