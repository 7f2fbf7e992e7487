// Copy of a 10-minute 44.1 kHz stereo 16-bit WAV, one frame at a time through
// WSTM_ReadSample / WSTM_WriteSample, against `sox in.wav out.wav` on the same
// file in the same run. The input is written once per run into a scratch
// folder (TMPDIR or /tmp) and removed at exit.
//
// The frame copy reports the process CPU time; the sox copy runs in a child
// process, so its CPU time per copy is the child_cpu_ms counter.
//
//   wstm_copy_bench [--benchmark_repetitions=3]

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <sys/resource.h>

#include "wavestream/wstm/wstm.h"

namespace {

constexpr std::int32_t kRate = 44100;
constexpr std::uint32_t kFrames = 10u * 60u * kRate;  // 10 minutes

struct Scratch {
    std::string dir;
    std::string input;
    Scratch() {
        const char* tmp = std::getenv("TMPDIR");
        dir = std::string(tmp != nullptr ? tmp : "/tmp") + "/wstm_copy_bench_" +
              std::to_string(std::rand());
        std::filesystem::create_directories(dir);
        input = dir + "/in.wav";
        WstmHandle* h = WSTM_Create(input.c_str(), kRate, 2, 16, kFrames);
        std::uint32_t noise = 1;
        for (std::uint32_t i = 0; i < kFrames; ++i) {
            noise = noise * 1664525u + 1013904223u;
            const std::int32_t v[2] = {static_cast<std::int32_t>(noise & 0xFFFF0000u),
                                       static_cast<std::int32_t>((noise << 16))};
            WSTM_WriteSample(h, v, 2);
        }
        WSTM_Close(h);
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

const Scratch& TheScratch() {
    static Scratch scratch;
    return scratch;
}

void BM_WstmFrameCopy(benchmark::State& state) {
    const Scratch& s = TheScratch();
    const std::string output = s.dir + "/wstm_out.wav";
    for (auto _ : state) {
        WstmHandle* in = WSTM_Open(s.input.c_str());
        WstmHandle* out =
            WSTM_Create(output.c_str(), WSTM_GetSamplingRate(in), WSTM_GetNumChannels(in),
                        WSTM_GetNumBits(in), WSTM_GetNumSamples(in));
        if (in == nullptr || out == nullptr) {
            state.SkipWithError("cannot open or create");
            break;
        }
        std::int32_t frame[2];
        const std::uint32_t frames = WSTM_GetNumSamples(in);
        for (std::uint32_t i = 0; i < frames; ++i) {
            WSTM_ReadSample(in, frame, 2);
            WSTM_WriteSample(out, frame, 2);
        }
        WSTM_Close(in);
        if (WSTM_Close(out) != 0) state.SkipWithError("write failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kFrames * 4);
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(kFrames) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}

// User and system time of the waited-for child processes so far.
double ChildrenCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

void BM_SoxCopy(benchmark::State& state) {
    const Scratch& s = TheScratch();
    if (std::system("command -v sox >/dev/null 2>&1") != 0) {
        state.SkipWithError("sox is not installed");
        return;
    }
    const std::string command = "sox '" + s.input + "' '" + s.dir + "/sox_out.wav'";
    const double cpu_before = ChildrenCpuSeconds();
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("sox failed");
            break;
        }
    }
    // The copy runs in a child process: its CPU time, per copy, as a counter.
    if (state.iterations() > 0) {
        state.counters["child_cpu_ms"] =
            (ChildrenCpuSeconds() - cpu_before) * 1000.0 / static_cast<double>(state.iterations());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kFrames * 4);
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(kFrames) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}

BENCHMARK(BM_WstmFrameCopy)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Iterations(3);
BENCHMARK(BM_SoxCopy)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
