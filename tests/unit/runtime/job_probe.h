// Jobs for the worker tests: a counter of runs that remembers the thread of
// the last run, and a gate that holds a job until the test opens it.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/sync.h"

namespace rttest {

struct RunProbe {
  std::atomic<int> runs{0};
  std::atomic<std::uint32_t> last_thread{0};

  void Record() {
    last_thread.store(platform::CurrentThreadId());
    runs.fetch_add(1);
  }
};

// A job that announces it has begun, then blocks until Open.
struct Gate {
  platform::Event4 begun;
  platform::Event4 open;
  std::atomic<int> runs{0};
  std::atomic<bool> finished{false};

  void Pass() {
    begun.Set();
    open.Wait();
    runs.fetch_add(1);
    finished.store(true);
  }
  void Open() { open.Set(); }
};

}  // namespace rttest
