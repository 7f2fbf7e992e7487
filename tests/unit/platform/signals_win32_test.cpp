#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>

#include "platform/signals.h"

// Ctrl+C reaches the handler, which only raises the flag: the process goes on.
TEST(InterruptHandlerWindows, CtrlCRaisesTheFlag) {
    static std::atomic<int> flag{0};
    ASSERT_TRUE(platform::InstallInterruptHandler(&flag));
    if (!GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
        GTEST_SKIP() << "no console to send Ctrl+C through (error " << GetLastError() << ")";
    }
    for (int i = 0; i < 200 && flag.load() == 0; ++i)
        Sleep(10);
    EXPECT_EQ(flag.load(), 1);
}
