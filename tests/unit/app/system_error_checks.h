// What both backends' output-check tests ask of MapSystemError, over each
// backend's own error numbers.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "app/prepare.h"
#include "app/status.h"
#include "console_capture.h"

struct SystemErrorCase {
    int error;
    int code;
};

// Each error number has its code, and nothing is printed.
inline void ExpectSystemErrorCodes(std::initializer_list<SystemErrorCase> cases) {
    ConsoleCapture console;
    for (const SystemErrorCase& c : cases)
        EXPECT_EQ(tolmek::MapSystemError(c.error), c.code) << c.error;
    EXPECT_EQ(console.err, "");
    EXPECT_EQ(console.out, "");
}

// Any other is unknown, and its number is named on standard error.
inline void ExpectUnknownSystemError(int error) {
    ConsoleCapture console;
    EXPECT_EQ(tolmek::MapSystemError(error), tolmek::kErrUnknownSystem);
    EXPECT_EQ(console.err, "System error code: " + std::to_string(error) + "\n");
    EXPECT_EQ(console.out, "");
}
