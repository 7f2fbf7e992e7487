// The child-process runner that the command-line tests rely on.
#include <gtest/gtest.h>

#include <signal.h>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace {

testsupport::ChildOptions Shell(const std::string& script) {
    testsupport::ChildOptions options;
    options.program = "/bin/sh";
    options.args = {"-c", script};
    return options;
}

}  // namespace

TEST(ChildProcessRunner, CapturesBothStreamsExitCodeAndEnvironment) {
    testsupport::ChildOptions options =
        Shell("printf 'a\\r\\n%s' \"$FOO\"; printf 'e' >&2; exit 3");
    options.env = {"FOO=bar"};
    testsupport::ChildResult r = testsupport::RunChild(options);
    EXPECT_EQ(r.out, "a\r\nbar");
    EXPECT_EQ(r.err, "e");
    EXPECT_EQ(r.exit_code, 3);
    EXPECT_FALSE(r.signal_sent);
}

TEST(ChildProcessRunner, RunsInTheGivenFolderWithOnlyTheGivenEnvironment) {
    testsupport::TempDir dir;
    testsupport::ChildOptions options = Shell("pwd; printf '%s' \"${HOME-unset}\"");
    options.cwd = dir.path();
    testsupport::ChildResult r = testsupport::RunChild(options);
    EXPECT_EQ(r.out, dir.path() + "\nunset");
}

TEST(ChildProcessRunner, SignalsWhenStandardOutputShowsAText) {
    testsupport::ChildOptions options = Shell("echo ready; exec sleep 30");
    options.signal = SIGINT;
    options.signal_when_stdout_has = "ready";
    testsupport::ChildResult r = testsupport::RunChild(options);
    EXPECT_TRUE(r.signal_sent);
    EXPECT_EQ(r.term_signal, SIGINT);
    EXPECT_EQ(r.exit_code, -1);
    EXPECT_FALSE(r.timed_out);
}

TEST(ChildProcessRunner, SignalsAfterADelayAndKillsOnTimeout) {
    testsupport::ChildOptions options = Shell("exec sleep 30");
    options.signal = SIGTERM;
    options.signal_after_ms = 50;
    EXPECT_EQ(testsupport::RunChild(options).term_signal, SIGTERM);

    testsupport::ChildOptions hung = Shell("exec sleep 30");
    hung.timeout_ms = 100;
    testsupport::ChildResult r = testsupport::RunChild(hung);
    EXPECT_TRUE(r.timed_out);
    EXPECT_EQ(r.term_signal, SIGKILL);
}
