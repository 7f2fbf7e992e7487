#include "runtime/nuv_delegate.h"

#include <atomic>

#include "runtime/nuv_base.h"
#include "runtime/nuvdlg_record.h"

namespace {

using Ref = std::atomic_ref<std::uint32_t>;

void SetCode(std::int32_t* err, std::int32_t code) {
    if (err != nullptr) *err = code;
}

void ReportError(const char* text) { NUVBASE_ReportError(NUVBASE_LEVEL_ERROR, text); }

// Enters or leaves a lock that may be missing; a missing lock is a failure.
// The lock is taken or given only when it is there, which the analysis
// cannot follow, so these bodies are not checked.
std::int32_t EnterSection(NuvCsWin* section) TOLMEK_NO_THREAD_SAFETY_ANALYSIS {
    std::int32_t code = -1;
    if (section != nullptr) section->Enter(&code);
    return code;
}

std::int32_t LeaveSection(NuvCsWin* section) TOLMEK_NO_THREAD_SAFETY_ANALYSIS {
    std::int32_t code = -1;
    if (section != nullptr) section->Leave(&code);
    return code;
}

}  // namespace

void NUVDLGW_Initialize(std::int32_t* err) { SetCode(err, 0); }

void NUVDLGW_Finalize(std::int32_t* err) { SetCode(err, 0); }

NuvDelegateWin* NUVDLGW_Create(NuvAllocatorHandle* allocator, std::int32_t* err) {
    SetCode(err, 0);
    auto* delegate = new (allocator, "NuvDelegateWin", 4) NuvDelegateWin();
    if (delegate == nullptr) {
        ReportError("E2006082001:Can not allocate memory.");
        SetCode(err, -3);
        return nullptr;
    }
    std::int32_t code = 0;
    bool failed = false;
    delegate->api_lock_ = NUVCS_Create(allocator, &code);
    if (delegate->api_lock_ == nullptr) {
        ReportError("E2006082002:Can not create critical section.");
        failed = true;
    }
    if (!failed) {
        delegate->job_lock_ = NUVCS_Create(allocator, &code);
        if (delegate->job_lock_ == nullptr) {
            ReportError("E2006082003:Can not create critical section.");
            failed = true;
        }
    }
    // The wake event is a word of the object: creating it cannot fail. The
    // worker thread starts with the first job (see StartWorker).
    if (failed) {
        SetCode(err, -1);
        std::int32_t discard = 0;
        delegate->Destroy(&discard);
        return nullptr;
    }
    delegate->priority_ = platform::kThreadPriorityNormal;
    delegate->affinity_mask_ = 0xFFFFFFFFu;
    return delegate;
}

void NuvDelegateWin::ThreadMain(void* self) {
    auto* delegate = static_cast<NuvDelegateWin*>(self);
    Ref(delegate->worker_thread_id_).store(platform::CurrentThreadId(), std::memory_order_relaxed);
    Ref started(delegate->started_);
    started.store(1, std::memory_order_release);
    platform::WakeAll(&delegate->started_);

    delegate->wake_event_.Wait();
    delegate->wake_event_.Reset();
    // The event is reset before quit and the job are looked at, so a signal
    // given while a job runs is not lost.
    while (Ref(delegate->quit_).load(std::memory_order_acquire) == 0) {
        delegate->RunJob(false);
        delegate->wake_event_.Wait();
        delegate->wake_event_.Reset();
    }
}

// A pool of delegates is made at once, but a short conversion gives work to
// few of them, or none: each thread is started only when it is first needed,
// so the unused ones cost neither a start nor a join. The thread waits for
// the wake event, which the caller sets once the job is posted.
bool NuvDelegateWin::StartWorker() {
    if (platform::ThreadIsValid(thread_)) return true;
    if (!platform::ThreadStart(&thread_, &NuvDelegateWin::ThreadMain, this)) {
        ReportError("E2006082005:Can not create thread.");
        if (pending_error_ == 0) pending_error_ = -1;
        return false;
    }
    return true;
}

// Starts the worker if needed and waits (no polling) until it runs and has
// stored its id; 0 when it cannot start.
std::uint32_t NuvDelegateWin::StartedThreadId() {
    if (!StartWorker()) return 0;
    Ref started(started_);
    while (started.load(std::memory_order_acquire) == 0)
        platform::WaitWhileEqual(&started_, 0);
    return Ref(worker_thread_id_).load(std::memory_order_relaxed);
}

std::uint32_t NuvDelegateWin::WorkerThreadId() {
    EnterApi();
    const std::uint32_t id = StartedThreadId();
    Finish(nullptr);
    return id;
}

bool NuvDelegateWin::IsPending() const {
    return Ref(const_cast<std::uint32_t&>(job_pending_)).load(std::memory_order_acquire) != 0;
}

void NuvDelegateWin::EnterApi() {
    const std::int32_t code = EnterSection(api_lock_);
    if (code != 0) {
        ReportError("E2006082011:CriticalSection object has broken.");
        if (pending_error_ == 0) pending_error_ = code;
    }
}

// Leaves the api lock and hands the first failure of the operation to the
// caller. The code is taken while the lock is still held; a failure to leave
// joins it, so it is reported by the same call.
void NuvDelegateWin::Finish(std::int32_t* err) {
    std::int32_t code = pending_error_;
    pending_error_ = 0;
    const std::int32_t leave_code = LeaveSection(api_lock_);
    if (leave_code != 0) {
        ReportError("E2006082012:CriticalSection object has broken.");
        if (code == 0) code = leave_code;
    }
    SetCode(err, code);
}

// Runs the pending job under the job lock, so that it runs at most once and
// never on two threads. The worker thread has no caller to take a code, so
// it only reports.
void NuvDelegateWin::RunJob(bool record_errors) {
    std::int32_t code = EnterSection(job_lock_);
    if (code != 0) {
        ReportError("E2006082013:CriticalSection object has broken.");
        if (record_errors && pending_error_ == 0) pending_error_ = code;
    }
    Ref pending(job_pending_);
    if (pending.load(std::memory_order_acquire) == 1) {
        if (job_function_ != nullptr) job_function_(job_argument_);
        pending.store(0, std::memory_order_release);
    }
    code = LeaveSection(job_lock_);
    if (code != 0) {
        ReportError("E2006082014:CriticalSection object has broken.");
        if (record_errors && pending_error_ == 0) pending_error_ = code;
    }
}

std::int32_t NuvDelegateWin::Request(NuvDelegateJob job, void* argument, std::int32_t* err) {
    EnterApi();
    std::int32_t id = -1;
    std::int32_t discard = 0;
    if (IsBusy(&discard) == 0 && StartWorker()) {
        std::int32_t code = EnterSection(job_lock_);
        if (code != 0) {
            ReportError("E2006082013:CriticalSection object has broken.");
            if (pending_error_ == 0) pending_error_ = code;
        }
        job_argument_ = argument;
        job_function_ = job;
        job_id_ = NuvNextRequestNumber(job_id_);
        Ref(job_pending_).store(1, std::memory_order_release);
        id = job_id_;
        code = LeaveSection(job_lock_);
        if (code != 0) {
            ReportError("E2006082014:CriticalSection object has broken.");
            if (pending_error_ == 0) pending_error_ = code;
        }
        wake_event_.Set();
    }
    Finish(err);
    return id;
}

void NuvDelegateWin::Wait(std::int32_t id, std::int32_t* err) {
    EnterApi();
    if (job_id_ == id && IsPending()) {
        wake_event_.Set();
        RunJob(true);
    }
    Finish(err);
}

std::int32_t NuvDelegateWin::IsDone(std::int32_t id, std::int32_t* err) {
    EnterApi();
    std::int32_t done = 1;
    if (job_id_ == id && IsPending()) {
        wake_event_.Set();
        done = 0;
    }
    Finish(err);
    return done;
}

std::int32_t NuvDelegateWin::IsBusy(std::int32_t* err) {
    EnterApi();
    const bool pending = IsPending();
    if (pending) wake_event_.Set();
    Finish(err);
    return pending ? 1 : 0;
}

void NuvDelegateWin::Lock(std::int32_t* err) {
    EnterApi();
    SetCode(err, pending_error_);
    pending_error_ = 0;
}

void NuvDelegateWin::Unlock(std::int32_t* err) { Finish(err); }

std::int32_t NuvDelegateWin::GetPriority(std::int32_t* err) {
    EnterApi();
    const std::int32_t priority = priority_;
    Finish(err);
    return priority;
}

void NuvDelegateWin::SetPriority(std::int32_t priority, std::int32_t* err) {
    EnterApi();
    if (priority != priority_) {
        // Where the system refuses (raising priority needs privileges), the
        // level is still the one the caller asked for.
        platform::ApplyThreadPriority(StartedThreadId(), priority);
        priority_ = priority;
    }
    Finish(err);
}

void NuvDelegateWin::SetAffinityMask(std::uint32_t mask, std::int32_t* err) {
    EnterApi();
    if (mask != affinity_mask_) {
        std::uint32_t process_mask = 0;
        if (!platform::ProcessAffinityMask(&process_mask)) process_mask = 0xFFFFFFFFu;
        const std::uint32_t allowed = mask & process_mask;
        if (allowed != 0 && platform::SetThreadAffinity(StartedThreadId(), allowed)) {
            affinity_mask_ = allowed;
        }
    }
    Finish(err);
}

void NuvDelegateWin::Destroy(std::int32_t* err) {
    SetCode(err, 0);
    std::int32_t discard = 0;
    // A pending job is run to its end, never dropped.
    if (IsPending()) Wait(job_id_, &discard);
    if (platform::ThreadIsValid(thread_)) {
        Ref(quit_).store(1, std::memory_order_release);
        wake_event_.Set();
        platform::ThreadJoin(&thread_);
        wake_event_.Reset();
    }
    if (job_lock_ != nullptr) job_lock_->Destroy(&discard);
    if (api_lock_ != nullptr) api_lock_->Destroy(&discard);
    job_lock_ = nullptr;
    api_lock_ = nullptr;
    delete this;
}
