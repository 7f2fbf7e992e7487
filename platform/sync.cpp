// The primitives themselves: C++20 atomics only, the same on every system.
#include "platform/sync.h"

#include <atomic>

namespace platform {

namespace {

using Ref = std::atomic_ref<std::uint32_t>;
static_assert(Ref::required_alignment <= alignof(std::uint32_t));

constexpr std::uint32_t kFree = 0;
constexpr std::uint32_t kHeld = 1;
constexpr std::uint32_t kContended = 2;

}  // namespace

// Lock4 follows the classic three-state futex mutex: the uncontended
// Enter/Leave pair is one compare-exchange and one exchange, and Leave only
// wakes a thread when one may be waiting.
void Lock4::Enter() {
    Ref word(word_);
    std::uint32_t expected = kFree;
    if (word.compare_exchange_strong(expected, kHeld, std::memory_order_acquire,
                                     std::memory_order_relaxed)) {
        return;
    }
    if (expected != kContended) expected = word.exchange(kContended, std::memory_order_acquire);
    while (expected != kFree) {
        WaitWhileEqual(&word_, kContended);
        expected = word.exchange(kContended, std::memory_order_acquire);
    }
}

bool Lock4::TryEnter() {
    std::uint32_t expected = kFree;
    return Ref(word_).compare_exchange_strong(expected, kHeld, std::memory_order_acquire,
                                              std::memory_order_relaxed);
}

void Lock4::Leave() {
    Ref word(word_);
    if (word.exchange(kFree, std::memory_order_release) == kContended) WakeOne(&word_);
}

bool Lock4::IsHeld() const {
    return Ref(const_cast<std::uint32_t&>(word_)).load(std::memory_order_relaxed) != kFree;
}

// Only the change from not signalled to signalled wakes: a thread can only
// be asleep on the word while it is 0, and the Set that changed it woke all
// of them. Repeated signals then cost no system call.
void Event4::Set() {
    Ref word(word_);
    if (word.exchange(1, std::memory_order_release) == 0) WakeAll(&word_);
}

// A read-modify-write rather than a plain store: it reads the value the last
// Set wrote and so acquires what the setter wrote before it. A waiter that
// resets and then looks at a flag (a quit request, a pending job) therefore
// sees the flag of every Set its reset swallowed; with a plain store the
// load of the flag could be satisfied before the reset and the wake-up lost.
void Event4::Reset() { (void)Ref(word_).exchange(0, std::memory_order_acq_rel); }

void Event4::Wait() {
    Ref word(word_);
    while (word.load(std::memory_order_acquire) == 0)
        WaitWhileEqual(&word_, 0);
}

bool Event4::IsSet() const {
    return Ref(const_cast<std::uint32_t&>(word_)).load(std::memory_order_acquire) != 0;
}

void RecursiveLock::Enter() TOLMEK_NO_THREAD_SAFETY_ANALYSIS {
    const std::uint32_t self = CurrentThreadId();
    Ref owner(owner_);
    // Only this thread can have stored its own id, so a match means we hold it.
    if (owner.load(std::memory_order_relaxed) == self) {
        ++depth_;
        return;
    }
    lock_.Enter();
    owner.store(self, std::memory_order_relaxed);
    depth_ = 1;
}

bool RecursiveLock::Leave() TOLMEK_NO_THREAD_SAFETY_ANALYSIS {
    Ref owner(owner_);
    if (owner.load(std::memory_order_relaxed) != CurrentThreadId()) return false;
    if (--depth_ == 0) {
        owner.store(0, std::memory_order_relaxed);
        lock_.Leave();
    }
    return true;
}

bool RecursiveLock::IsHeldByCaller() const {
    return Ref(const_cast<std::uint32_t&>(owner_)).load(std::memory_order_relaxed) ==
           CurrentThreadId();
}

bool RecursiveLock::IsHeld() const { return lock_.IsHeld(); }

}  // namespace platform
