#include "platform/thread.h"

#include <gtest/gtest.h>

#include <atomic>

#include "platform/sync.h"

namespace {

struct StartProbe {
  std::atomic<int> runs{0};
  std::atomic<std::uint32_t> thread_id{0};
};

void Record(void* argument) {
  auto* probe = static_cast<StartProbe*>(argument);
  probe->thread_id.store(platform::CurrentThreadId());
  probe->runs.fetch_add(1);
}

TEST(PlatformThread, RunsTheEntryOnItsOwnThreadAndJoinClearsTheHandle) {
  StartProbe probe;
  platform::ThreadHandle handle{};
  EXPECT_FALSE(platform::ThreadIsValid(handle));
  ASSERT_TRUE(platform::ThreadStart(&handle, &Record, &probe));
  EXPECT_TRUE(platform::ThreadIsValid(handle));
  platform::ThreadJoin(&handle);
  EXPECT_FALSE(platform::ThreadIsValid(handle));
  EXPECT_EQ(probe.runs.load(), 1);
  EXPECT_NE(probe.thread_id.load(), platform::CurrentThreadId());
  platform::ThreadJoin(&handle);  // a cleared handle is ignored
}

TEST(PlatformThread, HandleFitsCompactRecords) {
  EXPECT_EQ(sizeof(platform::ThreadHandle), 8u);
  EXPECT_EQ(alignof(platform::ThreadHandle), 4u);
}

TEST(PlatformThread, PriorityLevelsMapToNiceOffsets) {
  EXPECT_EQ(platform::NiceOffsetForPriority(platform::kThreadPriorityIdle), 19);
  EXPECT_EQ(platform::NiceOffsetForPriority(-7), 10);
  EXPECT_EQ(platform::NiceOffsetForPriority(platform::kThreadPriorityLowest), 10);
  EXPECT_EQ(platform::NiceOffsetForPriority(platform::kThreadPriorityBelowNormal), 5);
  EXPECT_EQ(platform::NiceOffsetForPriority(platform::kThreadPriorityNormal), 0);
  EXPECT_EQ(platform::NiceOffsetForPriority(platform::kThreadPriorityAboveNormal), -5);
  EXPECT_EQ(platform::NiceOffsetForPriority(platform::kThreadPriorityHighest), -10);
  EXPECT_EQ(platform::NiceOffsetForPriority(7), -10);
  EXPECT_EQ(platform::NiceOffsetForPriority(platform::kThreadPriorityTimeCritical), -20);
  EXPECT_EQ(platform::NiceOffsetForPriority(-100), 19);
}

TEST(PlatformThread, LoweringAThreadsPriorityRaisesItsNiceValue) {
  struct Parked {
    platform::Event4 running;
    platform::Event4 release;
    std::atomic<std::uint32_t> id{0};
  } parked;
  platform::ThreadHandle handle{};
  ASSERT_TRUE(platform::ThreadStart(
      &handle,
      [](void* raw) {
        auto* p = static_cast<Parked*>(raw);
        p->id.store(platform::CurrentThreadId());
        p->running.Set();
        p->release.Wait();
      },
      &parked));
  parked.running.Wait();
  int before = 0;
  ASSERT_TRUE(platform::ThreadNice(parked.id.load(), &before));
  EXPECT_TRUE(platform::ApplyThreadPriority(parked.id.load(), platform::kThreadPriorityBelowNormal));
  int after = 0;
  ASSERT_TRUE(platform::ThreadNice(parked.id.load(), &after));
  EXPECT_EQ(after, std::min(19, before + 5));
  parked.release.Set();
  platform::ThreadJoin(&handle);
}

TEST(PlatformThread, EmptyAffinityMaskIsRefused) {
  std::uint32_t mask = 0;
  ASSERT_TRUE(platform::ProcessAffinityMask(&mask));
  EXPECT_NE(mask, 0u);
  EXPECT_FALSE(platform::SetThreadAffinity(platform::CurrentThreadId(), 0));
  std::uint32_t now = 0;
  ASSERT_TRUE(platform::ThreadAffinityMask(platform::CurrentThreadId(), &now));
  EXPECT_EQ(now, mask);
}

}  // namespace
