// Runs a program as a child process with a controlled argument list,
// environment and working folder, and captures what it writes.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

struct ChildOptions {
    std::string program;            // path of the executable
    std::vector<std::string> args;  // arguments after the program name
    std::vector<std::string> env;   // the complete environment, "NAME=value"
    std::string cwd;                // working folder; empty keeps the current one
    std::string stdin_data;         // written to the child's standard input

    // Optional signal to the child: sent once, either after `signal_after_ms`
    // milliseconds (when >= 0) or as soon as standard output contains
    // `signal_when_stdout_has` (when not empty), whichever comes first.
    int signal = 0;
    int signal_after_ms = -1;
    std::string signal_when_stdout_has;

    int timeout_ms = 60000;  // the child is killed after this long
};

struct ChildResult {
    std::string out;      // standard output, byte for byte
    std::string err;      // standard error, byte for byte
    int exit_code = -1;   // -1 when the child did not exit normally
    int term_signal = 0;  // the signal that ended it, if any
    bool signal_sent = false;
    bool timed_out = false;
};

ChildResult RunChild(const ChildOptions& options);

// Convenience for the tolmek binary built with the tests: English texts
// (LANG=C) unless `env` says otherwise.
ChildResult RunTolmek(const std::vector<std::string>& args, const std::string& cwd,
                      const std::vector<std::string>& env = {"LANG=C"});

}  // namespace testsupport
