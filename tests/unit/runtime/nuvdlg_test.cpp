#include "runtime/nuvdlg.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "runtime/nuvdlg_record.h"
#include "tests/unit/runtime/runtime_test_util.h"

namespace {

using rttest::Captured;
using rttest::CaptureLines;
using rttest::Gate;
using rttest::GuardedArea;
using rttest::Lines;
using rttest::ProcessThreads;
using rttest::RunProbe;

int CountRun(void* probe) {
    static_cast<RunProbe*>(probe)->Record();
    return 0;
}
int PassGate(void* gate) {
    static_cast<Gate*>(gate)->Pass();
    return 0;
}

// The process-wide lock is in force, as while the file layer has a file open.
class WorkerService : public ::testing::Test {
  protected:
    void SetUp() override {
        NUVDLG_Init();
        service_ = NUVDLG_Create(area_, sizeof area_);
        ASSERT_NE(service_, nullptr);
    }
    void TearDown() override {
        if (service_ != nullptr) NUVDLG_Destroy(service_);
        NUVDLG_Finish();
    }
    alignas(4) unsigned char area_[NUVDLG_WORK_AREA_SIZE];
    NuvDlgHandle service_ = nullptr;
};

TEST_F(WorkerService, Needs80BytesAndFitsThemAtEveryAddress) {
    CaptureLines capture;
    EXPECT_EQ(NUVDLG_Create(nullptr, 80), nullptr);
    EXPECT_EQ(NUVDLG_Create(area_, 79), nullptr);
    for (std::size_t misalignment = 0; misalignment < 8; ++misalignment) {
        GuardedArea guarded(misalignment, 80);
        const NuvDlgHandle service = NUVDLG_Create(guarded.area(), 80);
        ASSERT_NE(service, nullptr);
        // 3 past a multiple of 4: the record begins one byte in.
        const auto start = reinterpret_cast<std::uintptr_t>(guarded.area());
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(service), (start + 3) & ~std::uintptr_t{3});
        RunProbe probe;
        NUVDLG_Wait(service, NUVDLG_Request(service, &CountRun, &probe));
        EXPECT_EQ(probe.runs.load(), 1);
        NUVDLG_Destroy(service);
        EXPECT_TRUE(guarded.GuardsIntact()) << misalignment;
    }
    EXPECT_EQ(Captured(), (Lines{"NULL pointer is passed.", "Work area size is too short."}));
}

// The thread starts with the first job: a service that gets none (the
// worker of a short file) costs no thread, and a destroyed one leaves none.
TEST_F(WorkerService, StartsItsThreadWithTheFirstJob) {
    const int before = ProcessThreads();
    if (before < 0) GTEST_SKIP() << "no thread list on this system";
    alignas(4) unsigned char idle_area[NUVDLG_WORK_AREA_SIZE];
    const NuvDlgHandle idle = NUVDLG_Create(idle_area, sizeof idle_area);
    ASSERT_NE(idle, nullptr);
    EXPECT_EQ(ProcessThreads(), before);
    Gate gate;
    const std::int32_t number = NUVDLG_Request(service_, &PassGate, &gate);
    ASSERT_GT(number, 0);
    gate.begun.Wait();  // running on the worker: Wait is not called yet
    EXPECT_EQ(ProcessThreads(), before + 1);
    gate.open.Set();
    NUVDLG_Wait(service_, number);
    NUVDLG_Destroy(idle);
    NUVDLG_Destroy(service_);
    service_ = nullptr;
    EXPECT_EQ(ProcessThreads(), before);
}

TEST_F(WorkerService, RequestNumbersStartAtOneAndWrapAfterTheLast) {
    RunProbe probe;
    for (std::int32_t expected : {1, 2}) {
        EXPECT_EQ(NUVDLG_Request(service_, &CountRun, &probe), expected);
        NUVDLG_Wait(service_, expected);
    }
    service_->request_number = 0x7FFFFFFD;
    EXPECT_EQ(NUVDLG_Request(service_, &CountRun, &probe), 0x7FFFFFFE);
    NUVDLG_Wait(service_, 0x7FFFFFFE);
    EXPECT_EQ(NUVDLG_Request(service_, &CountRun, &probe), 1);
    NUVDLG_Wait(service_, 1);
    EXPECT_EQ(probe.runs.load(), 4);
}

TEST_F(WorkerService, PendingJobRefusesRequestsAndOnlyItsOwnNumberIsWaitedFor) {
    CaptureLines capture;
    Gate gate;
    RunProbe probe;
    const std::int32_t number = NUVDLG_Request(service_, &PassGate, &gate);
    gate.begun.Wait();  // the worker holds the job
    EXPECT_EQ(NUVDLG_Request(service_, &CountRun, &probe), -1);
    NUVDLG_Wait(service_, number + 1);  // returns at once
    EXPECT_EQ(gate.runs.load(), 0);
    gate.open.Set();
    NUVDLG_Wait(service_, number);  // returns once the worker has finished it
    EXPECT_EQ(gate.runs.load(), 1);
    EXPECT_EQ(probe.runs.load(), 0);
    EXPECT_TRUE(Captured().empty());  // a refused request has no message
}

TEST_F(WorkerService, WaitRunsAJobTheWorkerHasNotTakenOnTheWaitingThread) {
    // Waiting at once usually beats the worker's wake-up; whoever runs the
    // job, it runs exactly once.
    bool ran_here = false;
    for (int attempt = 0; attempt < 2000 && !ran_here; ++attempt) {
        RunProbe probe;
        NUVDLG_Wait(service_, NUVDLG_Request(service_, &CountRun, &probe));
        ASSERT_EQ(probe.runs.load(), 1);
        ran_here = probe.last_thread.load() == platform::CurrentThreadId();
    }
    EXPECT_TRUE(ran_here);
}

TEST_F(WorkerService, DestroyRunsThePendingJobAndInvalidatesTheHandle) {
    CaptureLines capture;
    RunProbe probe;
    ASSERT_EQ(NUVDLG_Request(service_, &CountRun, &probe), 1);
    NUVDLG_Destroy(service_);
    EXPECT_EQ(probe.runs.load(), 1);
    EXPECT_EQ(NUVDLG_Request(service_, &CountRun, &probe), -1);
    NUVDLG_Wait(nullptr, 1);
    service_ = nullptr;
    EXPECT_EQ(Captured(), (Lines{"Invalid handle is passed.", "NULL pointer is passed."}));
}

TEST(WorkerServiceWithoutInit, ReportsTheMissingLockAndStillRunsJobs) {
    alignas(4) unsigned char area[NUVDLG_WORK_AREA_SIZE];
    NUVDLG_Init();
    NUVDLG_Init();
    NUVDLG_Finish();  // one use remains
    CaptureLines capture;
    NUVDLG_Destroy(NUVDLG_Create(area, sizeof area));
    EXPECT_TRUE(Captured().empty());
    NUVDLG_Finish();
    NUVDLG_Finish();  // one too many changes nothing
    const NuvDlgHandle service = NUVDLG_Create(area, sizeof area);
    RunProbe probe;
    NUVDLG_Wait(service, NUVDLG_Request(service, &CountRun, &probe));
    NUVDLG_Destroy(service);
    EXPECT_EQ(probe.runs.load(), 1);
    Lines expected;
    for (int call = 0; call < 4; ++call) {
        expected.push_back("NUVCRS_Enter : NULL pointer is passed.");
        expected.push_back("NUVCRS_Leave : NULL pointer is passed.");
    }
    EXPECT_EQ(Captured(), expected);
}

// Several threads, each with its own service, posting and waiting in a loop
// as the pipeline does, and services destroyed with their job pending.
TEST(WorkerServiceStress, ManyThreadsRequestWaitAndDestroyWhilePending) {
    NUVDLG_Init();
    constexpr int kThreads = 4, kRounds = 2000, kDoomed = 50;
    std::vector<RunProbe> probes(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &probes] {
            alignas(4) unsigned char area[NUVDLG_WORK_AREA_SIZE + 3];
            const NuvDlgHandle service = NUVDLG_Create(area + t, NUVDLG_WORK_AREA_SIZE);
            for (int i = 0; i < kRounds; ++i) {
                const std::int32_t number = NUVDLG_Request(service, &CountRun, &probes[t]);
                ASSERT_EQ(number, i + 1);
                NUVDLG_Wait(service, number);
                ASSERT_EQ(probes[t].runs.load(), i + 1);
            }
            NUVDLG_Destroy(service);
            for (int i = 0; i < kDoomed; ++i) {
                const NuvDlgHandle doomed = NUVDLG_Create(area, sizeof area);
                ASSERT_EQ(NUVDLG_Request(doomed, &CountRun, &probes[t]), 1);
                NUVDLG_Destroy(doomed);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (const RunProbe& probe : probes)
        EXPECT_EQ(probe.runs.load(), kRounds + kDoomed);
    NUVDLG_Finish();
}

}  // namespace
