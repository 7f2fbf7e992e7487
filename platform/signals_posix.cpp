#include "platform/signals.h"

#include <pthread.h>
#include <signal.h>

namespace platform {

namespace {

std::atomic<std::atomic<int>*> g_interrupt_flag{nullptr};

static_assert(std::atomic<int>::is_always_lock_free,
              "the handler may only touch lock-free atomics");
static_assert(std::atomic<std::atomic<int>*>::is_always_lock_free,
              "the handler may only touch lock-free atomics");

extern "C" void OnInterruptSignal(int) {
    std::atomic<int>* flag = g_interrupt_flag.load(std::memory_order_relaxed);
    if (flag != nullptr) flag->store(1, std::memory_order_relaxed);
}

constexpr int kInterruptSignals[] = {SIGINT, SIGTERM, SIGHUP};

}  // namespace

bool InstallInterruptHandler(std::atomic<int>* flag) {
    g_interrupt_flag.store(flag, std::memory_order_relaxed);

    struct sigaction action {};
    action.sa_handler = OnInterruptSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);

    bool ok = true;
    sigset_t installed;
    sigemptyset(&installed);
    for (int signal_number : kInterruptSignals) {
        if (sigaction(signal_number, &action, nullptr) == 0) {
            sigaddset(&installed, signal_number);
        } else {
            ok = false;
        }
    }
    pthread_sigmask(SIG_UNBLOCK, &installed, nullptr);
    return ok;
}

}  // namespace platform
