#include "runtime/nuverr.h"

#include <atomic>

namespace {

int IgnoreReport(std::int32_t /*user_value*/, const char* /*message*/) { return 0; }

// Both items are read by reporting threads while the main thread may set them.
std::atomic<NuvErrCallback> g_callback{&IgnoreReport};
std::atomic<std::int32_t> g_user_value{0};

}  // namespace

void NUVERR_SetCallback(NuvErrCallback callback, std::int32_t user_value) {
    g_user_value.store(user_value, std::memory_order_relaxed);
    g_callback.store(callback != nullptr ? callback : &IgnoreReport, std::memory_order_release);
}

int NUVERR_Report(const char* message) {
    const NuvErrCallback callback = g_callback.load(std::memory_order_acquire);
    return callback(g_user_value.load(std::memory_order_relaxed), message);
}
