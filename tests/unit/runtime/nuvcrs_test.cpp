#include "runtime/nuvcrs.h"

#include <gtest/gtest.h>

#include "tests/unit/runtime/runtime_test_util.h"

namespace {

using rttest::Captured;
using rttest::CaptureLines;
using rttest::GuardedArea;
using rttest::Lines;

TEST(WorkAreaLock, Needs28BytesAndFitsThemAtEveryAddress) {
    CaptureLines capture;
    alignas(4) unsigned char area[28];
    EXPECT_EQ(NUVCRS_Create(nullptr, 28), nullptr);
    EXPECT_EQ(NUVCRS_Create(area, 27), nullptr);
    for (std::size_t misalignment = 0; misalignment < 8; ++misalignment) {
        GuardedArea guarded(misalignment, 28);
        const NuvCrsHandle lock = NUVCRS_Create(guarded.area(), 28);
        ASSERT_NE(lock, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(lock) % 4, 0u);
        EXPECT_EQ(NUVCRS_Enter(lock), 0);
        EXPECT_EQ(NUVCRS_Leave(lock), 0);
        NUVCRS_Destroy(lock);
        EXPECT_TRUE(guarded.GuardsIntact()) << misalignment;
    }
    EXPECT_EQ(Captured(), (Lines{"NUVCRS_Create : Illegal parameter is passed.",
                                 "NUVCRS_Create : Work area size is too short."}));
}

TEST(WorkAreaLock, ReportsNullHandlesAndUseOfADestroyedLock) {
    CaptureLines capture;
    EXPECT_EQ(NUVCRS_Enter(nullptr), -1);
    EXPECT_EQ(NUVCRS_Leave(nullptr), -1);
    NUVCRS_Destroy(nullptr);
    alignas(4) unsigned char area[28];
    const NuvCrsHandle lock = NUVCRS_Create(area, sizeof area);
    EXPECT_EQ(NUVCRS_Leave(lock), -1);  // not held
    NUVCRS_Destroy(lock);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(area[i], 0);  // cleared after deletion
    EXPECT_EQ(NUVCRS_Enter(lock), -1);
    NUVCRS_Destroy(lock);
    EXPECT_EQ(Captured(), (Lines{"NUVCRS_Enter : NULL pointer is passed.",
                                 "NUVCRS_Leave : NULL pointer is passed.",
                                 "NUVCRS_Destroy : NULL pointer is passed.",
                                 "NUVCRS_Leave : LeaveCriticalSection failed.",
                                 "NUVCRS_Enter : EnterCriticalSection failed.",
                                 "NUVCRS_Destroy : DeleteCriticalSection failed."}));
}

}  // namespace
