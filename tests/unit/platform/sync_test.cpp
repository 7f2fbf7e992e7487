#include "platform/sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

TEST(ManualResetEvent, SetWakesEveryWaiterPublishesEarlierWritesAndStaysSetUntilReset) {
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
    for (auto& waiter : waiters)
        waiter.join();
    EXPECT_EQ(seen.load(), 40);
    event.Wait();  // still signalled
    event.Reset();
    EXPECT_FALSE(event.IsSet());
}

// Both locks: a lost update would show as a short count.
template <typename Lock>
long CountUnderLock(Lock& lock, bool nested) {
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                lock.Enter();
                if constexpr (requires { lock.IsHeldByCaller(); }) {
                    if (nested) lock.Enter();
                    ++counter;
                    if (nested) {
                        EXPECT_TRUE(lock.Leave());
                    }
                    EXPECT_TRUE(lock.Leave());
                } else {
                    ++counter;
                    lock.Leave();
                }
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    return counter;
}

TEST(WordLock, ExcludesOtherThreadsAndStartsFree) {
    platform::Lock4 lock;
    EXPECT_EQ(CountUnderLock(lock, false), 40000);
    ASSERT_TRUE(lock.TryEnter());
    EXPECT_FALSE(lock.TryEnter());
    lock.Leave();
    EXPECT_FALSE(lock.IsHeld());
}

TEST(RecursiveLock, OwnerNestsOthersCannotLeaveAndItPassesBetweenThreads) {
    platform::RecursiveLock lock;
    EXPECT_EQ(CountUnderLock(lock, true), 40000);
    lock.Enter();
    bool other_left = true;
    std::thread([&] { other_left = lock.Leave(); }).join();
    EXPECT_FALSE(other_left);
    EXPECT_TRUE(lock.Leave());
    EXPECT_FALSE(lock.Leave());
}

}  // namespace
