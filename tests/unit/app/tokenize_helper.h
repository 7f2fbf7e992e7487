#pragma once
// The tokenizer tests' helper: one argument tokenized, its result checked.
#include <gtest/gtest.h>

#include <string_view>

#include "app/cmdline.h"
#include "app/status.h"

namespace tolmek {

inline ArgumentToken Tokenize(std::string_view text, int expected_result = 0) {
    ArgumentToken token;
    EXPECT_EQ(TokenizeArgument(text, &token), expected_result) << text;
    return token;
}

}  // namespace tolmek
