#include "runtime/nuv_delegate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <thread>
#include <vector>

#include "platform/thread.h"
#include "tests/unit/runtime/capture.h"
#include "tests/unit/runtime/job_probe.h"
#include "tests/unit/runtime/recording_allocator.h"

struct NuvDelegateWinTestPeer {
  static void SetJobId(NuvDelegateWin* delegate, std::int32_t id) { delegate->job_id_ = id; }
};

namespace {

using rttest::Gate;
using rttest::HookCapture;
using rttest::Lines;
using rttest::RecordingAllocator;
using rttest::RunProbe;

void CountRun(void* argument) { static_cast<RunProbe*>(argument)->Record(); }
void PassGate(void* argument) { static_cast<Gate*>(argument)->Pass(); }

class Delegate : public ::testing::Test {
 protected:
  void SetUp() override {
    delegate_ = NUVDLGW_Create(NUVALLOC_ProcessAllocator(), &err_);
    ASSERT_NE(delegate_, nullptr);
    ASSERT_EQ(err_, 0);
  }
  void TearDown() override {
    if (delegate_ != nullptr) delegate_->Destroy(&err_);
  }
  NuvDelegateWin* delegate_ = nullptr;
  std::int32_t err_ = 0;
};

TEST(DelegateModule, InitializeAndFinalizeOnlyClearTheCode) {
  std::int32_t err = 9;
  NUVDLGW_Initialize(&err);
  EXPECT_EQ(err, 0);
  err = 9;
  NUVDLGW_Finalize(&err);
  EXPECT_EQ(err, 0);
}

TEST(DelegateCreate, AllocatesItselfAndTwoLocksThroughOneHandleAndFreesThemThere) {
  RecordingAllocator allocator;
  std::int32_t err = 1;
  NuvDelegateWin* delegate = NUVDLGW_Create(allocator.handle(), &err);
  ASSERT_NE(delegate, nullptr);
  EXPECT_EQ(err, 0);
  EXPECT_EQ(allocator.names(), (std::vector<std::string>{"NuvDelegateWin", "NuvCsWin", "NuvCsWin"}));
  EXPECT_EQ(allocator.alignments(), (std::vector<std::int32_t>{4, 4, 4}));
  EXPECT_EQ(allocator.sizes()[0],
            static_cast<std::int32_t>(sizeof(NuvDelegateWin) + sizeof(void*)));
  EXPECT_NE(delegate->WorkerThreadId(), 0u);
  delegate->Destroy(&err);
  EXPECT_EQ(err, 0);
  EXPECT_EQ(allocator.frees(), 3);
}

TEST(DelegateCreate, ReportsEachFailedStepAndReleasesWhatItMade) {
  struct Case {
    int failing_allocation;
    std::int32_t code;
    Lines lines;
  };
  const Case cases[] = {
      {1, -3, {"E2006082001:Can not allocate memory."}},
      {2, -1, {"E2006081801:Can not allocate memory.", "E2006082002:Can not create critical section."}},
      {3, -1, {"E2006081801:Can not allocate memory.", "E2006082003:Can not create critical section."}},
  };
  for (const Case& c : cases) {
    HookCapture capture;
    RecordingAllocator allocator;
    allocator.FailAllocation(c.failing_allocation);
    std::int32_t err = 0;
    EXPECT_EQ(NUVDLGW_Create(allocator.handle(), &err), nullptr);
    EXPECT_EQ(err, c.code) << c.failing_allocation;
    EXPECT_EQ(capture.Lines(), c.lines) << c.failing_allocation;
    EXPECT_EQ(allocator.frees(), c.failing_allocation - 1);
  }
}

TEST_F(Delegate, IdsStartAtOneAndWrapAfterTheLast) {
  RunProbe probe;
  std::int32_t id = delegate_->Request(&CountRun, &probe, &err_);
  EXPECT_EQ(id, 1);
  delegate_->Wait(id, &err_);
  EXPECT_EQ(delegate_->Request(&CountRun, &probe, &err_), 2);
  delegate_->Wait(2, &err_);
  NuvDelegateWinTestPeer::SetJobId(delegate_, 0x7FFFFFFD);
  id = delegate_->Request(&CountRun, &probe, &err_);
  EXPECT_EQ(id, 0x7FFFFFFE);
  delegate_->Wait(id, &err_);
  id = delegate_->Request(&CountRun, &probe, &err_);
  EXPECT_EQ(id, 1);
  delegate_->Wait(id, &err_);
  EXPECT_EQ(probe.runs.load(), 4);
  EXPECT_EQ(err_, 0);
}

TEST_F(Delegate, BusyDelegateRefusesAndKeepsThePendingJob) {
  Gate gate;
  RunProbe probe;
  const std::int32_t id = delegate_->Request(&PassGate, &gate, &err_);
  EXPECT_EQ(id, 1);
  EXPECT_EQ(delegate_->IsBusy(&err_), 1);
  EXPECT_EQ(delegate_->IsDone(id, &err_), 0);
  EXPECT_EQ(delegate_->Request(&CountRun, &probe, &err_), -1);
  EXPECT_EQ(err_, 0);
  gate.Open();
  delegate_->Wait(id, &err_);
  EXPECT_EQ(gate.runs.load(), 1);
  EXPECT_EQ(probe.runs.load(), 0);
  EXPECT_EQ(delegate_->IsBusy(&err_), 0);
  EXPECT_EQ(delegate_->IsDone(id, &err_), 1);
  EXPECT_EQ(delegate_->Request(&CountRun, &probe, &err_), 2);
  delegate_->Wait(2, &err_);
  EXPECT_EQ(probe.runs.load(), 1);
}

TEST_F(Delegate, WaitAndIsDoneTreatOtherIdsAsDone) {
  Gate gate;
  const std::int32_t id = delegate_->Request(&PassGate, &gate, &err_);
  gate.begun.Wait();  // the worker holds the job
  EXPECT_EQ(delegate_->IsDone(id + 1, &err_), 1);
  delegate_->Wait(id + 1, &err_);
  delegate_->Wait(0, &err_);
  EXPECT_FALSE(gate.finished.load());
  gate.Open();
  delegate_->Wait(id, &err_);
  EXPECT_TRUE(gate.finished.load());
  delegate_->Wait(id, &err_);  // already done
  EXPECT_EQ(gate.runs.load(), 1);
}

TEST_F(Delegate, WaitOnAJobTheWorkerRunsBlocksUntilItsEnd) {
  Gate gate;
  const std::int32_t id = delegate_->Request(&PassGate, &gate, &err_);
  gate.begun.Wait();
  std::atomic<bool> finished_when_wait_returned{false};
  std::thread waiter([&] {
    std::int32_t err = 0;
    delegate_->Wait(id, &err);
    finished_when_wait_returned.store(gate.finished.load());
  });
  gate.Open();
  waiter.join();
  EXPECT_TRUE(finished_when_wait_returned.load());
  EXPECT_EQ(gate.runs.load(), 1);
}

TEST_F(Delegate, WaitRightAfterRequestRunsTheJobOnTheCallerExactlyOnce) {
  const std::uint32_t self = platform::CurrentThreadId();
  bool ran_here = false;
  for (int attempt = 0; attempt < 2000 && !ran_here; ++attempt) {
    RunProbe probe;
    delegate_->Wait(delegate_->Request(&CountRun, &probe, &err_), &err_);
    ASSERT_EQ(probe.runs.load(), 1);
    ran_here = probe.last_thread.load() == self;
  }
  EXPECT_TRUE(ran_here);
  // The worker wakes later and must find nothing to run.
  RunProbe last;
  delegate_->Wait(delegate_->Request(&CountRun, &last, &err_), &err_);
  delegate_->Destroy(&err_);
  delegate_ = nullptr;
  EXPECT_EQ(last.runs.load(), 1);
}

TEST_F(Delegate, RequestWithoutFunctionRunsNothingAndCompletes) {
  const std::int32_t id = delegate_->Request(nullptr, nullptr, &err_);
  EXPECT_EQ(id, 1);
  delegate_->Wait(id, &err_);
  EXPECT_EQ(delegate_->IsBusy(&err_), 0);
}

TEST(DelegateDestroy, RunsAPendingJobBeforeTheThreadEnds) {
  for (int round = 0; round < 50; ++round) {
    std::int32_t err = 0;
    NuvDelegateWin* delegate = NUVDLGW_Create(NUVALLOC_ProcessAllocator(), &err);
    ASSERT_NE(delegate, nullptr);
    RunProbe probe;
    ASSERT_EQ(delegate->Request(&CountRun, &probe, &err), 1);
    delegate->Destroy(&err);
    EXPECT_EQ(err, 0);
    ASSERT_EQ(probe.runs.load(), 1);
  }
}

TEST_F(Delegate, LockIsRecursiveForItsHolderAndUnlockWithoutLockFails) {
  HookCapture capture;
  delegate_->Lock(&err_);
  EXPECT_EQ(err_, 0);
  RunProbe probe;
  delegate_->Wait(delegate_->Request(&CountRun, &probe, &err_), &err_);
  EXPECT_EQ(err_, 0);
  delegate_->Unlock(&err_);
  EXPECT_EQ(err_, 0);
  EXPECT_TRUE(capture.Lines().empty());
  delegate_->Unlock(&err_);
  EXPECT_EQ(err_, -1);
  EXPECT_EQ(capture.Lines(), (Lines{"E2006081805:LeaveCriticalSection function has failed.",
                                    "E2006082012:CriticalSection object has broken."}));
  EXPECT_EQ(delegate_->IsBusy(&err_), 0);
  EXPECT_EQ(err_, 0);  // the failure was handed out once
}

TEST_F(Delegate, PriorityIsStoredAndAppliedAsNiceOffset) {
  EXPECT_EQ(delegate_->GetPriority(&err_), platform::kThreadPriorityNormal);
  const std::uint32_t worker = delegate_->WorkerThreadId();
  int base = 0;
  ASSERT_TRUE(platform::ThreadNice(worker, &base));

  delegate_->SetPriority(platform::kThreadPriorityLowest, &err_);
  EXPECT_EQ(err_, 0);
  EXPECT_EQ(delegate_->GetPriority(&err_), platform::kThreadPriorityLowest);
  int nice = 0;
  ASSERT_TRUE(platform::ThreadNice(worker, &nice));
  EXPECT_EQ(nice, std::min(19, base + platform::NiceOffsetForPriority(-2)));

  // The same level again calls nothing: a change made behind its back stays.
  ASSERT_TRUE(platform::ApplyThreadPriority(worker, platform::kThreadPriorityIdle));
  delegate_->SetPriority(platform::kThreadPriorityLowest, &err_);
  ASSERT_TRUE(platform::ThreadNice(worker, &nice));
  EXPECT_EQ(nice, std::min(19, base + 19));
}

TEST_F(Delegate, AffinityIsIntersectedWithTheProcessSet) {
  std::uint32_t process = 0;
  ASSERT_TRUE(platform::ProcessAffinityMask(&process));
  ASSERT_NE(process, 0u);
  const std::uint32_t worker = delegate_->WorkerThreadId();
  const std::uint32_t lowest = process & (~process + 1);

  delegate_->SetAffinityMask(lowest | ~process, &err_);
  EXPECT_EQ(err_, 0);
  std::uint32_t now = 0;
  ASSERT_TRUE(platform::ThreadAffinityMask(worker, &now));
  EXPECT_EQ(now, lowest);

  delegate_->SetAffinityMask(0, &err_);  // empty set: nothing changes
  ASSERT_TRUE(platform::ThreadAffinityMask(worker, &now));
  EXPECT_EQ(now, lowest);
  if (~process != 0) {
    delegate_->SetAffinityMask(~process, &err_);
    ASSERT_TRUE(platform::ThreadAffinityMask(worker, &now));
    EXPECT_EQ(now, lowest);
  }
  delegate_->SetAffinityMask(process, &err_);
  ASSERT_TRUE(platform::ThreadAffinityMask(worker, &now));
  EXPECT_EQ(now, process);
}

// A pool of delegates shared by several threads, as converters share the
// library's pool: every request that is accepted runs exactly once.
TEST(DelegateStress, SharedPoolRunsEveryAcceptedJobOnce) {
  constexpr int kDelegates = 8;
  constexpr int kThreads = 4;
  constexpr int kRounds = 2000;
  std::vector<NuvDelegateWin*> pool;
  for (int i = 0; i < kDelegates; ++i) {
    std::int32_t err = 0;
    pool.push_back(NUVDLGW_Create(NUVALLOC_ProcessAllocator(), &err));
    ASSERT_NE(pool.back(), nullptr);
  }
  RunProbe probe;
  std::atomic<int> accepted{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      std::int32_t err = 0;
      for (int i = 0; i < kRounds; ++i) {
        NuvDelegateWin* delegate = pool[static_cast<std::size_t>((t + i) % kDelegates)];
        const std::int32_t id = delegate->Request(&CountRun, &probe, &err);
        if (id == -1) continue;
        accepted.fetch_add(1);
        if (i % 3 != 0) delegate->Wait(id, &err);
        else while (delegate->IsDone(id, &err) == 0) std::this_thread::yield();
        ASSERT_EQ(err, 0);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (NuvDelegateWin* delegate : pool) {
    std::int32_t err = 0;
    delegate->Destroy(&err);
  }
  EXPECT_GT(accepted.load(), 0);
  EXPECT_EQ(probe.runs.load(), accepted.load());
}

}  // namespace
