#include "platform/thread.h"

#include <windows.h>
#include <process.h>

#include <cstring>
#include <new>

namespace platform {

namespace {

static_assert(sizeof(HANDLE) <= sizeof(ThreadHandle), "a thread HANDLE must fit a ThreadHandle");

struct StartBlock {
    ThreadEntry entry;
    void* argument;
};

unsigned __stdcall Trampoline(void* raw) {
    const StartBlock block = *static_cast<StartBlock*>(raw);
    delete static_cast<StartBlock*>(raw);
    block.entry(block.argument);
    return 0;
}

HANDLE ToHandle(const ThreadHandle& handle) {
    HANDLE thread = nullptr;
    std::memcpy(&thread, handle.words, sizeof thread);
    return thread;
}

// A handle to the thread with this id, for the rights given; closed by the
// caller.
HANDLE OpenById(std::uint32_t thread_id, DWORD rights) {
    return OpenThread(rights, FALSE, static_cast<DWORD>(thread_id));
}

}  // namespace

bool ThreadStart(ThreadHandle* handle, ThreadEntry entry, void* argument) {
    *handle = ThreadHandle{};
    auto* block = new (std::nothrow) StartBlock{entry, argument};
    if (block == nullptr) return false;
    // The C runtime's thread start, so that the runtime's per-thread state is
    // set up for the new thread.
    const std::uintptr_t thread = _beginthreadex(nullptr, 0, &Trampoline, block, 0, nullptr);
    if (thread == 0) {
        delete block;
        return false;
    }
    const HANDLE native = reinterpret_cast<HANDLE>(thread);
    std::memcpy(handle->words, &native, sizeof native);
    return true;
}

void ThreadJoin(ThreadHandle* handle) {
    if (!ThreadIsValid(*handle)) return;
    const HANDLE thread = ToHandle(*handle);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    *handle = ThreadHandle{};
}

bool ThreadIsValid(const ThreadHandle& handle) { return (handle.words[0] | handle.words[1]) != 0; }

bool ApplyThreadPriority(std::uint32_t thread_id, int level) {
    const HANDLE thread = OpenById(thread_id, THREAD_SET_INFORMATION | THREAD_QUERY_INFORMATION);
    if (thread == nullptr) return false;
    const bool ok = SetThreadPriority(thread, level) != 0;
    CloseHandle(thread);
    return ok;
}

bool ThreadNice(std::uint32_t thread_id, int* nice) {
    const HANDLE thread = OpenById(thread_id, THREAD_QUERY_INFORMATION);
    if (thread == nullptr) return false;
    const int level = GetThreadPriority(thread);
    CloseHandle(thread);
    if (level == THREAD_PRIORITY_ERROR_RETURN) return false;
    *nice = NiceOffsetForPriority(level);
    return true;
}

bool ProcessAffinityMask(std::uint32_t* mask) {
    DWORD_PTR process = 0, system = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) return false;
    *mask = static_cast<std::uint32_t>(process & 0xFFFFFFFFu);
    return true;
}

bool SetThreadAffinity(std::uint32_t thread_id, std::uint32_t mask) {
    if (mask == 0) return false;
    const HANDLE thread = OpenById(thread_id, THREAD_SET_INFORMATION | THREAD_QUERY_INFORMATION);
    if (thread == nullptr) return false;
    const bool ok = SetThreadAffinityMask(thread, static_cast<DWORD_PTR>(mask)) != 0;
    CloseHandle(thread);
    return ok;
}

bool ThreadAffinityMask(std::uint32_t thread_id, std::uint32_t* mask) {
    // Windows only tells a thread's set by replacing it: set the process's
    // set, which answers the old one, and put the old one back.
    DWORD_PTR process = 0, system = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) return false;
    const HANDLE thread = OpenById(thread_id, THREAD_SET_INFORMATION | THREAD_QUERY_INFORMATION);
    if (thread == nullptr) return false;
    const DWORD_PTR old = SetThreadAffinityMask(thread, process);
    if (old != 0) SetThreadAffinityMask(thread, old);
    CloseHandle(thread);
    if (old == 0) return false;
    *mask = static_cast<std::uint32_t>(old & 0xFFFFFFFFu);
    return true;
}

}  // namespace platform
