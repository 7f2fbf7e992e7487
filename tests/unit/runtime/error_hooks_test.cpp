#include <gtest/gtest.h>

#include "tests/unit/runtime/runtime_test_util.h"

namespace {

using rttest::Captured;
using rttest::CaptureLines;
using rttest::Lines;

TEST(ErrorCallback, HandsTextAndUserValueOverUntilANullCallbackSilencesIt) {
    CaptureLines capture;
    EXPECT_EQ(NUVERR_Report("E2006110805 : Can not create file."), 7);
    NUVERR_SetCallback(nullptr, 0);
    EXPECT_EQ(NUVERR_Report("lost"), 0);
    EXPECT_EQ(Captured(), Lines{"E2006110805 : Can not create file."});
}

TEST(BaseErrorHook, PassesTextAndArgumentsOrAnswersZeroWithoutCallback) {
    EXPECT_EQ(NUVBASE_ReportError(NUVBASE_LEVEL_ERROR, "nobody listens"), 0);
    CaptureLines capture;
    EXPECT_EQ(NUVBASE_ReportError(NUVBASE_LEVEL_ERROR, "E2006102401:Can not allocate memory."), 5);
    EXPECT_EQ(NUVBASE_ReportError(NUVBASE_LEVEL_WARNING, "W1"), 5);
    NUVBASE_ReportErrorEx(NUVBASE_LEVEL_ERROR, "E05063002H", 1, 2, 3);
    EXPECT_EQ(Captured(), (Lines{"E2006102401:Can not allocate memory.", "W1", "E05063002H 6"}));
}

TEST(BaseErrorHook, SuppressionSilencesWarningsOnlyAndAnswersOne) {
    CaptureLines capture;
    NUVBASE_SetWarningSuppression(1);
    EXPECT_EQ(NUVBASE_ReportError(NUVBASE_LEVEL_WARNING, "warning"), 1);
    NUVBASE_ReportErrorEx(NUVBASE_LEVEL_WARNING, "warning", 0, 0, 0);
    EXPECT_EQ(NUVBASE_ReportError(NUVBASE_LEVEL_ERROR, "error"), 5);
    EXPECT_EQ(Captured(), Lines{"error"});
}

}  // namespace
