// Interruption by SIGINT, SIGTERM and SIGHUP: the interruption banner,
// exit code 1, and no output file afterwards; a file the output would have
// replaced stays as it was.
#include <signal.h>

#include <filesystem>

#include "convert_fixture.h"

namespace {

// Blocks the given signal in the calling thread while it lives; a child
// started meanwhile inherits the block, so a signal sent to it early stays
// pending until the child unblocks it.
class SignalBlock {
  public:
    explicit SignalBlock(int signal_number) {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, signal_number);
        pthread_sigmask(SIG_BLOCK, &set, &previous_);
    }
    ~SignalBlock() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

  private:
    sigset_t previous_;
};

const char kInterrupted[] = "\n\n||||||||||  Interrupted  ||||||||||\n";

}  // namespace

class ConvertInterruption : public ConvertTest, public ::testing::WithParamInterface<int> {
  protected:
    void SetUp() override {
        // Twenty seconds of stereo at quality 10 take far longer to convert
        // than a signal takes to arrive.
        Write("in.wav", conv::MakeWav(44100, 2, 44100 * 20, [](std::size_t k, int c) {
                  return static_cast<std::int32_t>((k * (3 + c)) % 4000) - 2000;
              }));
    }

    testsupport::ChildResult RunWithSignal(const std::vector<std::string>& args, int signal_number,
                                           const std::string& when) {
        testsupport::ChildOptions options;
        options.program = TOLMEK_BIN;
        options.args = args;
        options.env = {"LANG=C"};
        options.cwd = dir.path();
        options.signal = signal_number;
        options.signal_when_stdout_has = when;
        return testsupport::RunChild(options);
    }
};

TEST_P(ConvertInterruption, DuringTheConversionRemovesTheOutput) {
    testsupport::ChildResult r =
        RunWithSignal({"in.wav", "-out=out.wav", "-freq=48000"}, GetParam(), "<< Progress >>\n");
    ASSERT_TRUE(r.signal_sent);
    EXPECT_EQ(r.term_signal, 0);
    EXPECT_EQ(r.exit_code, 1) << r.out;
    EXPECT_NE(r.out.find("<< Parameters >>"), std::string::npos);
    EXPECT_EQ(r.out.substr(r.out.size() - std::string(kInterrupted).size()), kInterrupted) << r.out;
    EXPECT_EQ(r.out.find("Completed"), std::string::npos);
    EXPECT_FALSE(dir.Exists("out.wav"));
}

TEST_P(ConvertInterruption, DuringTheNormalizationPassCreatesNoOutput) {
    // The signal is sent when the file names are out, just before the
    // handler is installed; blocked until then, it is taken as soon as the
    // handler is in place, and the normalization pass sees it.
    SignalBlock block(GetParam());
    testsupport::ChildResult r =
        RunWithSignal({"in.wav", "-out=out.wav", "-freq=48000", "-vol=normalize"}, GetParam(),
                      " output : out.wav\n");
    ASSERT_TRUE(r.signal_sent);
    EXPECT_EQ(r.term_signal, 0);
    EXPECT_EQ(r.exit_code, 1) << r.out;
    EXPECT_EQ(r.out.find("<< Parameters >>"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - std::string(kInterrupted).size()), kInterrupted) << r.out;
    EXPECT_FALSE(dir.Exists("out.wav"));
}

TEST_P(ConvertInterruption, WhileReplacingKeepsTheOldFileAndLeavesNoOther) {
    // Before the output is created (the signal waits for the handler), once
    // it is created, and during the conversion.
    for (const char* when : {" output : out.wav\n", "<< Parameters >>\n", "<< Progress >>\n"}) {
        SCOPED_TRACE(when);
        const std::string old = dir.WriteFile("out.wav", "an older take");
        SignalBlock block(GetParam());
        testsupport::ChildResult r =
            RunWithSignal({"in.wav", "-out=out.wav", "-freq=48000"}, GetParam(), when);
        ASSERT_TRUE(r.signal_sent);
        EXPECT_EQ(r.exit_code, 1) << r.out;
        EXPECT_EQ(dir.ReadFile("out.wav"), "an older take");
        int files = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            (void)entry;
            ++files;
        }
        EXPECT_EQ(files, 2);  // in.wav and out.wav
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, ConvertInterruption, ::testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(info.param == SIGINT    ? "SIGINT"
                                                : info.param == SIGTERM ? "SIGTERM"
                                                                        : "SIGHUP");
                         });
