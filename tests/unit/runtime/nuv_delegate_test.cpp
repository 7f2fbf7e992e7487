#include "runtime/nuv_delegate.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/thread.h"
#include "tests/unit/runtime/runtime_test_util.h"

struct NuvDelegateWinTestPeer {
    static void SetJobId(NuvDelegateWin* delegate, std::int32_t id) { delegate->job_id_ = id; }
};

namespace {

using rttest::Captured;
using rttest::CaptureLines;
using rttest::Gate;
using rttest::Lines;
using rttest::ProcessThreads;
using rttest::RecordingAllocator;
using rttest::RunProbe;

void CountRun(void* probe) { static_cast<RunProbe*>(probe)->Record(); }
void PassGate(void* gate) { static_cast<Gate*>(gate)->Pass(); }

class Delegate : public ::testing::Test {
  protected:
    void SetUp() override {
        delegate_ = NUVDLGW_Create(NUVALLOC_ProcessAllocator(), &err_);
        ASSERT_NE(delegate_, nullptr);
    }
    void TearDown() override { delegate_->Destroy(&err_); }
    NuvDelegateWin* delegate_ = nullptr;
    std::int32_t err_ = 0;
};

TEST(DelegateCreate, MakesItselfAndTwoLocksThroughOneHandleAndFreesThemThere) {
    RecordingAllocator allocator;
    std::int32_t err = 1;
    NuvDelegateWin* delegate = NUVDLGW_Create(&allocator.handle, &err);
    ASSERT_NE(delegate, nullptr);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(allocator.names, (Lines{"NuvDelegateWin", "NuvCsWin", "NuvCsWin"}));
    EXPECT_EQ(allocator.alignments, (std::vector<std::int32_t>{4, 4, 4}));
    delegate->Destroy(&err);
    EXPECT_EQ(allocator.frees, 3);
}

TEST(DelegateCreate, ReportsTheFailedStepAndReleasesWhatItMade) {
    const Lines expected[] = {
        {"E2006082001:Can not allocate memory."},
        {"E2006081801:Can not allocate memory.", "E2006082002:Can not create critical section."},
        {"E2006081801:Can not allocate memory.", "E2006082003:Can not create critical section."}};
    for (int failing = 1; failing <= 3; ++failing) {
        CaptureLines capture;
        RecordingAllocator allocator;
        allocator.fail_at = failing;
        std::int32_t err = 0;
        EXPECT_EQ(NUVDLGW_Create(&allocator.handle, &err), nullptr);
        EXPECT_EQ(err, failing == 1 ? -3 : -1);
        EXPECT_EQ(Captured(), expected[failing - 1]);
        EXPECT_EQ(allocator.frees, failing - 1);
    }
}

TEST_F(Delegate, IdsStartAtOneAndWrapAfterTheLast) {
    RunProbe probe;
    EXPECT_EQ(delegate_->Request(&CountRun, &probe, &err_), 1);
    delegate_->Wait(1, &err_);
    NuvDelegateWinTestPeer::SetJobId(delegate_, 0x7FFFFFFD);
    EXPECT_EQ(delegate_->Request(&CountRun, &probe, &err_), 0x7FFFFFFE);
    delegate_->Wait(0x7FFFFFFE, &err_);
    EXPECT_EQ(delegate_->Request(nullptr, nullptr, &err_), 1);  // no function: nothing runs
    delegate_->Wait(1, &err_);
    EXPECT_EQ(probe.runs.load(), 2);
    EXPECT_EQ(err_, 0);
}

TEST_F(Delegate, BusyDelegateRefusesAndOnlyTheLatestIdIsWaitedFor) {
    Gate gate;
    RunProbe probe;
    const std::int32_t id = delegate_->Request(&PassGate, &gate, &err_);
    gate.begun.Wait();  // the worker holds the job
    EXPECT_EQ(delegate_->IsBusy(&err_), 1);
    EXPECT_EQ(delegate_->IsDone(id, &err_), 0);
    EXPECT_EQ(delegate_->IsDone(id + 1, &err_), 1);
    EXPECT_EQ(delegate_->Request(&CountRun, &probe, &err_), -1);
    delegate_->Wait(id + 1, &err_);  // returns at once
    EXPECT_EQ(gate.runs.load(), 0);
    gate.open.Set();
    delegate_->Wait(id, &err_);
    EXPECT_EQ(gate.runs.load(), 1);
    EXPECT_EQ(delegate_->IsBusy(&err_), 0);
    EXPECT_EQ(delegate_->IsDone(id, &err_), 1);
    EXPECT_EQ(probe.runs.load(), 0);
    EXPECT_EQ(err_, 0);
}

// The thread starts with the first job, so an idle delegate costs none, and
// a job runs on it; destroying it, started or not, leaves no thread behind.
TEST(DelegateCreate, StartsItsThreadWithTheFirstJob) {
    const int before = ProcessThreads();
    if (before < 0) GTEST_SKIP() << "no thread list on this system";
    std::int32_t err = 0;
    NuvDelegateWin* idle = NUVDLGW_Create(NUVALLOC_ProcessAllocator(), &err);
    NuvDelegateWin* used = NUVDLGW_Create(NUVALLOC_ProcessAllocator(), &err);
    ASSERT_NE(idle, nullptr);
    ASSERT_NE(used, nullptr);
    EXPECT_EQ(ProcessThreads(), before);
    Gate gate;
    const std::int32_t id = used->Request(&PassGate, &gate, &err);
    ASSERT_GT(id, 0);
    gate.begun.Wait();  // running on the worker: Wait is not called yet
    EXPECT_EQ(ProcessThreads(), before + 1);
    gate.open.Set();
    used->Wait(id, &err);
    idle->Destroy(&err);
    used->Destroy(&err);
    EXPECT_EQ(ProcessThreads(), before);
}

TEST_F(Delegate, WaitRightAfterRequestRunsTheJobOnTheCallerExactlyOnce) {
    bool ran_here = false;
    for (int attempt = 0; attempt < 2000 && !ran_here; ++attempt) {
        RunProbe probe;
        delegate_->Wait(delegate_->Request(&CountRun, &probe, &err_), &err_);
        ASSERT_EQ(probe.runs.load(), 1);
        ran_here = probe.last_thread.load() == platform::CurrentThreadId();
    }
    EXPECT_TRUE(ran_here);
}

TEST(DelegateDestroy, RunsAPendingJobBeforeTheThreadEnds) {
    RunProbe probe;
    for (int round = 0; round < 50; ++round) {
        std::int32_t err = 0;
        NuvDelegateWin* delegate = NUVDLGW_Create(NUVALLOC_ProcessAllocator(), &err);
        ASSERT_EQ(delegate->Request(&CountRun, &probe, &err), 1);
        delegate->Destroy(&err);
        ASSERT_EQ(probe.runs.load(), round + 1);
    }
}

TEST_F(Delegate, LockNestsForItsHolderAndAFailedUnlockIsReportedOnce) {
    CaptureLines capture;
    delegate_->Lock(&err_);
    RunProbe probe;
    delegate_->Wait(delegate_->Request(&CountRun, &probe, &err_), &err_);
    delegate_->Unlock(&err_);
    EXPECT_EQ(err_, 0);
    delegate_->Unlock(&err_);
    EXPECT_EQ(err_, -1);
    EXPECT_EQ(delegate_->IsBusy(&err_), 0);
    EXPECT_EQ(err_, 0);
    EXPECT_EQ(Captured(), (Lines{"E2006081805:LeaveCriticalSection function has failed.",
                                 "E2006082012:CriticalSection object has broken."}));
}

TEST_F(Delegate, PriorityIsStoredAndAppliedAsNiceOffsetOnlyWhenItChanges) {
    EXPECT_EQ(delegate_->GetPriority(&err_), 0);
    const std::uint32_t worker = delegate_->WorkerThreadId();
    int base = 0, nice = 0;
    ASSERT_TRUE(platform::ThreadNice(worker, &base));
    delegate_->SetPriority(platform::kThreadPriorityLowest, &err_);
    EXPECT_EQ(delegate_->GetPriority(&err_), platform::kThreadPriorityLowest);
    ASSERT_TRUE(platform::ThreadNice(worker, &nice));
    EXPECT_EQ(nice, std::min(19, base + 10));
    // The same level again calls nothing: a change made behind its back stays.
    platform::ApplyThreadPriority(worker, platform::kThreadPriorityIdle);
    delegate_->SetPriority(platform::kThreadPriorityLowest, &err_);
    ASSERT_TRUE(platform::ThreadNice(worker, &nice));
    EXPECT_EQ(nice, std::min(19, base + 19));
}

TEST_F(Delegate, AffinityIsIntersectedWithTheProcessSetAndEmptySetsChangeNothing) {
    std::uint32_t process = 0, now = 0;
    ASSERT_TRUE(platform::ProcessAffinityMask(&process));
    const std::uint32_t worker = delegate_->WorkerThreadId();
    const std::uint32_t lowest = process & (~process + 1);
    delegate_->SetAffinityMask(lowest | ~process, &err_);
    ASSERT_TRUE(platform::ThreadAffinityMask(worker, &now));
    EXPECT_EQ(now, lowest);
    delegate_->SetAffinityMask(0, &err_);
    if (~process != 0) delegate_->SetAffinityMask(~process, &err_);
    ASSERT_TRUE(platform::ThreadAffinityMask(worker, &now));
    EXPECT_EQ(now, lowest);
    EXPECT_EQ(err_, 0);
}

// A pool shared by several threads, as converters share the library's pool:
// every accepted request runs exactly once.
TEST(DelegateStress, SharedPoolRunsEveryAcceptedJobOnce) {
    constexpr int kDelegates = 8, kThreads = 4, kRounds = 2000;
    std::vector<NuvDelegateWin*> pool;
    std::int32_t err = 0;
    for (int i = 0; i < kDelegates; ++i)
        pool.push_back(NUVDLGW_Create(NUVALLOC_ProcessAllocator(), &err));
    RunProbe probe;
    std::atomic<int> accepted{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            std::int32_t code = 0;
            for (int i = 0; i < kRounds; ++i) {
                NuvDelegateWin* delegate = pool[static_cast<std::size_t>((t + i) % kDelegates)];
                const std::int32_t id = delegate->Request(&CountRun, &probe, &code);
                if (id == -1) continue;
                accepted.fetch_add(1);
                if (i % 3 == 0) {
                    while (delegate->IsDone(id, &code) == 0)
                        std::this_thread::yield();
                } else {
                    delegate->Wait(id, &code);
                }
                ASSERT_EQ(code, 0);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (NuvDelegateWin* delegate : pool)
        delegate->Destroy(&err);
    EXPECT_EQ(probe.runs.load(), accepted.load());
}

}  // namespace
