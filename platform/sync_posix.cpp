#include "platform/sync.h"

#include <cstddef>
#include <ctime>
#include <sys/syscall.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/futex.h>
#endif

namespace platform {

#ifdef __linux__

// The futex itself. The C++ library's atomic wait first spins and then
// yields the processor a few times before it sleeps, which on a busy
// machine hands the processor away for a whole time slice; here a wait
// goes to sleep at once.
//
// A wake makes no system call while nobody waits on a word of the same
// bucket: a waiter counts itself in before the kernel compares the word,
// and the waker's full fence between its change of the word and its look
// at the count makes one of the two see the other.
namespace {

constexpr std::size_t kBuckets = 64;

struct alignas(64) WaiterCount {
    std::atomic<std::uint32_t> count{0};
};
WaiterCount g_waiters[kBuckets];

std::atomic<std::uint32_t>& WaitersOf(const void* word) {
    return g_waiters[(reinterpret_cast<std::uintptr_t>(word) >> 2) % kBuckets].count;
}

void FutexWait(const void* word, std::uint32_t old) {
    std::atomic<std::uint32_t>& waiters = WaitersOf(word);
    waiters.fetch_add(1, std::memory_order_seq_cst);
    // Returns at once when the word no longer holds `old`; a signal or a
    // spurious wake returns early too, and the caller looks again.
    (void)::syscall(SYS_futex, word, FUTEX_WAIT_PRIVATE, old, nullptr, nullptr, 0);
    waiters.fetch_sub(1, std::memory_order_release);
}

void FutexWake(const void* word, int count) {
    std::atomic_thread_fence(std::memory_order_seq_cst);
    if (WaitersOf(word).load(std::memory_order_relaxed) == 0) return;
    (void)::syscall(SYS_futex, word, FUTEX_WAKE_PRIVATE, count, nullptr, nullptr, 0);
}

constexpr int kWakeAll = 0x7FFFFFFF;

}  // namespace

void WaitWhileEqual(std::uint32_t* word, std::uint32_t old) {
    if (std::atomic_ref<std::uint32_t>(*word).load(std::memory_order_acquire) != old) return;
    FutexWait(word, old);
}

void WaitWhileEqual(const std::atomic<std::int32_t>* word, std::int32_t old) {
    static_assert(sizeof(std::atomic<std::int32_t>) == 4);
    if (word->load(std::memory_order_acquire) != old) return;
    FutexWait(word, static_cast<std::uint32_t>(old));
}

void WakeOne(std::uint32_t* word) { FutexWake(word, 1); }
void WakeAll(std::uint32_t* word) { FutexWake(word, kWakeAll); }
void WakeAll(std::atomic<std::int32_t>* word) { FutexWake(word, kWakeAll); }

#else

void WaitWhileEqual(std::uint32_t* word, std::uint32_t old) {
    std::atomic_ref<std::uint32_t>(*word).wait(old, std::memory_order_acquire);
}

void WaitWhileEqual(const std::atomic<std::int32_t>* word, std::int32_t old) {
    word->wait(old, std::memory_order_acquire);
}

void WakeOne(std::uint32_t* word) { std::atomic_ref<std::uint32_t>(*word).notify_one(); }
void WakeAll(std::uint32_t* word) { std::atomic_ref<std::uint32_t>(*word).notify_all(); }
void WakeAll(std::atomic<std::int32_t>* word) { word->notify_all(); }

#endif

std::uint32_t CurrentThreadId() {
    thread_local const std::uint32_t id = static_cast<std::uint32_t>(::syscall(SYS_gettid));
    return id;
}

void SleepMilliseconds(std::uint32_t milliseconds) {
    timespec delay{static_cast<time_t>(milliseconds / 1000),
                   static_cast<long>(milliseconds % 1000) * 1000000L};
    while (::nanosleep(&delay, &delay) != 0) {
    }
}

}  // namespace platform
