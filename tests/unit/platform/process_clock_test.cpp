#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cerrno>

#include "platform/clock.h"
#include "platform/process.h"

TEST(ProcessPriority, SettingTheCurrentNiceValueSucceeds)
{
    errno = 0;
    int current = getpriority(PRIO_PROCESS, 0);
    ASSERT_EQ(errno, 0);
    EXPECT_TRUE(platform::SetProcessNice(current));
    EXPECT_EQ(getpriority(PRIO_PROCESS, 0), current);
}

TEST(TickCount, DoesNotGoBackwards)
{
    std::uint32_t first = platform::TickCountMs();
    std::uint32_t second = platform::TickCountMs();
    // Unsigned difference, so also right across a wrap of the counter: a
    // step backwards would show as a difference of 2^31 or more.
    EXPECT_LT(static_cast<std::uint32_t>(second - first), 0x80000000u);
}
