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

// Written only by the first NUVSRC_Initialize and the last NUVSRC_Finalize,
// which come before and after all conversion work; read by the converters
// in between.
NuvDelegate* g_pool[nuvsrc::kPoolSize] = {};
NuvAllocatorHandle* g_allocator = nullptr;

thread_local int32_t t_discard = 0;
thread_local int32_t t_marked = 0;  // nesting of NUVSRC_BeginConvertingThread

// Makes pool workers 0 ... kPoolSize-1; false at the first that fails. A
// worker's thread starts only with its first job (see NUVDLGW_Create), so
// making the pool costs no thread start, and a short conversion starts only
// the threads it uses.
bool StartWorkers() {
    for (int32_t i = 0; i < nuvsrc::kPoolSize; ++i) {
        int32_t code = 0;
        g_pool[i] = NUVDLGW_Create(g_allocator, &code);
        if (g_pool[i] == nullptr || code != 0) return false;
    }
    return true;
}

// Stops and destroys every pool worker; those whose thread never started
// only free their record.
void StopWorkers() {
    int32_t discard = 0;
    for (NuvDelegate*& worker : g_pool) {
        if (worker != nullptr) worker->Destroy(&discard);
        worker = nullptr;
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

Converting::Converting() : counted_(t_marked == 0) {
    if (counted_) g_converting.fetch_add(1, std::memory_order_relaxed);
}

Converting::~Converting() {
    if (counted_) g_converting.fetch_sub(1, std::memory_order_relaxed);
}

}  // namespace nuvsrc

int32_t* NUVSRC_DiscardError() { return &t_discard; }

void NUVSRC_BeginConvertingThread() {
    if (t_marked++ == 0) g_converting.fetch_add(1, std::memory_order_relaxed);
}

void NUVSRC_EndConvertingThread() {
    // An unmatched End changes nothing.
    if (t_marked > 0 && --t_marked == 0) g_converting.fetch_sub(1, std::memory_order_relaxed);
}

void NUVSRC_Initialize(int32_t* err) {
    int32_t local = 0;
    if (err == nullptr) err = &local;
    *err = 0;
    if (g_use_count.fetch_add(1) + 1 != 1) return;
    g_allocator = NUVALLOC_ProcessAllocator();
    int32_t code = 0;
    NUVDLGW_Initialize(&code);
    (void)nuvsrc::HomeKernel();  // CPU detection once, at start-up
    if (!StartWorkers()) {
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
    StopWorkers();
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
