// Threads: start, join, per-thread priority and processor affinity.
#pragma once

#include <cstdint>

namespace platform {

using ThreadEntry = void (*)(void* argument);

// Opaque handle of a started thread. Eight bytes with 4-byte alignment so
// that it fits compact records; all zero means "no thread".
struct ThreadHandle {
    std::uint32_t words[2];
};

// Starts a thread with the default stack size that runs entry(argument).
// Returns false (handle left zero) when the thread cannot be created.
[[nodiscard]] bool ThreadStart(ThreadHandle* handle, ThreadEntry entry, void* argument);

// Blocks until the thread has ended, releases it and clears the handle.
// A zero handle is ignored.
void ThreadJoin(ThreadHandle* handle);

[[nodiscard]] bool ThreadIsValid(const ThreadHandle& handle);

// Thread priority levels in the scale the converter uses (-15 idle, -2 lowest,
// -1 below normal, 0 normal, 1 above normal, 2 highest, 15 time critical).
constexpr int kThreadPriorityIdle = -15;
constexpr int kThreadPriorityLowest = -2;
constexpr int kThreadPriorityBelowNormal = -1;
constexpr int kThreadPriorityNormal = 0;
constexpr int kThreadPriorityAboveNormal = 1;
constexpr int kThreadPriorityHighest = 2;
constexpr int kThreadPriorityTimeCritical = 15;

// Nice offset that a priority level maps to (negative = more CPU).
[[nodiscard]] int NiceOffsetForPriority(int level);

// Applies a priority level to the thread with kernel id thread_id (see
// CurrentThreadId in sync.h): on POSIX as a nice value relative to the
// process's own, on Windows as the thread priority itself. Raising priority
// above the process's usually needs privileges on POSIX; returns false when
// the system refuses.
bool ApplyThreadPriority(std::uint32_t thread_id, int level);

// Current nice value of the thread with kernel id thread_id; on Windows the
// nice offset of its priority level.
[[nodiscard]] bool ThreadNice(std::uint32_t thread_id, int* nice);

// Processors the process may run on, as a mask of the first 32 CPUs.
// Returns false when the set cannot be read.
[[nodiscard]] bool ProcessAffinityMask(std::uint32_t* mask);

// Restricts the thread with kernel id thread_id to the processors in mask.
// Returns false when the system refuses (for instance an empty mask).
bool SetThreadAffinity(std::uint32_t thread_id, std::uint32_t mask);

// Processors (of the first 32) the thread with kernel id thread_id may run on.
[[nodiscard]] bool ThreadAffinityMask(std::uint32_t thread_id, std::uint32_t* mask);

}  // namespace platform
