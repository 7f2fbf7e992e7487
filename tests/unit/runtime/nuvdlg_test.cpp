#include "runtime/nuvdlg.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "runtime/nuvdlg_record.h"
#include "tests/unit/runtime/capture.h"
#include "tests/unit/runtime/guarded_area.h"
#include "tests/unit/runtime/job_probe.h"

namespace {

using rttest::Gate;
using rttest::GuardedArea;
using rttest::Lines;
using rttest::ReportCapture;
using rttest::RunProbe;

int CountRun(void* argument) {
  static_cast<RunProbe*>(argument)->Record();
  return 0;
}

int PassGate(void* argument) {
  static_cast<Gate*>(argument)->Pass();
  return 0;
}

// Every test runs with the process-wide lock in force, as the file layer and
// the pipeline do.
class WorkerService : public ::testing::Test {
 protected:
  void SetUp() override { NUVDLG_Init(); }
  void TearDown() override { NUVDLG_Finish(); }
  alignas(4) unsigned char area_[NUVDLG_WORK_AREA_SIZE] = {};
};

TEST_F(WorkerService, CreateRefusesNullAndShortAreas) {
  ReportCapture capture;
  EXPECT_EQ(NUVDLG_Create(nullptr, 80), nullptr);
  EXPECT_EQ(NUVDLG_Create(area_, 79), nullptr);
  EXPECT_EQ(capture.Lines(), (Lines{"NULL pointer is passed.", "Work area size is too short."}));
}

TEST_F(WorkerService, Fits80BytesAtEveryAddress) {
  ReportCapture capture;
  for (std::size_t misalignment = 0; misalignment < 8; ++misalignment) {
    GuardedArea guarded(misalignment, 80);
    const NuvDlgHandle service = NUVDLG_Create(guarded.area(), 80);
    ASSERT_NE(service, nullptr) << misalignment;
    const auto start = reinterpret_cast<std::uintptr_t>(guarded.area());
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(service), (start + 3) & ~std::uintptr_t{3});
    RunProbe probe;
    NUVDLG_Wait(service, NUVDLG_Request(service, &CountRun, &probe));
    EXPECT_EQ(probe.runs.load(), 1);
    NUVDLG_Destroy(service);
    EXPECT_TRUE(guarded.GuardsIntact()) << misalignment;
  }
  EXPECT_TRUE(capture.Lines().empty());
}

TEST_F(WorkerService, RecordStartsOneByteInWhenAreaIsThreePastAMultipleOfFour) {
  GuardedArea guarded(3, 80);
  const NuvDlgHandle service = NUVDLG_Create(guarded.area(), 80);
  ASSERT_NE(service, nullptr);
  EXPECT_EQ(reinterpret_cast<unsigned char*>(service),
            static_cast<unsigned char*>(guarded.area()) + 1);
  NUVDLG_Destroy(service);
  EXPECT_TRUE(guarded.GuardsIntact());
}

TEST_F(WorkerService, RequestNumbersStartAtOneAndCountUp) {
  const NuvDlgHandle service = NUVDLG_Create(area_, sizeof area_);
  RunProbe probe;
  for (std::int32_t expected = 1; expected <= 3; ++expected) {
    const std::int32_t number = NUVDLG_Request(service, &CountRun, &probe);
    EXPECT_EQ(number, expected);
    NUVDLG_Wait(service, number);
  }
  EXPECT_EQ(probe.runs.load(), 3);
  NUVDLG_Destroy(service);
}

TEST_F(WorkerService, RequestNumbersWrapToOneAfterTheLastNumber) {
  EXPECT_EQ(NuvNextRequestNumber(0), 1);
  EXPECT_EQ(NuvNextRequestNumber(0x7FFFFFFD), 0x7FFFFFFE);
  EXPECT_EQ(NuvNextRequestNumber(0x7FFFFFFE), 1);

  const NuvDlgHandle service = NUVDLG_Create(area_, sizeof area_);
  service->request_number = 0x7FFFFFFD;
  RunProbe probe;
  std::int32_t number = NUVDLG_Request(service, &CountRun, &probe);
  EXPECT_EQ(number, 0x7FFFFFFE);
  NUVDLG_Wait(service, number);
  number = NUVDLG_Request(service, &CountRun, &probe);
  EXPECT_EQ(number, 1);
  NUVDLG_Wait(service, number);
  EXPECT_EQ(probe.runs.load(), 2);
  NUVDLG_Destroy(service);
}

TEST_F(WorkerService, RequestWhileAJobIsPendingIsRefusedWithoutMessage) {
  ReportCapture capture;
  const NuvDlgHandle service = NUVDLG_Create(area_, sizeof area_);
  Gate gate;
  RunProbe probe;
  const std::int32_t first = NUVDLG_Request(service, &PassGate, &gate);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(NUVDLG_Request(service, &CountRun, &probe), -1);
  gate.Open();
  NUVDLG_Wait(service, first);
  EXPECT_EQ(gate.runs.load(), 1);
  EXPECT_EQ(probe.runs.load(), 0);
  EXPECT_EQ(NUVDLG_Request(service, &CountRun, &probe), 2);
  NUVDLG_Destroy(service);
  EXPECT_EQ(probe.runs.load(), 1);
  EXPECT_TRUE(capture.Lines().empty());
}

TEST_F(WorkerService, WaitForAnotherNumberReturnsAtOnce) {
  const NuvDlgHandle service = NUVDLG_Create(area_, sizeof area_);
  Gate gate;
  const std::int32_t number = NUVDLG_Request(service, &PassGate, &gate);
  gate.begun.Wait();  // the worker holds the job
  NUVDLG_Wait(service, number + 1);
  NUVDLG_Wait(service, 0);
  EXPECT_FALSE(gate.finished.load());
  gate.Open();
  NUVDLG_Wait(service, number);
  EXPECT_TRUE(gate.finished.load());
  NUVDLG_Wait(service, number);  // nothing pending: returns at once
  NUVDLG_Destroy(service);
  EXPECT_EQ(gate.runs.load(), 1);
}

TEST_F(WorkerService, WaitOnAJobTheWorkerRunsBlocksUntilItsEnd) {
  const NuvDlgHandle service = NUVDLG_Create(area_, sizeof area_);
  Gate gate;
  const std::int32_t number = NUVDLG_Request(service, &PassGate, &gate);
  gate.begun.Wait();
  std::atomic<bool> finished_when_wait_returned{false};
  std::thread waiter([&] {
    NUVDLG_Wait(service, number);
    finished_when_wait_returned.store(gate.finished.load());
  });
  gate.Open();
  waiter.join();
  EXPECT_TRUE(finished_when_wait_returned.load());
  EXPECT_EQ(gate.runs.load(), 1);
  NUVDLG_Destroy(service);
}

TEST_F(WorkerService, WaitRunsAJobTheWorkerHasNotTakenOnTheWaitingThread) {
  const NuvDlgHandle service = NUVDLG_Create(area_, sizeof area_);
  const std::uint32_t self = platform::CurrentThreadId();
  // Waiting at once usually beats the worker's wake-up; whoever runs the
  // job, it runs exactly once.
  bool ran_here = false;
  for (int attempt = 0; attempt < 2000 && !ran_here; ++attempt) {
    RunProbe probe;
    NUVDLG_Wait(service, NUVDLG_Request(service, &CountRun, &probe));
    ASSERT_EQ(probe.runs.load(), 1);
    ran_here = probe.last_thread.load() == self;
  }
  EXPECT_TRUE(ran_here);
  NUVDLG_Destroy(service);
}

TEST_F(WorkerService, DestroyRunsAPendingJobFirst) {
  for (int round = 0; round < 50; ++round) {
    const NuvDlgHandle service = NUVDLG_Create(area_, sizeof area_);
    RunProbe probe;
    ASSERT_EQ(NUVDLG_Request(service, &CountRun, &probe), 1);
    NUVDLG_Destroy(service);
    ASSERT_EQ(probe.runs.load(), 1);
  }
}

TEST_F(WorkerService, DestroyClearsTheRecordSoLaterCallsSeeAnInvalidHandle) {
  ReportCapture capture;
  const NuvDlgHandle service = NUVDLG_Create(area_, sizeof area_);
  NUVDLG_Destroy(service);
  EXPECT_EQ(service->valid, 0u);
  RunProbe probe;
  EXPECT_EQ(NUVDLG_Request(service, &CountRun, &probe), -1);
  NUVDLG_Wait(service, 1);
  NUVDLG_Destroy(service);
  EXPECT_EQ(capture.Lines(), (Lines{"Invalid handle is passed.", "Invalid handle is passed.",
                                    "Invalid handle is passed."}));
  EXPECT_EQ(probe.runs.load(), 0);
}

TEST_F(WorkerService, NullHandleIsReportedByEveryCall) {
  ReportCapture capture;
  RunProbe probe;
  EXPECT_EQ(NUVDLG_Request(nullptr, &CountRun, &probe), -1);
  NUVDLG_Wait(nullptr, 1);
  NUVDLG_Destroy(nullptr);
  EXPECT_EQ(capture.Lines(), (Lines{"NULL pointer is passed.", "NULL pointer is passed.",
                                    "NULL pointer is passed."}));
}

TEST(WorkerServiceWithoutInit, ReportsTheMissingLockAndStillRunsJobs) {
  ReportCapture capture;
  alignas(4) unsigned char area[NUVDLG_WORK_AREA_SIZE];
  const NuvDlgHandle service = NUVDLG_Create(area, sizeof area);
  ASSERT_NE(service, nullptr);
  RunProbe probe;
  NUVDLG_Wait(service, NUVDLG_Request(service, &CountRun, &probe));
  NUVDLG_Destroy(service);
  EXPECT_EQ(probe.runs.load(), 1);
  Lines expected;
  for (int call = 0; call < 4; ++call) {
    expected.push_back("NUVCRS_Enter : NULL pointer is passed.");
    expected.push_back("NUVCRS_Leave : NULL pointer is passed.");
  }
  EXPECT_EQ(capture.Lines(), expected);
}

TEST(WorkerServiceWithoutInit, GlobalLockLivesUntilTheLastFinish) {
  ReportCapture capture;
  alignas(4) unsigned char area[NUVDLG_WORK_AREA_SIZE];
  NUVDLG_Init();
  NUVDLG_Init();
  NUVDLG_Finish();
  NUVDLG_Destroy(NUVDLG_Create(area, sizeof area));
  EXPECT_TRUE(capture.Lines().empty());
  NUVDLG_Finish();
  NUVDLG_Destroy(NUVDLG_Create(area, sizeof area));
  EXPECT_EQ(capture.Lines().size(), 4u);
  NUVDLG_Finish();  // one Finish too many changes nothing
}

// Several threads, each with its own service, posting and waiting in a loop
// (the pipeline's pattern), and services destroyed with their job pending.
TEST_F(WorkerService, StressManyThreadsRequestAndWait) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 2000;
  std::vector<std::thread> threads;
  std::vector<RunProbe> probes(kThreads);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &probes] {
      alignas(4) unsigned char area[NUVDLG_WORK_AREA_SIZE + 3];
      const NuvDlgHandle service = NUVDLG_Create(area + t % 4, NUVDLG_WORK_AREA_SIZE);
      ASSERT_NE(service, nullptr);
      for (int i = 0; i < kRounds; ++i) {
        const std::int32_t number = NUVDLG_Request(service, &CountRun, &probes[t]);
        ASSERT_EQ(number, i + 1);
        NUVDLG_Wait(service, number);
        ASSERT_EQ(probes[t].runs.load(), i + 1);
      }
      for (int i = 0; i < 50; ++i) {
        alignas(4) unsigned char short_lived[NUVDLG_WORK_AREA_SIZE];
        const NuvDlgHandle doomed = NUVDLG_Create(short_lived, sizeof short_lived);
        ASSERT_EQ(NUVDLG_Request(doomed, &CountRun, &probes[t]), 1);
        NUVDLG_Destroy(doomed);
      }
      NUVDLG_Destroy(service);
    });
  }
  for (auto& thread : threads) thread.join();
  for (const RunProbe& probe : probes) EXPECT_EQ(probe.runs.load(), kRounds + 50);
}

}  // namespace
