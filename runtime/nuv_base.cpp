#include "runtime/nuv_base.h"

#include <atomic>

namespace {

std::atomic<NuvBaseCallback> g_callback{nullptr};
std::atomic<std::int32_t> g_suppress_warnings{0};

}  // namespace

void NUVBASE_SetCallback(NuvBaseCallback callback) {
    g_callback.store(callback, std::memory_order_release);
}

void NUVBASE_SetWarningSuppression(std::int32_t on) {
    g_suppress_warnings.store(on != 0 ? 1 : 0, std::memory_order_relaxed);
}

std::int32_t NUVBASE_ReportError(std::int32_t level, const char* text) {
    if (level == NUVBASE_LEVEL_WARNING &&
        g_suppress_warnings.load(std::memory_order_relaxed) != 0) {
        return 1;
    }
    const NuvBaseCallback callback = g_callback.load(std::memory_order_acquire);
    return callback != nullptr ? callback(text, 0, 0, 0) : 0;
}

void NUVBASE_ReportErrorEx(std::int32_t level, const char* text, std::int32_t a, std::int32_t b,
                           std::int32_t c) {
    if (level == NUVBASE_LEVEL_WARNING &&
        g_suppress_warnings.load(std::memory_order_relaxed) != 0) {
        return;
    }
    const NuvBaseCallback callback = g_callback.load(std::memory_order_acquire);
    if (callback != nullptr) callback(text, a, b, c);
}
