#include "runtime/nuvcrs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tests/unit/runtime/capture.h"
#include "tests/unit/runtime/guarded_area.h"

namespace {

using rttest::GuardedArea;
using rttest::Lines;
using rttest::ReportCapture;

TEST(WorkAreaLock, RefusesNullAreaAndAreasBelow28Bytes) {
  ReportCapture capture;
  alignas(4) unsigned char area[32];
  EXPECT_EQ(NUVCRS_Create(nullptr, 28), nullptr);
  EXPECT_EQ(NUVCRS_Create(area, 27), nullptr);
  EXPECT_EQ(NUVCRS_Create(area, -1), nullptr);
  EXPECT_EQ(capture.Lines(), (Lines{"NUVCRS_Create : Illegal parameter is passed.",
                                    "NUVCRS_Create : Work area size is too short.",
                                    "NUVCRS_Create : Work area size is too short."}));
}

TEST(WorkAreaLock, Fits28BytesAtEveryMisalignment) {
  ReportCapture capture;
  for (std::size_t misalignment = 0; misalignment < 8; ++misalignment) {
    GuardedArea guarded(misalignment, 28);
    const NuvCrsHandle lock = NUVCRS_Create(guarded.area(), 28);
    ASSERT_NE(lock, nullptr) << misalignment;
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(lock) % 4, 0u);
    EXPECT_GE(static_cast<void*>(lock), guarded.area());
    EXPECT_EQ(NUVCRS_Enter(lock), 0);
    EXPECT_EQ(NUVCRS_Leave(lock), 0);
    NUVCRS_Destroy(lock);
    EXPECT_TRUE(guarded.GuardsIntact()) << misalignment;
  }
  EXPECT_TRUE(capture.Lines().empty());
}

TEST(WorkAreaLock, NullHandlesAreReportedPerOperation) {
  ReportCapture capture;
  EXPECT_EQ(NUVCRS_Enter(nullptr), -1);
  EXPECT_EQ(NUVCRS_Leave(nullptr), -1);
  NUVCRS_Destroy(nullptr);
  EXPECT_EQ(capture.Lines(), (Lines{"NUVCRS_Enter : NULL pointer is passed.",
                                    "NUVCRS_Leave : NULL pointer is passed.",
                                    "NUVCRS_Destroy : NULL pointer is passed."}));
}

TEST(WorkAreaLock, UseAfterDestroyIsReportedAsPlatformFailure) {
  ReportCapture capture;
  alignas(4) unsigned char area[28];
  const NuvCrsHandle lock = NUVCRS_Create(area, sizeof area);
  ASSERT_NE(lock, nullptr);
  NUVCRS_Destroy(lock);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(area[i], 0) << i;  // the lock is cleared after deletion
  EXPECT_EQ(NUVCRS_Enter(lock), -1);
  EXPECT_EQ(NUVCRS_Leave(lock), -1);
  NUVCRS_Destroy(lock);
  EXPECT_EQ(capture.Lines(), (Lines{"NUVCRS_Enter : EnterCriticalSection failed.",
                                    "NUVCRS_Leave : LeaveCriticalSection failed.",
                                    "NUVCRS_Destroy : DeleteCriticalSection failed."}));
}

TEST(WorkAreaLock, LeavingALockNobodyHoldsFails) {
  ReportCapture capture;
  alignas(4) unsigned char area[28];
  const NuvCrsHandle lock = NUVCRS_Create(area, sizeof area);
  EXPECT_EQ(NUVCRS_Leave(lock), -1);
  NUVCRS_Destroy(lock);
  EXPECT_EQ(capture.Lines(), Lines{"NUVCRS_Leave : LeaveCriticalSection failed."});
}

TEST(WorkAreaLock, ExcludesOtherThreads) {
  alignas(4) unsigned char area[28];
  const NuvCrsHandle lock = NUVCRS_Create(area, sizeof area);
  constexpr int kThreads = 4;
  constexpr int kRounds = 5000;
  long counter = 0;  // guarded by lock; a lost update would show as a short count
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kRounds; ++i) {
        ASSERT_EQ(NUVCRS_Enter(lock), 0);
        const long seen = counter;
        counter = seen + 1;
        ASSERT_EQ(NUVCRS_Leave(lock), 0);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(counter, long{kThreads} * kRounds);
  NUVCRS_Destroy(lock);
}

}  // namespace
