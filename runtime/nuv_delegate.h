// Delegate worker threads of the converter library.
//
// A delegate is one worker thread that runs one job at a time: a caller hands
// it a function and an argument, gets a job id, may ask whether the job is
// done, and finally waits for it. Waiting also works: if the worker has not
// begun the job yet, the waiting thread runs it itself, so after Wait the job
// has run exactly once. The thread is started by the first job, so a
// delegate that is never given one costs no thread.
//
// Every operation but the destructor takes as its last argument `err`, a
// pointer to a 32-bit code: 0, or the code of the first failure in the call
// (a null `err` discards it). Messages go to NUVBASE_ReportError.
//
// Lock order: the api lock (operations Request .. SetAffinityMask, also held
// between Lock and Unlock) before the job lock; the worker thread takes only
// the job lock, and holds it while a job runs.
#pragma once

#include <cstdint>

#include "platform/sync.h"
#include "platform/thread.h"
#include "runtime/nuv_allocator.h"
#include "runtime/nuv_cs.h"

// A delegated job; it must not call its own delegate.
using NuvDelegateJob = void (*)(void* argument);

class NuvDelegate : public NuvAllocator {
  public:
    // Slot 0: runs a pending job to its end, stops the thread, frees the object.
    virtual void Destroy(std::int32_t* err) = 0;
    // Slot 1: posts job(argument). The job id (1 .. 0x7FFFFFFE, then 1 again),
    // or -1 while a job is still pending (the pending job is left untouched)
    // or when the worker thread cannot be started.
    virtual std::int32_t Request(NuvDelegateJob job, void* argument, std::int32_t* err) = 0;
    // Slot 2: returns once job `id` has run; runs it here if the worker has not
    // begun it. An id other than the latest counts as done.
    virtual void Wait(std::int32_t id, std::int32_t* err) = 0;
    // Slot 3: 0 while job `id` is the latest and pending, else 1.
    virtual std::int32_t IsDone(std::int32_t id, std::int32_t* err) = 0;
    // Slot 4: 1 while a job is pending, else 0.
    virtual std::int32_t IsBusy(std::int32_t* err) = 0;
    // Slot 5: takes the api lock for the caller (recursive for its holder).
    virtual void Lock(std::int32_t* err) = 0;
    // Slot 6: gives the api lock back.
    virtual void Unlock(std::int32_t* err) = 0;
    // Slot 7: the priority level last set (0, normal, after creation).
    virtual std::int32_t GetPriority(std::int32_t* err) = 0;
    // Slot 8: applies a priority level (-15 .. 15, see platform/thread.h) to
    // the worker thread; the same level as before calls nothing.
    virtual void SetPriority(std::int32_t priority, std::int32_t* err) = 0;
    // Slot 9: restricts the worker to mask AND the process's processors; an
    // empty intersection, or the mask already set, changes nothing.
    virtual void SetAffinityMask(std::uint32_t mask, std::int32_t* err) = 0;
    // Slot 10: frees the object through the allocator handle that made it.
    virtual ~NuvDelegate() = default;
};

class NuvDelegateWin final : public NuvDelegate {
  public:
    NuvDelegateWin() = default;

    void Destroy(std::int32_t* err) override;
    std::int32_t Request(NuvDelegateJob job, void* argument, std::int32_t* err) override;
    void Wait(std::int32_t id, std::int32_t* err) override;
    std::int32_t IsDone(std::int32_t id, std::int32_t* err) override;
    std::int32_t IsBusy(std::int32_t* err) override;
    void Lock(std::int32_t* err) override;
    void Unlock(std::int32_t* err) override;
    std::int32_t GetPriority(std::int32_t* err) override;
    void SetPriority(std::int32_t priority, std::int32_t* err) override;
    void SetAffinityMask(std::uint32_t mask, std::int32_t* err) override;
    ~NuvDelegateWin() override = default;

    // Kernel id of the worker thread, which is started first if no job has
    // started it yet; 0 if it cannot start.
    [[nodiscard]] std::uint32_t WorkerThreadId();

  private:
    friend NuvDelegateWin* NUVDLGW_Create(NuvAllocatorHandle* allocator, std::int32_t* err);
    friend struct NuvDelegateWinTestPeer;  // unit tests reach job_id_ to test the wrap

    static void ThreadMain(void* self);
    void EnterApi();
    void Finish(std::int32_t* err);
    void RunJob(bool record_errors);
    bool StartWorker();
    std::uint32_t StartedThreadId();
    bool IsPending() const;

    std::int32_t pending_error_ = 0;         // first failure of the current operation; api lock
    NuvCsWin* api_lock_ = nullptr;           // serialises Request .. SetAffinityMask
    NuvCsWin* job_lock_ = nullptr;           // held while job fields change and while a job runs
    platform::ThreadHandle thread_{};        // the worker thread
    platform::Event4 wake_event_;            // manual reset; wakes the worker
    std::uint32_t job_pending_ = 0;          // atomic; written under the job lock
    NuvDelegateJob job_function_ = nullptr;  // job lock
    void* job_argument_ = nullptr;           // job lock
    std::int32_t job_id_ = 0;                // api lock and job lock to write
    std::uint32_t started_ = 0;              // atomic; set once by the worker
    std::uint32_t quit_ = 0;                 // atomic; set by Destroy
    std::int32_t priority_ = 0;              // api lock
    std::uint32_t affinity_mask_ = 0xFFFFFFFFu;  // api lock
    std::uint32_t worker_thread_id_ = 0;         // atomic; set by the worker before started_
};

// A new delegate made through `allocator`; or null with -3
// ("E2006082001:Can not allocate memory.") or -1 (critical sections
// "E2006082002"/"E2006082003"). Its worker thread starts with the first
// Request (or the first question that needs the thread: WorkerThreadId,
// SetPriority, SetAffinityMask); a thread that cannot start is reported
// there ("E2006082005:Can not create thread.", code -1) and the Request
// answers -1, as a busy delegate does.
[[nodiscard]] NuvDelegateWin* NUVDLGW_Create(NuvAllocatorHandle* allocator, std::int32_t* err);

// Module start and end; both only set the code to 0.
void NUVDLGW_Initialize(std::int32_t* err);
void NUVDLGW_Finalize(std::int32_t* err);
