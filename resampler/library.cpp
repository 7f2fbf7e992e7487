// Library-wide state: the use count, the process allocator and the pool of
// eight delegate workers shared by all converters.
#include <algorithm>
#include <atomic>
#include <new>
#include <thread>

#include "resampler/converter.h"
#include "resampler/kernel.h"
#include "runtime/nuv_base.h"

namespace {

std::atomic<int32_t> g_use_count{0};
std::atomic<int32_t> g_converting{0};

// Written only within the first NUVSRC_Initialize and the last
// NUVSRC_Finalize (by the calling thread and the workers it starts or stops
// there, all done before the call returns), which come before and after all
// conversion work; read by the converters in between.
NuvDelegate* g_pool[nuvsrc::kPoolSize] = {};
NuvAllocatorHandle* g_allocator = nullptr;

thread_local int32_t t_discard = 0;

// Workers first .. last-1 of the pool, started by one thread.
struct StartRange {
    int32_t first;
    int32_t last;
    std::atomic<bool>* failed;
};

// Starts the workers of a range. Each start waits until the new thread
// runs, which on busy processors can take a scheduling period, so the
// waits are overlapped: a started worker starts the upper half of the rest
// while this thread goes on with the lower half, and the eight workers are
// up after four waits in a row instead of eight.
void StartWorkers(StartRange range) {
    while (range.first < range.last) {
        int32_t code = 0;
        NuvDelegate* worker = NUVDLGW_Create(g_allocator, &code);
        g_pool[range.first] = worker;  // Finalize destroys whatever was made
        if (worker == nullptr || code != 0) {
            range.failed->store(true);
            return;
        }
        const int32_t rest = range.last - range.first - 1;
        if (rest >= 2) {
            StartRange upper{range.first + 1 + rest / 2, range.last, range.failed};
            int32_t discard = 0;
            const int32_t id = worker->Request(
                [](void* argument) { StartWorkers(*static_cast<StartRange*>(argument)); }, &upper,
                &discard);
            if (id > 0) {
                StartWorkers(StartRange{range.first + 1, upper.first, range.failed});
                worker->Wait(id, &discard);
                return;
            }
        }
        ++range.first;
    }
}

// Stops and destroys workers first .. last-1 from a thread outside the
// range. Each stop waits for its thread to wake and end, so the waits are
// overlapped as the starts are: the first worker of the range stops part of
// the rest before it is stopped itself.
void StopWorkers(StartRange range) {
    int32_t discard = 0;
    if (range.last - range.first >= 3) {
        NuvDelegate* helper = g_pool[range.first];
        const int32_t middle = (range.first + range.last + 1) / 2;
        StartRange lower{range.first + 1, middle, range.failed};
        const int32_t id =
            helper != nullptr
                ? helper->Request(
                      [](void* argument) { StopWorkers(*static_cast<StartRange*>(argument)); },
                      &lower, &discard)
                : -1;
        if (id > 0) {
            StopWorkers(StartRange{middle, range.last, range.failed});
            helper->Wait(id, &discard);
            helper->Destroy(&discard);
            g_pool[range.first] = nullptr;
            return;
        }
    }
    for (int32_t i = range.first; i < range.last; ++i) {
        if (g_pool[i] != nullptr) g_pool[i]->Destroy(&discard);
        g_pool[i] = nullptr;
    }
}

}  // namespace

namespace nuvsrc {

NuvDelegate* PoolWorker(int32_t i) { return g_pool[i]; }

NuvAllocatorHandle* LibraryAllocator() { return g_allocator; }

int32_t Processors() {
    static const int32_t count = [] {
        const unsigned n = std::thread::hardware_concurrency();
        return static_cast<int32_t>(std::clamp<unsigned>(n, 1, kPoolSize));
    }();
    return count;
}

int32_t ConvertingThreads() { return g_converting.load(std::memory_order_relaxed); }

Converting::Converting() { g_converting.fetch_add(1, std::memory_order_relaxed); }

Converting::~Converting() { g_converting.fetch_sub(1, std::memory_order_relaxed); }

}  // namespace nuvsrc

int32_t* NUVSRC_DiscardError() { return &t_discard; }

void NUVSRC_Initialize(int32_t* err) {
    int32_t local = 0;
    if (err == nullptr) err = &local;
    *err = 0;
    if (g_use_count.fetch_add(1) + 1 != 1) return;
    g_allocator = NUVALLOC_ProcessAllocator();
    int32_t code = 0;
    NUVDLGW_Initialize(&code);
    (void)nuvsrc::BestKernel();  // CPU detection once, at start-up
    std::atomic<bool> failed{false};
    StartWorkers(StartRange{0, nuvsrc::kPoolSize, &failed});
    if (failed.load()) {
        NUVBASE_ReportError(NUVBASE_LEVEL_ERROR, "E2006110402:Can not create Delegate handle.");
        NUVBASE_ReportError(NUVBASE_LEVEL_ERROR, "E2006110401:Failed to initialize the library.");
        *err = NUVSRC_ERR_ILLEGAL_ARGUMENT;
    }
}

void NUVSRC_Finalize(int32_t* err) {
    if (err != nullptr) *err = 0;
    // An unmatched call changes nothing: the count never drops below 0.
    int32_t count = g_use_count.load();
    do {
        if (count <= 0) return;
    } while (!g_use_count.compare_exchange_weak(count, count - 1));
    if (count - 1 != 0) return;
    std::atomic<bool> unused{false};
    StopWorkers(StartRange{0, nuvsrc::kPoolSize, &unused});
    int32_t discard = 0;
    NUVDLGW_Finalize(&discard);
    g_allocator = nullptr;
}

INuvSamplingRateConverter* NUVSRC_Create(int32_t* err) {
    int32_t local = 0;
    if (err == nullptr) err = &local;
    *err = 0;
    NuvSamplingRateConverter* c = NuvSamplingRateConverter::Make(err);
    if (c == nullptr) return nullptr;
    int32_t code = 0;
    c->SetSamplingRates(48000, 48000, &code);
    if (code != 0) {
        c->Destroy(nullptr);
        *err = code;
        return nullptr;
    }
    return c;
}
