#include "platform/sync.h"

#include <ctime>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

void WaitWhileEqual(std::uint32_t* word, std::uint32_t old) {
    std::atomic_ref<std::uint32_t>(*word).wait(old, std::memory_order_acquire);
}

void WaitWhileEqual(const std::atomic<std::int32_t>* word, std::int32_t old) {
    word->wait(old, std::memory_order_acquire);
}

void WakeOne(std::uint32_t* word) { std::atomic_ref<std::uint32_t>(*word).notify_one(); }
void WakeAll(std::uint32_t* word) { std::atomic_ref<std::uint32_t>(*word).notify_all(); }
void WakeAll(std::atomic<std::int32_t>* word) { word->notify_all(); }

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
