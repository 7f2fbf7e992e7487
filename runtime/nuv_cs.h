// Critical-section objects of the converter library and the delegate threads.
//
// Every operation takes as its last argument `err`, a pointer to a 32-bit
// code that it first sets to 0 and then to -1 (or -3 for memory) on failure;
// a null `err` discards the code. Messages go to NUVBASE_ReportError.
#pragma once

#include <cstdint>

#include "platform/sync.h"
#include "runtime/nuv_allocator.h"

class TOLMEK_CAPABILITY("mutex") NuvCsObj : public NuvAllocator {
  public:
    // Slot 0: deletes the lock and frees the object. After a failure
    // ("E2006081803:DeleteCriticalSection function has failed.", -1) the
    // object stays allocated.
    virtual void Destroy(std::int32_t* err) = 0;
    // Slot 1: blocks until the calling thread holds the lock; the holder may
    // enter again. Failure: "E2006081804:EnterCriticalSection function has
    // failed.", -1, and the lock is not taken.
    virtual void Enter(std::int32_t* err) TOLMEK_ACQUIRE() = 0;
    // Slot 2: gives one Enter back. Failure (not held by the calling thread):
    // "E2006081805:LeaveCriticalSection function has failed.", -1.
    virtual void Leave(std::int32_t* err) TOLMEK_RELEASE() = 0;
    // Slot 3: frees the object through the allocator handle that made it.
    virtual ~NuvCsObj() = default;
};

class NuvCsWin final : public NuvCsObj {
  public:
    NuvCsWin() = default;
    void Destroy(std::int32_t* err) override;
    void Enter(std::int32_t* err) TOLMEK_ACQUIRE() override;
    void Leave(std::int32_t* err) TOLMEK_RELEASE() override;
    ~NuvCsWin() override = default;

    // Sets up the platform lock; false when that fails.
    [[nodiscard]] bool Initialize();

  private:
    platform::RecursiveLock section_;
    std::uint32_t live_ = 0;  // tag of an initialised, not yet deleted lock
};

// A new recursive lock made through `allocator`, or null:
// "E2006081801:Can not allocate memory." with -3 when the memory is not
// there, "E2006081802:InitializeCriticalSection function has failed." with
// -1 when the platform lock cannot be set up.
[[nodiscard]] NuvCsWin* NUVCS_Create(NuvAllocatorHandle* allocator, std::int32_t* err);
