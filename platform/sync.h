// Compact synchronisation primitives on C++20 atomic wait/notify.
//
// Each primitive is a plain 4-byte word (or a few of them) whose all-zero
// state is valid, so it can live in cleared caller-owned memory at any
// 4-byte boundary. Waits block in the kernel; nothing polls.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/thread_annotations.h"

namespace platform {

// Sleeping on a 32-bit word until another thread changes it. Every wait of
// the program goes through these rather than std::atomic's own wait, whose
// fallback on systems without a futex (MinGW's C++ library) can lose a
// wake-up, and which spins and yields before it sleeps: Linux sleeps on the
// futex at once, the other POSIX systems use the atomic wait, Windows
// WaitOnAddress. A wait may return early; callers load the word again and
// decide.
// The plain words are accessed atomically, as with std::atomic_ref.
void WaitWhileEqual(std::uint32_t* word, std::uint32_t old);
void WaitWhileEqual(const std::atomic<std::int32_t>* word, std::int32_t old);
void WakeOne(std::uint32_t* word);
void WakeAll(std::uint32_t* word);
void WakeAll(std::atomic<std::int32_t>* word);

// Non-recursive mutual-exclusion lock in one 32-bit word.
// Word values: 0 free, 1 held, 2 held and a thread may be waiting.
// A thread must never enter a Lock4 it already holds.
class TOLMEK_CAPABILITY("mutex") Lock4 {
  public:
    void Enter() TOLMEK_ACQUIRE();
    [[nodiscard]] bool TryEnter() TOLMEK_TRY_ACQUIRE(true);
    void Leave() TOLMEK_RELEASE();
    [[nodiscard]] bool IsHeld() const;

  private:
    std::uint32_t word_ = 0;
};

// Manual-reset event in one 32-bit word: 0 not signalled, 1 signalled.
// Set wakes every waiter and stays signalled until Reset. Set has release
// semantics and a Wait that returns has acquire semantics, so writes made
// before Set are visible to the thread that wakes. A Reset that follows a Set
// before a sleeping waiter has looked again may leave that waiter asleep: let
// the waiter be the one that resets (as the worker threads do).
class Event4 {
  public:
    void Set();
    void Reset();
    void Wait();
    [[nodiscard]] bool IsSet() const;

  private:
    std::uint32_t word_ = 0;
};

// Lock that its owning thread may enter again; each Enter needs one Leave.
// Twelve bytes, all zero when free.
class TOLMEK_CAPABILITY("mutex") RecursiveLock {
  public:
    void Enter() TOLMEK_ACQUIRE();
    // Fails (returns false, changes nothing) when the calling thread does not
    // hold the lock.
    [[nodiscard]] bool Leave() TOLMEK_RELEASE();
    [[nodiscard]] bool IsHeldByCaller() const;
    [[nodiscard]] bool IsHeld() const;

  private:
    Lock4 lock_;
    std::uint32_t owner_ = 0;  // thread id of the holder, 0 when free
    std::uint32_t depth_ = 0;  // written only by the holder
};

// Kernel id of the calling thread; never 0.
std::uint32_t CurrentThreadId();

void SleepMilliseconds(std::uint32_t milliseconds);

}  // namespace platform
