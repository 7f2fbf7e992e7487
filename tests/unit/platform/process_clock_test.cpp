#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/process.h"

TEST(TickCount, DoesNotGoBackwards) {
    std::uint32_t first = platform::TickCountMs();
    std::uint32_t second = platform::TickCountMs();
    // Unsigned difference, so also right across a wrap of the counter: a
    // step backwards would show as a difference of 2^31 or more.
    EXPECT_LT(static_cast<std::uint32_t>(second - first), 0x80000000u);
}
