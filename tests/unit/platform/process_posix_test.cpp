#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cerrno>

#include "platform/process.h"

// Lowering the priority needs no privilege; each keyword is a nice value.
TEST(ProcessPriority, LowIsTheLowestNiceValue) {
    EXPECT_TRUE(platform::SetProcessPriority(platform::ProcessPriority::kLow));
    errno = 0;
    EXPECT_EQ(getpriority(PRIO_PROCESS, 0), 19);
    EXPECT_EQ(errno, 0);
}
