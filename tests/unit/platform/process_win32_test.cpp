#include <gtest/gtest.h>

#include <windows.h>

#include "platform/process.h"

// Each keyword is a priority class of the whole process.
TEST(ProcessPriority, KeywordsAreClasses) {
    EXPECT_TRUE(platform::SetProcessPriority(platform::ProcessPriority::kBelowNormal));
    EXPECT_EQ(GetPriorityClass(GetCurrentProcess()),
              static_cast<DWORD>(BELOW_NORMAL_PRIORITY_CLASS));
    EXPECT_TRUE(platform::SetProcessPriority(platform::ProcessPriority::kLow));
    EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), static_cast<DWORD>(IDLE_PRIORITY_CLASS));
    EXPECT_TRUE(platform::SetProcessPriority(platform::ProcessPriority::kNormal));
    EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), static_cast<DWORD>(NORMAL_PRIORITY_CLASS));
}
