#include "platform/sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

namespace {

TEST(ManualResetEvent, StaysSignalledUntilReset) {
  platform::Event4 event;
  EXPECT_FALSE(event.IsSet());
  event.Set();
  EXPECT_TRUE(event.IsSet());
  event.Wait();  // returns at once while signalled
  event.Wait();
  event.Reset();
  EXPECT_FALSE(event.IsSet());
}

TEST(ManualResetEvent, SetWakesEveryWaiterAndPublishesEarlierWrites) {
  platform::Event4 event;
  int payload = 0;  // written before Set, read after Wait
  std::atomic<int> seen{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 4; ++i) {
    waiters.emplace_back([&] {
      event.Wait();
      seen.fetch_add(payload);
    });
  }
  payload = 10;
  event.Set();
  for (auto& waiter : waiters) waiter.join();
  EXPECT_EQ(seen.load(), 40);
}

TEST(WordLock, ClearedMemoryIsAFreeLock) {
  alignas(4) unsigned char memory[sizeof(platform::Lock4)];
  std::memset(memory, 0, sizeof memory);
  auto* lock = new (memory) platform::Lock4;
  EXPECT_FALSE(lock->IsHeld());
  ASSERT_TRUE(lock->TryEnter());
  EXPECT_TRUE(lock->IsHeld());
  EXPECT_FALSE(lock->TryEnter());
  lock->Leave();
  EXPECT_FALSE(lock->IsHeld());
}

TEST(WordLock, ExcludesOtherThreadsUnderContention) {
  platform::Lock4 lock;
  long counter = 0;  // guarded by lock
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        lock.Enter();
        ++counter;
        lock.Leave();
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(counter, 80000);
}

TEST(RecursiveLock, OwnerNestsAndOnlyTheOwnerLeaves) {
  platform::RecursiveLock lock;
  lock.Enter();
  lock.Enter();
  EXPECT_TRUE(lock.IsHeldByCaller());
  bool other_left = true;
  bool other_holds = true;
  std::thread([&] {
    other_left = lock.Leave();
    other_holds = lock.IsHeldByCaller();
  }).join();
  EXPECT_FALSE(other_left);
  EXPECT_FALSE(other_holds);
  EXPECT_TRUE(lock.Leave());
  EXPECT_TRUE(lock.IsHeld());
  EXPECT_TRUE(lock.Leave());
  EXPECT_FALSE(lock.IsHeld());
  EXPECT_FALSE(lock.Leave());
}

TEST(RecursiveLock, PassesBetweenThreads) {
  platform::RecursiveLock lock;
  long counter = 0;  // guarded by lock
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 5000; ++i) {
        lock.Enter();
        lock.Enter();
        ++counter;
        ASSERT_TRUE(lock.Leave());
        ASSERT_TRUE(lock.Leave());
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(counter, 20000);
}

TEST(ThreadIds, AreNonZeroAndDistinctPerThread) {
  std::set<std::uint32_t> ids{platform::CurrentThreadId()};
  EXPECT_EQ(platform::CurrentThreadId(), *ids.begin());
  for (int i = 0; i < 3; ++i) {
    std::uint32_t id = 0;
    std::thread([&] { id = platform::CurrentThreadId(); }).join();
    ids.insert(id);
  }
  EXPECT_EQ(ids.count(0), 0u);
  EXPECT_EQ(ids.size(), 4u);
}

}  // namespace
