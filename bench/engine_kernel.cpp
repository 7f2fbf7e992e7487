// Kernel throughput on one thread: outputs per second and multiply-adds per
// cycle (at the nominal clock, and at the clock measured at start) of each
// kernel variant over one second of input, with the converter's own table
// and block plan. The context lines give the variant the calibration chose
// (with its timings) and the lanes left empty per second of input; the
// Floor benchmarks give what the processor's ports allow for separate
// multiplies and adds at 256 and 512 bits.
//
//   engine_kernel --benchmark_filter='Kernel|Floor'
#include <benchmark/benchmark.h>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <cstdio>
#include <utility>
#include <cstdlib>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "resampler/converter.h"
#include "resampler/converter_testing.h"
#include "resampler/design.h"
#include "resampler/kernel.h"
#include "resampler/nuv_src.h"

namespace {

// The clock the processor really runs at, in Hz: a chain of dependent
// register-to-register integer adds (one cycle each) timed by processor
// time. Adds of constants will not do: some cores fold chains of them at
// renaming and run several per cycle. The nominal frequency the benchmark
// library reports can be far from it.
double MeasuredClock() {
#if defined(__x86_64__) || defined(__i386__)
    static const double hz = [] {
        constexpr long kRounds = 50000000;
        long x = 0;
        long one = 1;
        const std::clock_t start = std::clock();
        for (long i = 0; i < kRounds; ++i) {
            asm volatile("add %1, %0\n\tadd %1, %0\n\tadd %1, %0\n\tadd %1, %0"
                         : "+r"(x)
                         : "r"(one));
        }
        const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
        return seconds > 0 ? 4.0 * kRounds / seconds : benchmark::CPUInfo::Get().cycles_per_second;
    }();
    return hz;
#else
    return benchmark::CPUInfo::Get().cycles_per_second;
#endif
}

struct LibraryOnce {
    LibraryOnce() { NUVSRC_Initialize(nullptr); }
    ~LibraryOnce() { NUVSRC_Finalize(nullptr); }
};

void KernelThroughput(benchmark::State& state, nuvsrc::KernelVariant variant, int32_t in,
                      int32_t out, int32_t quality) {
    static LibraryOnce library;
    if (!nuvsrc::KernelSupported(variant)) {
        state.SkipWithError("not supported by this CPU");
        return;
    }
    INuvSamplingRateConverter* c = NUVSRC_Create(nullptr);
    c->SetQuality(quality, nullptr);
    c->SetSamplingRates(in, out, nullptr);
    const nuvsrc::KernelGeometry g = ConverterTestPeer::Geometry(c);
    std::vector<double> input(static_cast<size_t>(in));
    std::mt19937 rng(1);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (double& x : input)
        x = u(rng);
    const int32_t blocks = static_cast<int32_t>((in - g.block_length()) / g.down() + 1);
    std::vector<double> output(static_cast<size_t>(blocks) * g.up());
    const size_t scratch_doubles = nuvsrc::KernelScratchDoubles(variant, g) + 8;
    double* scratch =
        static_cast<double*>(std::aligned_alloc(64, (scratch_doubles * 8 + 63) / 64 * 64));
    // Runs of consecutive blocks, as the converter hands them to the pool.
    const int32_t run =
        nuvsrc::KernelLanes(variant) > 1 ? 4 * nuvsrc::KernelLanes(variant) : blocks;
    for (auto _ : state) {
        for (int32_t first = 0; first < blocks; first += run) {
            const int32_t n = std::min(run, blocks - first);
            nuvsrc::RunBlocks(variant, g, input.data() + static_cast<int64_t>(first) * g.down(), n,
                              output.data() + static_cast<int64_t>(first) * g.up(), scratch);
        }
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    const double outputs = static_cast<double>(blocks) * g.up();
    const double hz = benchmark::CPUInfo::Get().cycles_per_second;
    state.counters["outputs/s"] =
        benchmark::Counter(outputs, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["madd/cycle"] =
        benchmark::Counter(outputs * g.taps() / hz, benchmark::Counter::kIsIterationInvariantRate);
    // The same at the measured clock (see the context line "measured clock").
    state.counters["madd/cycle@clock"] = benchmark::Counter(
        outputs * g.taps() / MeasuredClock(), benchmark::Counter::kIsIterationInvariantRate);
    std::free(scratch);
    c->Destroy(nullptr);
}

#if defined(__x86_64__) || defined(__i386__)
// The floor of the arithmetic itself: independent sums of products, each a
// multiply and a separate add as in the kernel, fed from the first-level
// cache, with enough sums to cover the add latency. What the processor's
// ports allow at the given width, with nothing else in the way.
constexpr int kFloorTaps = 4096;
alignas(64) double g_floor_input[16 * 8];

__attribute__((target("avx2"))) void FloorAvx2(benchmark::State& state) {
    __m256d c = _mm256_set1_pd(0.999);
    for (auto _ : state) {
        __m256d s[12];
        for (auto& r : s)
            r = _mm256_setzero_pd();
        for (int t = 0; t < kFloorTaps; ++t) {
            asm("" : "+x"(c));  // a new coefficient each tap
#pragma GCC unroll 12
            for (int i = 0; i < 12; ++i) {
                __m256d p = _mm256_mul_pd(c, _mm256_load_pd(g_floor_input + 4 * i));
                asm("" : "+x"(p));  // multiply and add stay apart
                s[i] = _mm256_add_pd(s[i], p);
            }
        }
        for (auto& r : s)
            benchmark::DoNotOptimize(r);
    }
    state.counters["madd/cycle@clock"] = benchmark::Counter(
        12.0 * 4 * kFloorTaps / MeasuredClock(), benchmark::Counter::kIsIterationInvariantRate);
}

__attribute__((target("avx512f"))) void FloorAvx512(benchmark::State& state) {
    __m512d c = _mm512_set1_pd(0.999);
    for (auto _ : state) {
        __m512d s[16];
        for (auto& r : s)
            r = _mm512_setzero_pd();
        for (int t = 0; t < kFloorTaps; ++t) {
            asm("" : "+v"(c));
#pragma GCC unroll 16
            for (int i = 0; i < 16; ++i) {
                __m512d p = _mm512_mul_pd(c, _mm512_load_pd(g_floor_input + 8 * i));
                asm("" : "+v"(p));
                s[i] = _mm512_add_pd(s[i], p);
            }
        }
        for (auto& r : s)
            benchmark::DoNotOptimize(r);
    }
    state.counters["madd/cycle@clock"] = benchmark::Counter(
        16.0 * 8 * kFloorTaps / MeasuredClock(), benchmark::Counter::kIsIterationInvariantRate);
}
#endif

void Register() {
#if defined(__x86_64__) || defined(__i386__)
    if (nuvsrc::KernelSupported(nuvsrc::KernelVariant::kLanesAvx2)) {
        benchmark::RegisterBenchmark("Floor/avx2", FloorAvx2);
    }
    if (nuvsrc::KernelSupported(nuvsrc::KernelVariant::kLanesAvx512)) {
        benchmark::RegisterBenchmark("Floor/avx512", FloorAvx512);
    }
#endif
    struct Point {
        int32_t in, out, quality;
    };
    // The last point (L = 16) has a table small enough for the second-level
    // cache: it shows what the arithmetic allows with the table near.
    const Point points[] = {{44100, 48000, 10},
                            {48000, 44100, 10},
                            {44100, 48000, 3},
                            {48000, 44100, 3},
                            {44100, 47040, 10}};
    for (const Point& p : points) {
        for (nuvsrc::KernelVariant v : nuvsrc::kAllKernelVariants) {
            std::string name = "Kernel/";
            name.append(nuvsrc::KernelName(v)).append("/").append(std::to_string(p.in));
            name.append("to").append(std::to_string(p.out)).append("/q");
            name.append(std::to_string(p.quality));
            benchmark::RegisterBenchmark(name.c_str(), KernelThroughput, v, p.in, p.out, p.quality)
                ->Unit(benchmark::kMillisecond);
        }
    }
}

}  // namespace

// The calibration's choice and timings, as one context line.
std::string ChosenVariant() {
    static LibraryOnce library;
    const nuvsrc::KernelCalibration& k = nuvsrc::Calibration();
    std::string line = nuvsrc::KernelName(k.chosen);
    const char* separator = " (calibration:";
    for (nuvsrc::KernelVariant v : nuvsrc::kAllKernelVariants) {
        const int64_t ns = k.nanoseconds[static_cast<int32_t>(v)];
        if (ns <= 0) continue;
        char text[96];
        std::snprintf(text, sizeof text, "%s %s %.1f Gmadd/s", separator, nuvsrc::KernelName(v),
                      static_cast<double>(k.multiply_adds) / static_cast<double>(ns));
        line += text;
        separator = ",";
    }
    if (*separator != ',') return line;
    return line + "; " + std::to_string(k.total_nanoseconds / 1000) + " us)";
}

// Lanes fed zeros per second of input when a converter of the design runs
// one-second calls on one thread, averaged over ten calls. Mirrors the
// converter's cutting of a call into the history-phase run, the direct runs
// (whole lane groups each but the last) and the tail; `tapered` counts with
// the narrower last group, otherwise with one group of full width (and runs
// below a quarter of it on the multi-output kernel, as before).
double EmptyLanesPerSecond(nuvsrc::KernelVariant v, int32_t in, int32_t out, int32_t quality,
                           bool tapered) {
    const nuvsrc::Design d = nuvsrc::MakeDesign(in, out, quality, nuvsrc::kDefaultFilterMemorySize);
    const int64_t m = d.down;
    const int64_t dl = d.block_length;
    const int32_t lanes = nuvsrc::KernelLanes(v);
    auto empty = [&](int64_t run) -> int64_t {
        if (run < (tapered ? 2 : std::max(2, lanes / 4))) return 0;
        if (tapered) return nuvsrc::EmptyLanes(v, static_cast<int32_t>(run));
        return (lanes - run % lanes) % lanes;
    };
    constexpr int kCalls = 10;
    int64_t fill = d.history_start;
    int64_t total = 0;
    for (int call = 0; call < kCalls; ++call) {
        const int64_t n = in;
        int64_t s = -fill;
        if (fill > 0) {
            const int64_t h = std::min((fill + m - 1) / m, (fill + n - dl) / m + 1);
            total += empty(h);
            s = h * m - fill;
        }
        const int64_t blocks = (n - dl - s) / m + 1;
        total += empty((blocks - 1) % lanes + 1);
        fill = n - (s + blocks * m);
    }
    return static_cast<double>(total) / kCalls;
}

std::string EmptyLanesLine() {
    std::string line;
    for (nuvsrc::KernelVariant v : nuvsrc::kAllKernelVariants) {
        if (nuvsrc::KernelLanes(v) <= 1 || !nuvsrc::KernelSupported(v) ||
            v == nuvsrc::KernelVariant::kLanesPortable) {
            continue;
        }
        for (const auto& [in, out] : {std::pair{44100, 48000}, std::pair{48000, 44100}}) {
            char text[160];
            std::snprintf(text, sizeof text, "%s%s %d->%d q10: %.1f before, %.1f after",
                          line.empty() ? "" : "; ", nuvsrc::KernelName(v), in, out,
                          EmptyLanesPerSecond(v, in, out, 10, false),
                          EmptyLanesPerSecond(v, in, out, 10, true));
            line += text;
        }
    }
    return line;
}

int main(int argc, char** argv) {
    Register();
    benchmark::Initialize(&argc, argv);
    benchmark::AddCustomContext("measured clock", std::to_string(MeasuredClock() / 1e9) + " GHz");
    benchmark::AddCustomContext("chosen variant", ChosenVariant());
    benchmark::AddCustomContext("empty lanes per second", EmptyLanesLine());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
