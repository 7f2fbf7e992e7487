// Helpers of the runtime tests: capture of reported lines, jobs that record
// their runs or wait at a gate, guarded work areas and a recording allocator.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/sync.h"
#include "runtime/nuv_allocator.h"
#include "runtime/nuv_base.h"
#include "runtime/nuverr.h"

namespace rttest {

using Lines = std::vector<std::string>;

// Threads of this process, where the system lists them (else -1). One
// thread is made and joined first: a sanitizer's runtime starts its own
// helper thread with the first thread a process makes, and would otherwise
// be counted as the delegate's.
inline int ProcessThreads() {
#ifdef __linux__
    static const bool settled = [] {
        std::thread([] {}).join();
        return true;
    }();
    (void)settled;
    const std::filesystem::directory_iterator tasks("/proc/self/task");
    return static_cast<int>(std::distance(begin(tasks), end(tasks)));
#else
    return -1;
#endif
}

inline std::mutex g_lines_mutex;
inline Lines g_lines;

inline Lines Captured() {
    std::lock_guard<std::mutex> hold(g_lines_mutex);
    return g_lines;
}
inline void Capture(const std::string& line) {
    std::lock_guard<std::mutex> hold(g_lines_mutex);
    g_lines.push_back(line);
}

// Collects the lines of NUVERR_Report and of the base error hook while alive.
struct CaptureLines {
    CaptureLines() {
        std::lock_guard<std::mutex> hold(g_lines_mutex);
        g_lines.clear();
        NUVERR_SetCallback(
            [](std::int32_t user, const char* text) {
                Capture(user == 0x1234 ? text : "<wrong user value>");
                return 7;
            },
            0x1234);
        NUVBASE_SetCallback([](const char* text, std::int32_t a, std::int32_t b, std::int32_t c) {
            Capture(a || b || c ? std::string(text) + " " + std::to_string(a + b + c) : text);
            return 5;
        });
    }
    ~CaptureLines() {
        NUVERR_SetCallback(nullptr, 0);
        NUVBASE_SetCallback(nullptr);
        NUVBASE_SetWarningSuppression(0);
    }
};

struct RunProbe {
    std::atomic<int> runs{0};
    std::atomic<std::uint32_t> last_thread{0};
    void Record() {
        last_thread.store(platform::CurrentThreadId());
        runs.fetch_add(1);
    }
};

// A job that announces it has begun, then blocks until the test opens it.
struct Gate {
    platform::Event4 begun, open;
    std::atomic<int> runs{0};
    void Pass() {
        begun.Set();
        open.Wait();
        runs.fetch_add(1);
    }
};

// `size` bytes at `misalignment` past a multiple of 8, with guard bytes around.
struct GuardedArea {
    alignas(8) unsigned char bytes[192];
    std::size_t offset, size;
    GuardedArea(std::size_t misalignment, std::size_t n) : offset(32 + misalignment), size(n) {
        std::memset(bytes, 0xA5, sizeof bytes);
    }
    void* area() { return bytes + offset; }
    bool GuardsIntact() const {
        auto guard = [](unsigned char b) { return b == 0xA5; };
        return std::all_of(bytes, bytes + offset, guard) &&
               std::all_of(bytes + offset + size, bytes + sizeof bytes, guard);
    }
};

// An allocator handle that records its calls; one allocation can be made to fail.
struct RecordingAllocator {
    NuvAllocatorHandle handle{&table};  // first member: the entries find the object from it
    NuvAllocatorTable table{&Allocate, &Allocate, &Allocate, &Free};
    std::mutex mutex;
    int fail_at = -1, frees = 0;
    Lines names;
    std::vector<std::int32_t> sizes, alignments;

    static void* Allocate(NuvAllocatorHandle* self, std::int32_t size, const char* name,
                          std::int32_t alignment) {
        auto* me = reinterpret_cast<RecordingAllocator*>(self);
        std::lock_guard<std::mutex> hold(me->mutex);
        me->names.emplace_back(name);
        me->sizes.push_back(size);
        me->alignments.push_back(alignment);
        if (static_cast<int>(me->names.size()) == me->fail_at) return nullptr;
        return std::memset(std::malloc(static_cast<std::size_t>(size)), 0xCC,
                           static_cast<std::size_t>(size));
    }
    static std::int32_t Free(NuvAllocatorHandle* self, void* block) {
        auto* me = reinterpret_cast<RecordingAllocator*>(self);
        std::lock_guard<std::mutex> hold(me->mutex);
        me->frees += block != nullptr;
        std::free(block);
        return 0;
    }
};

}  // namespace rttest
