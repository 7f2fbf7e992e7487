#include "platform/thread.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace platform {

namespace {

static_assert(sizeof(pthread_t) <= sizeof(ThreadHandle), "pthread_t must fit a ThreadHandle");

struct StartBlock {
    ThreadEntry entry;
    void* argument;
};

void* Trampoline(void* raw) {
    const StartBlock block = *static_cast<StartBlock*>(raw);
    delete static_cast<StartBlock*>(raw);
    block.entry(block.argument);
    return nullptr;
}

pthread_t ToPthread(const ThreadHandle& handle) {
    pthread_t thread{};
    std::memcpy(&thread, handle.words, sizeof thread);
    return thread;
}

}  // namespace

bool ThreadStart(ThreadHandle* handle, ThreadEntry entry, void* argument) {
    *handle = ThreadHandle{};
    auto* block = new (std::nothrow) StartBlock{entry, argument};
    if (block == nullptr) return false;
    pthread_t thread{};
    if (::pthread_create(&thread, nullptr, &Trampoline, block) != 0) {
        delete block;
        return false;
    }
    std::memcpy(handle->words, &thread, sizeof thread);
    return true;
}

void ThreadJoin(ThreadHandle* handle) {
    if (!ThreadIsValid(*handle)) return;
    ::pthread_join(ToPthread(*handle), nullptr);
    *handle = ThreadHandle{};
}

bool ThreadIsValid(const ThreadHandle& handle) { return (handle.words[0] | handle.words[1]) != 0; }

bool ApplyThreadPriority(std::uint32_t thread_id, int level) {
    errno = 0;
    const int base = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::getpid()));
    if (base == -1 && errno != 0) return false;
    int nice = base + NiceOffsetForPriority(level);
    if (nice < -20) nice = -20;
    if (nice > 19) nice = 19;
    return ::setpriority(PRIO_PROCESS, static_cast<id_t>(thread_id), nice) == 0;
}

bool ThreadNice(std::uint32_t thread_id, int* nice) {
    errno = 0;
    const int value = ::getpriority(PRIO_PROCESS, static_cast<id_t>(thread_id));
    if (value == -1 && errno != 0) return false;
    *nice = value;
    return true;
}

namespace {

bool AffinityOf(pid_t id, std::uint32_t* mask) {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(id, sizeof set, &set) != 0) return false;
    std::uint32_t bits = 0;
    for (int cpu = 0; cpu < 32; ++cpu) {
        if (CPU_ISSET(cpu, &set)) bits |= std::uint32_t{1} << cpu;
    }
    *mask = bits;
    return true;
}

}  // namespace

bool ProcessAffinityMask(std::uint32_t* mask) { return AffinityOf(::getpid(), mask); }

bool ThreadAffinityMask(std::uint32_t thread_id, std::uint32_t* mask) {
    return AffinityOf(static_cast<pid_t>(thread_id), mask);
}

bool SetThreadAffinity(std::uint32_t thread_id, std::uint32_t mask) {
    if (mask == 0) return false;
    cpu_set_t set;
    CPU_ZERO(&set);
    for (int cpu = 0; cpu < 32; ++cpu) {
        if ((mask >> cpu) & 1u) CPU_SET(cpu, &set);
    }
    return ::sched_setaffinity(static_cast<pid_t>(thread_id), sizeof set, &set) == 0;
}

}  // namespace platform
