#include "runtime/nuvdlg.h"

#include <atomic>
#include <cstring>
#include <new>

#include "platform/sync.h"
#include "platform/thread.h"
#include "runtime/nuvcrs.h"
#include "runtime/nuvdlg_record.h"
#include "runtime/nuverr.h"
#include "runtime/work_area.h"

namespace {

using Ref = std::atomic_ref<std::uint32_t>;

static_assert(alignof(NuvDlgService) == 4);
static_assert(sizeof(NuvDlgJob) <= 8 && sizeof(void*) <= 8);
static_assert(runtime_detail::FitsWorkArea<NuvDlgService>(NUVDLG_WORK_AREA_SIZE),
              "the service record must fit 80 bytes at any address");

// Process-wide lock of the service calls and its use count; both guarded by
// g_init_lock. The handle is read without g_init_lock by the service calls.
platform::Lock4 g_init_lock;
std::int32_t g_use_count TOLMEK_GUARDED_BY(g_init_lock) = 0;
alignas(4) unsigned char g_global_area[NUVCRS_WORK_AREA_SIZE];
std::atomic<NuvCrsHandle> g_global_lock{nullptr};

// Holds the global lock for the scope, reporting a missing one.
class GlobalScope {
  public:
    GlobalScope() : lock_(g_global_lock.load(std::memory_order_acquire)) { NUVCRS_Enter(lock_); }
    ~GlobalScope() { NUVCRS_Leave(lock_); }
    GlobalScope(const GlobalScope&) = delete;
    GlobalScope& operator=(const GlobalScope&) = delete;

  private:
    NuvCrsHandle lock_;
};

NuvCrsHandle ServiceLock(NuvDlgService* service) {
    return static_cast<NuvCrsHandle>(runtime_detail::AlignUp4(service->lock_area));
}

bool IsPending(NuvDlgService* service) {
    return Ref(service->pending).load(std::memory_order_acquire) != 0;
}

// Runs the posted job if it is still pending. The service lock is held for
// the whole job, so a job runs at most once and never on two threads.
void RunPendingJob(NuvDlgService* service) {
    const NuvCrsHandle lock = ServiceLock(service);
    NUVCRS_Enter(lock);
    if (Ref(service->pending).load(std::memory_order_relaxed) != 0) {
        NuvDlgJob job;
        void* argument;
        std::memcpy(&job, service->job_function, sizeof job);
        std::memcpy(&argument, service->job_argument, sizeof argument);
        job(argument);
        Ref(service->pending).store(0, std::memory_order_release);
    }
    NUVCRS_Leave(lock);
}

void WorkerThread(void* raw) {
    auto* service = static_cast<NuvDlgService*>(raw);
    Ref started(service->started);
    started.store(1, std::memory_order_release);
    platform::WakeAll(&service->started);
    for (;;) {
        service->wake_event.Wait();
        // Reset before looking at quit and pending: a signal that arrives while
        // the job runs is then not lost.
        service->wake_event.Reset();
        if (Ref(service->quit).load(std::memory_order_acquire) != 0) return;
        RunPendingJob(service);
    }
}

// Argument checks shared by Request, Wait and Destroy.
bool CheckHandle(NuvDlgService* service) {
    if (service == nullptr) {
        NUVERR_Report("NULL pointer is passed.");
        return false;
    }
    if (service->valid == 0) {
        NUVERR_Report("Invalid handle is passed.");
        return false;
    }
    return true;
}

void ClearRecord(NuvDlgService* service) {
    std::memset(static_cast<void*>(service), 0, sizeof(NuvDlgService));
}

}  // namespace

void NUVDLG_Init() {
    g_init_lock.Enter();
    if (g_use_count++ == 0) {
        g_global_lock.store(NUVCRS_Create(g_global_area, sizeof g_global_area),
                            std::memory_order_release);
    }
    g_init_lock.Leave();
}

void NUVDLG_Finish() {
    g_init_lock.Enter();
    if (g_use_count > 0 && --g_use_count == 0) {
        NUVCRS_Destroy(g_global_lock.exchange(nullptr, std::memory_order_acq_rel));
    }
    g_init_lock.Leave();
}

NuvDlgHandle NUVDLG_Create(void* work_area, std::int32_t size) {
    GlobalScope global;
    if (work_area == nullptr) {
        NUVERR_Report("NULL pointer is passed.");
        return nullptr;
    }
    if (size < NUVDLG_WORK_AREA_SIZE) {
        NUVERR_Report("Work area size is too short.");
        return nullptr;
    }
    void* place = runtime_detail::AlignUp4(work_area);
    std::memset(place, 0, sizeof(NuvDlgService));
    auto* service = new (place) NuvDlgService{};

    // The event is a word of the record: creating it cannot fail. The
    // worker thread starts with the first job (see NUVDLG_Request).
    if (NUVCRS_Create(service->lock_area, sizeof service->lock_area) == nullptr) {
        NUVERR_Report("E2004112602 : Can not create critical section.");
        ClearRecord(service);
        return nullptr;
    }
    service->valid = 1;
    return service;
}

namespace {

// Starts the worker thread unless it runs; false after a reported failure.
// Called with the global lock held (or from the one thread outside the
// lock's span), so two requests never both start it. The thread need not be
// waited for: it looks at the job once the wake event is set.
bool StartWorker(NuvDlgService* service) {
    if (platform::ThreadIsValid(service->thread)) return true;
    if (platform::ThreadStart(&service->thread, &WorkerThread, service)) return true;
    NUVERR_Report("E2004112603 : Can not create thread.");
    return false;
}

}  // namespace

std::int32_t NUVDLG_Request(NuvDlgHandle service, NuvDlgJob job, void* argument) {
    GlobalScope global;
    if (!CheckHandle(service)) return -1;
    if (IsPending(service)) return -1;  // one job at a time; no message
    if (!StartWorker(service)) return -1;

    const NuvCrsHandle lock = ServiceLock(service);
    NUVCRS_Enter(lock);
    Ref number(service->request_number);
    const std::int32_t next =
        NuvNextRequestNumber(static_cast<std::int32_t>(number.load(std::memory_order_relaxed)));
    number.store(static_cast<std::uint32_t>(next), std::memory_order_relaxed);
    std::memcpy(service->job_function, &job, sizeof job);
    std::memcpy(service->job_argument, &argument, sizeof argument);
    Ref(service->pending).store(1, std::memory_order_release);
    NUVCRS_Leave(lock);

    service->wake_event.Set();
    return next;
}

namespace {

// Completes the pending job: wakes the worker, then runs the job here unless
// the worker has it (entering the service lock then waits for its end).
void CompletePending(NuvDlgService* service) {
    service->wake_event.Set();
    if (IsPending(service)) {
        service->wake_event.Set();
        RunPendingJob(service);
    }
}

}  // namespace

void NUVDLG_Wait(NuvDlgHandle service, std::int32_t request_number) {
    GlobalScope global;
    if (!CheckHandle(service)) return;
    const std::uint32_t latest = Ref(service->request_number).load(std::memory_order_relaxed);
    if (static_cast<std::uint32_t>(request_number) != latest || !IsPending(service)) return;
    CompletePending(service);
}

void NUVDLG_Destroy(NuvDlgHandle service) {
    GlobalScope global;
    if (!CheckHandle(service)) return;
    if (IsPending(service)) CompletePending(service);

    Ref(service->quit).store(1, std::memory_order_release);
    service->wake_event.Set();
    platform::ThreadJoin(&service->thread);
    service->wake_event.Reset();
    NUVCRS_Destroy(ServiceLock(service));
    ClearRecord(service);
}
