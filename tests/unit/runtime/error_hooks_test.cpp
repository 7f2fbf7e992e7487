#include <gtest/gtest.h>

#include "tests/unit/runtime/capture.h"

namespace {

using rttest::HookCapture;
using rttest::Lines;
using rttest::ReportCapture;

TEST(ErrorCallback, ReportHandsTextAndUserValueToTheCallbackAndReturnsItsResult) {
  ReportCapture capture;
  EXPECT_EQ(NUVERR_Report("E2006110805 : Can not create file."), 7);
  EXPECT_EQ(capture.Lines(), Lines{"E2006110805 : Can not create file."});
}

TEST(ErrorCallback, NullCallbackMakesEveryLaterReportDoNothing) {
  {
    ReportCapture capture;
    NUVERR_SetCallback(nullptr, 0);
    EXPECT_EQ(NUVERR_Report("lost"), 0);
    EXPECT_TRUE(capture.Lines().empty());
  }
  EXPECT_EQ(NUVERR_Report("also lost"), 0);
}

TEST(BaseErrorHook, WithoutCallbackReportsNothingAndAnswersZero) {
  NUVBASE_SetCallback(nullptr);
  EXPECT_EQ(NUVBASE_ReportError(NUVBASE_LEVEL_ERROR, "E1"), 0);
  NUVBASE_ReportErrorEx(NUVBASE_LEVEL_WARNING, "W1", 1, 2, 3);
}

TEST(BaseErrorHook, PassesTextAndExtraArgumentsToTheCallback) {
  HookCapture capture;
  EXPECT_EQ(NUVBASE_ReportError(NUVBASE_LEVEL_ERROR, "E2006102401:Can not allocate memory."), 5);
  EXPECT_EQ(NUVBASE_ReportError(NUVBASE_LEVEL_WARNING, "W0000000001:careful"), 5);
  NUVBASE_ReportErrorEx(NUVBASE_LEVEL_ERROR, "E05063002H", 1, 2, 3);
  EXPECT_EQ(capture.Lines(), (Lines{"E2006102401:Can not allocate memory.",
                                    "W0000000001:careful", "E05063002H [1,2,3]"}));
}

TEST(BaseErrorHook, SuppressionSilencesWarningsOnlyAndAnswersOne) {
  HookCapture capture;
  NUVBASE_SetWarningSuppression(1);
  EXPECT_EQ(NUVBASE_ReportError(NUVBASE_LEVEL_WARNING, "warning"), 1);
  NUVBASE_ReportErrorEx(NUVBASE_LEVEL_WARNING, "warning ex", 0, 0, 0);
  EXPECT_EQ(NUVBASE_ReportError(NUVBASE_LEVEL_ERROR, "error"), 5);
  EXPECT_EQ(capture.Lines(), Lines{"error"});
}

}  // namespace
