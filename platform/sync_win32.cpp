#include "platform/sync.h"

#include <windows.h>

namespace platform {

void WaitWhileEqual(std::uint32_t* word, std::uint32_t old) {
    WaitOnAddress(word, &old, sizeof old, INFINITE);
}

// A lock-free std::atomic<std::int32_t> is the 32-bit value itself.
void WaitWhileEqual(const std::atomic<std::int32_t>* word, std::int32_t old) {
    static_assert(sizeof(std::atomic<std::int32_t>) == sizeof(std::int32_t));
    WaitOnAddress(const_cast<std::atomic<std::int32_t>*>(word), &old, sizeof old, INFINITE);
}

void WakeOne(std::uint32_t* word) { WakeByAddressSingle(word); }
void WakeAll(std::uint32_t* word) { WakeByAddressAll(word); }
void WakeAll(std::atomic<std::int32_t>* word) { WakeByAddressAll(word); }

std::uint32_t CurrentThreadId() { return static_cast<std::uint32_t>(GetCurrentThreadId()); }

void SleepMilliseconds(std::uint32_t milliseconds) { Sleep(milliseconds); }

}  // namespace platform
