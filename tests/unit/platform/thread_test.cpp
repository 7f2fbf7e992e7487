#include "platform/thread.h"

#include <gtest/gtest.h>

#include <atomic>

#include "platform/sync.h"

namespace {

std::atomic<std::uint32_t> g_ran_on{0};

TEST(PlatformThread, RunsTheEntryOnItsOwnThreadAndJoinClearsTheHandle) {
    platform::ThreadHandle handle{};
    ASSERT_TRUE(platform::ThreadStart(
        &handle,
        [](void* out) {
            static_cast<std::atomic<std::uint32_t>*>(out)->store(platform::CurrentThreadId());
        },
        &g_ran_on));
    EXPECT_TRUE(platform::ThreadIsValid(handle));
    platform::ThreadJoin(&handle);
    EXPECT_FALSE(platform::ThreadIsValid(handle));
    EXPECT_NE(g_ran_on.load(), 0u);
    EXPECT_NE(g_ran_on.load(), platform::CurrentThreadId());
    platform::ThreadJoin(&handle);  // a cleared handle is ignored
}

}  // namespace
