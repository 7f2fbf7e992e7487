// Process-wide error callback of the file side.
//
// Every module below the front end reports a failure as one complete line of
// text through NUVERR_Report and then returns its failure status; no module
// prints anything itself. The front end registers its callback once at
// start-up, before anything can report.
#pragma once

#include <cstdint>

// Receives the registered user value unchanged and one line of text.
using NuvErrCallback = int (*)(std::int32_t user_value, const char* message);

// Stores the callback and the user value. A null callback installs one that
// does nothing (and answers 0), which is also the state at program start.
// Safe to call from any thread. A report that sees the new callback also sees
// the new user value; one that races with the change may still reach the old
// callback (with either value).
void NUVERR_SetCallback(NuvErrCallback callback, std::int32_t user_value);

// Calls the stored callback with the stored user value and the text and
// returns the callback's result.
int NUVERR_Report(const char* message);
