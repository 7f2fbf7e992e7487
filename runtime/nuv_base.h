// Base error hook of the converter library and its runtime.
//
// Messages of the converter, the delegate threads, the critical-section
// objects and the allocator go here. Nothing is reported unless a callback
// has been installed; callers learn of failures through their error codes.
#pragma once

#include <cstdint>

constexpr std::int32_t NUVBASE_LEVEL_ERROR = 0;
constexpr std::int32_t NUVBASE_LEVEL_WARNING = 1;

using NuvBaseCallback = std::int32_t (*)(const char* text, std::int32_t a, std::int32_t b,
                                         std::int32_t c);

// Installs the callback (null removes it). Process-wide; starts empty.
void NUVBASE_SetCallback(NuvBaseCallback callback);

// Turns the suppression of warnings (level 1) on (non-zero) or off. Starts off.
void NUVBASE_SetWarningSuppression(std::int32_t on);

// A suppressed warning answers 1 and reports nothing. Otherwise the callback,
// if any, gets (text, 0, 0, 0) and its result is answered; without a callback
// the answer is 0.
std::int32_t NUVBASE_ReportError(std::int32_t level, const char* text);

// As NUVBASE_ReportError, passing a, b and c to the callback.
void NUVBASE_ReportErrorEx(std::int32_t level, const char* text, std::int32_t a, std::int32_t b,
                           std::int32_t c);
