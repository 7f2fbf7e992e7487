// Kernel throughput on one thread: outputs per second and multiply-adds per
// cycle (at the nominal clock, and at the clock measured at start) of each
// kernel variant over one second of input, with the converter's own table
// and block plan.
//
//   engine_kernel --benchmark_filter=Kernel
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "resampler/converter.h"
#include "resampler/converter_testing.h"
#include "resampler/kernel.h"
#include "resampler/nuv_src.h"

namespace {

// The clock the processor really runs at, in Hz: a chain of dependent
// integer adds (one cycle each) timed by processor time. The nominal
// frequency the benchmark library reports can be far from it.
double MeasuredClock() {
#if defined(__x86_64__) || defined(__i386__)
    static const double hz = [] {
        constexpr long kRounds = 50000000;
        long x = 0;
        const std::clock_t start = std::clock();
        for (long i = 0; i < kRounds; ++i) {
            asm volatile("add $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\tadd $1, %0" : "+r"(x));
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
    for (double& x : input) x = u(rng);
    const int32_t blocks = static_cast<int32_t>((in - g.block_length()) / g.down() + 1);
    std::vector<double> output(static_cast<size_t>(blocks) * g.up());
    const size_t scratch_doubles = nuvsrc::KernelScratchDoubles(variant, g) + 8;
    double* scratch = static_cast<double*>(std::aligned_alloc(64, (scratch_doubles * 8 + 63) / 64 * 64));
    // Runs of consecutive blocks, as the converter hands them to the pool.
    const int32_t run = nuvsrc::KernelLanes(variant) > 1 ? 4 * nuvsrc::KernelLanes(variant) : blocks;
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
    state.counters["outputs/s"] = benchmark::Counter(outputs, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["madd/cycle"] =
        benchmark::Counter(outputs * g.taps() / hz, benchmark::Counter::kIsIterationInvariantRate);
    // The same at the measured clock (see the context line "measured clock").
    state.counters["madd/cycle@clock"] = benchmark::Counter(outputs * g.taps() / MeasuredClock(),
                                                            benchmark::Counter::kIsIterationInvariantRate);
    std::free(scratch);
    c->Destroy(nullptr);
}

void Register() {
    struct Point {
        int32_t in, out, quality;
    };
    // The last point (L = 16) has a table small enough for the second-level
    // cache: it shows what the arithmetic allows with the table near.
    const Point points[] = {{44100, 48000, 10}, {48000, 44100, 10}, {44100, 48000, 3},
                            {48000, 44100, 3},   {44100, 47040, 10}};
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

int main(int argc, char** argv) {
    Register();
    benchmark::Initialize(&argc, argv);
    benchmark::AddCustomContext("measured clock", std::to_string(MeasuredClock() / 1e9) + " GHz");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
