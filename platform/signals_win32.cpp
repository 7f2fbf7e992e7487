#include "platform/signals.h"

#include <windows.h>

namespace platform {

namespace {

std::atomic<std::atomic<int>*> g_interrupt_flag{nullptr};

// Runs on a thread of the console system for Ctrl+C, Ctrl+Break, closing the
// console window, logoff and shutdown: it only raises the flag, and answers
// TRUE so that the console does not end the process.
BOOL WINAPI ConsoleCtrlHandler(DWORD /*control_type*/) {
    std::atomic<int>* flag = g_interrupt_flag.load(std::memory_order_relaxed);
    if (flag != nullptr) flag->store(1, std::memory_order_relaxed);
    return TRUE;
}

}  // namespace

bool InstallInterruptHandler(std::atomic<int>* flag) {
    g_interrupt_flag.store(flag, std::memory_order_relaxed);
    return SetConsoleCtrlHandler(&ConsoleCtrlHandler, TRUE) != 0;
}

}  // namespace platform
