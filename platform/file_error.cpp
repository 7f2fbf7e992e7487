#include "platform/file_error.h"

#include <atomic>
#include <cstddef>

namespace platform {

namespace {

// 0 empty, 1 being filled by the thread that claimed it, 2 filled.
std::atomic<int> g_state{0};
char g_path[4096];
int g_error_number = 0;

}  // namespace

void NoteFileError(const char* path, int error_number) {
    if (path == nullptr) return;
    int expected = 0;
    if (!g_state.compare_exchange_strong(expected, 1, std::memory_order_acq_rel)) return;
    std::size_t n = 0;
    // A longer path is cut; every path of the program is far shorter.
    for (; path[n] != '\0' && n + 1 < sizeof g_path; ++n)
        g_path[n] = path[n];
    g_path[n] = '\0';
    g_error_number = error_number;
    g_state.store(2, std::memory_order_release);
}

bool FirstFileError(std::string* path, int* error_number) {
    if (g_state.load(std::memory_order_acquire) != 2) return false;
    *path = g_path;
    *error_number = g_error_number;
    return true;
}

void ClearFileError() { g_state.store(0, std::memory_order_release); }

}  // namespace platform
