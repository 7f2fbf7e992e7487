// Round trip of handing one job to a worker and waiting for it: Request
// followed at once by Wait, on an idle delegate and on an idle worker
// service. Every iteration is timed on its own; the counters give the
// median and the 99th percentile in nanoseconds.
//
// The "Handoff" variants let the worker thread itself take the job before
// Wait is called (the caller spins until the job has run), which measures
// the wake-up of a blocked worker rather than the run-on-the-caller path.
//
//   runtime_bench --benchmark_filter=RoundTrip
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "runtime/nuv_delegate.h"
#include "runtime/nuvdlg.h"

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<std::uint32_t> g_runs{0};

void DelegateJob(void*) { g_runs.fetch_add(1, std::memory_order_release); }
int ServiceJob(void*) {
    g_runs.fetch_add(1, std::memory_order_release);
    return 0;
}

void SpinUntilRuns(std::uint32_t target) {
    while (g_runs.load(std::memory_order_acquire) < target)
        std::this_thread::yield();
}

void ReportLatencies(benchmark::State& state, std::vector<double>& samples) {
    if (samples.empty()) return;
    std::sort(samples.begin(), samples.end());
    state.counters["median_ns"] = samples[samples.size() / 2];
    state.counters["p99_ns"] = samples[samples.size() * 99 / 100];
}

template <typename RoundTrip>
void TimeEach(benchmark::State& state, RoundTrip round_trip) {
    std::vector<double> samples;
    samples.reserve(1 << 20);
    for (auto _ : state) {
        const auto start = Clock::now();
        round_trip();
        const auto end = Clock::now();
        if (samples.size() < samples.capacity()) {
            samples.push_back(std::chrono::duration<double, std::nano>(end - start).count());
        }
    }
    ReportLatencies(state, samples);
}

void BM_DelegateRoundTrip(benchmark::State& state) {
    std::int32_t err = 0;
    NuvDelegateWin* delegate = NUVDLGW_Create(NUVALLOC_ProcessAllocator(), &err);
    TimeEach(state, [&] { delegate->Wait(delegate->Request(&DelegateJob, nullptr, &err), &err); });
    delegate->Destroy(&err);
}
BENCHMARK(BM_DelegateRoundTrip)->UseRealTime();

void BM_DelegateHandoff(benchmark::State& state) {
    std::int32_t err = 0;
    NuvDelegateWin* delegate = NUVDLGW_Create(NUVALLOC_ProcessAllocator(), &err);
    TimeEach(state, [&] {
        const std::uint32_t target = g_runs.load(std::memory_order_relaxed) + 1;
        const std::int32_t id = delegate->Request(&DelegateJob, nullptr, &err);
        SpinUntilRuns(target);
        delegate->Wait(id, &err);
    });
    delegate->Destroy(&err);
}
BENCHMARK(BM_DelegateHandoff)->UseRealTime();

void BM_ServiceRoundTrip(benchmark::State& state) {
    NUVDLG_Init();
    alignas(4) unsigned char area[NUVDLG_WORK_AREA_SIZE];
    const NuvDlgHandle service = NUVDLG_Create(area, sizeof area);
    TimeEach(state, [&] { NUVDLG_Wait(service, NUVDLG_Request(service, &ServiceJob, nullptr)); });
    NUVDLG_Destroy(service);
    NUVDLG_Finish();
}
BENCHMARK(BM_ServiceRoundTrip)->UseRealTime();

void BM_ServiceHandoff(benchmark::State& state) {
    NUVDLG_Init();
    alignas(4) unsigned char area[NUVDLG_WORK_AREA_SIZE];
    const NuvDlgHandle service = NUVDLG_Create(area, sizeof area);
    TimeEach(state, [&] {
        const std::uint32_t target = g_runs.load(std::memory_order_relaxed) + 1;
        const std::int32_t number = NUVDLG_Request(service, &ServiceJob, nullptr);
        SpinUntilRuns(target);
        NUVDLG_Wait(service, number);
    });
    NUVDLG_Destroy(service);
    NUVDLG_Finish();
}
BENCHMARK(BM_ServiceHandoff)->UseRealTime();

// Thread start and end of one delegate: the cost a run pays per worker.
void BM_DelegateCreateDestroy(benchmark::State& state) {
    std::int32_t err = 0;
    TimeEach(state, [&] { NUVDLGW_Create(NUVALLOC_ProcessAllocator(), &err)->Destroy(&err); });
}
BENCHMARK(BM_DelegateCreateDestroy)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
