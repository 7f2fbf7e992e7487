// Whole runs of ExecuteJob with the buffered file's platform calls replaced
// by ones that fail on demand: a write failure at each stage of the output
// (header, sample data, the size patch at close, the trailer chunks), a read
// failure in mid-file and a disk that fills up in mid-run. Every such run
// must end with exit code 2, the error line with the module text after it,
// the failing file and the system's reason on standard error, no output file
// and no temporary file, and the input as it was (bytes and modification
// time); a file the output would have replaced stays as it was.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "app/job.h"
#include "platform/file_error.h"
#include "console_capture.h"
#include "runtime/buffered_file.h"
#include "tests/support/temp_dir.h"
#include "wavestream/wstm/wstm.h"

using namespace tolmek;

namespace {

struct WriteRecord {
    std::int64_t offset;
    std::int32_t count;
};

// State of the failing calls; the worker threads of the files reach it too.
struct FaultState {
    std::mutex lock;
    int output_fd = -1;
    std::vector<int> input_fds;
    std::int64_t output_position = 0;
    std::vector<WriteRecord> writes;  // every write made to the output, in order
    std::vector<std::int32_t> reads;  // sizes of the reads made from inputs so far
    int fail_write = -1;              // index of the output write that fails
    std::int64_t disk_limit = -1;     // output bytes that fit on the disk
    bool fail_read = false;  // fail the next block read of the input once the output exists
};

FaultState& State() {
    static FaultState state;
    return state;
}

const BufferedFilePlatform& Real() { return *BufferedFile_DefaultPlatform(); }

int OpenRead(const char* path) {
    int fd = Real().open_read(path);
    std::lock_guard<std::mutex> hold(State().lock);
    if (fd >= 0) State().input_fds.push_back(fd);
    return fd;
}

int Create(const char* path) {
    int fd = Real().create(path);
    std::lock_guard<std::mutex> hold(State().lock);
    if (fd >= 0) {
        State().output_fd = fd;
        State().output_position = 0;
    }
    return fd;
}

bool IsInput(int fd) {
    for (int input : State().input_fds) {
        if (input == fd) return true;
    }
    return false;
}

std::int32_t Read(int fd, void* buffer, std::int32_t count) {
    {
        std::lock_guard<std::mutex> hold(State().lock);
        // Only a block read issued after the output was created fails: by
        // then opening and identification are over, whatever order the
        // read-ahead worker happened to take, so the failure lands in the
        // middle of the conversion.
        if (IsInput(fd) && State().fail_read && State().output_fd >= 0 &&
            count == kBufferedFileBlock) {
            State().fail_read = false;
            State().reads.push_back(count);
            errno = EIO;
            return -1;
        }
        if (IsInput(fd)) State().reads.push_back(count);
    }
    return Real().read(fd, buffer, count);
}

std::int32_t Write(int fd, const void* buffer, std::int32_t count) {
    std::unique_lock<std::mutex> hold(State().lock);
    FaultState& s = State();
    if (fd != s.output_fd) {
        hold.unlock();
        return Real().write(fd, buffer, count);
    }
    const std::int64_t offset = s.output_position;
    const int index = static_cast<int>(s.writes.size());
    s.writes.push_back({offset, count});
    if (index == s.fail_write) {
        errno = EIO;
        return -1;
    }
    if (s.disk_limit >= 0 && offset + count > s.disk_limit) {
        // The bytes that still fit go to disk, then the disk is full.
        if (offset < s.disk_limit) {
            (void)Real().write(fd, buffer, static_cast<std::int32_t>(s.disk_limit - offset));
        }
        errno = ENOSPC;
        return -1;
    }
    std::int32_t written = Real().write(fd, buffer, count);
    if (written > 0) s.output_position += written;
    return written;
}

std::int64_t Seek(int fd, std::int64_t offset, int origin) {
    std::int64_t position = Real().seek(fd, offset, origin);
    std::lock_guard<std::mutex> hold(State().lock);
    if (fd == State().output_fd && position >= 0) State().output_position = position;
    return position;
}

int Close(int fd) {
    {
        std::lock_guard<std::mutex> hold(State().lock);
        if (fd == State().output_fd) State().output_fd = -1;
        std::vector<int>& inputs = State().input_fds;
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            if (inputs[i] == fd) {
                inputs.erase(inputs.begin() + static_cast<std::ptrdiff_t>(i));
                break;
            }
        }
    }
    return Real().close(fd);
}

BufferedFilePlatform FailingPlatform() {
    BufferedFilePlatform p = Real();
    p.open_read = OpenRead;
    p.create = Create;
    p.read = Read;
    p.write = Write;
    p.seek = Seek;
    p.close = Close;
    return p;
}

// 1 000 000 stereo 16-bit frames at 8 kHz with two markers and a loop: an
// input of several read blocks, an output of several write blocks, with
// trailer chunks after the sample data.
constexpr int kFrames = 1000000;

void MakeInput(const std::string& path, std::int32_t format) {
    WstmHandle* h = WSTM_CreateAs(path.c_str(), 8000, 2, 16, kFrames, format);
    ASSERT_NE(h, nullptr);
    std::int32_t frame[2];
    for (int k = 0; k < kFrames; ++k) {
        frame[0] = ((k * 37) % 30000 - 15000) * 65536;
        frame[1] = ((k * 91) % 20000 - 10000) * 65536;
        WSTM_WriteSample(h, frame, 2);
    }
    WSTM_SetNumMarkers(h, 2);
    WSTM_SetMarker(h, 0, 1000);
    WSTM_SetMarker(h, 1, kFrames - 5);
    WSTM_SetNumLoops(h, 1);
    WSTM_SetLoop(h, 0, 2000, 4000);
    ASSERT_EQ(WSTM_Close(h), 0);
}

struct RunResult {
    int exit_code = -1;
    std::string out;
    std::string err;
    std::vector<WriteRecord> writes;
    std::vector<std::int32_t> reads;
};

class FaultInjection : public ::testing::TestWithParam<const char*> {
  protected:
    void SetUp() override {
        extension_ = GetParam();
        input_ = dir_.Path(std::string("in.") + extension_);
        output_ = dir_.Path(std::string("out.") + extension_);
        MakeInput(input_, extension_ == std::string("wav") ? 1 : 2);
        input_bytes_ = dir_.ReadFile(std::string("in.") + extension_);
        input_mtime_ = std::filesystem::last_write_time(input_);
    }

    // Runs one conversion with the given failure armed.
    RunResult Run(int fail_write, std::int64_t disk_limit = -1, bool fail_read = false) {
        {
            FaultState& s = State();
            std::lock_guard<std::mutex> hold(s.lock);
            s.output_fd = -1;
            s.input_fds.clear();
            s.writes.clear();
            s.reads.clear();
            s.fail_write = fail_write;
            s.disk_limit = disk_limit;
            s.fail_read = fail_read;
        }
        output_created = 0;
        interrupt_requested.store(0);
        const BufferedFilePlatform failing = FailingPlatform();
        const BufferedFilePlatform* before = BufferedFile_SetPlatform(&failing);
        RunResult result;
        {
            ConsoleCapture console;
            std::string out_switch = "-out=" + output_;
            std::vector<std::string> args = {"tolmek", input_, out_switch, "-vol=-1"};
            std::vector<char*> argv;
            for (std::string& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            result.exit_code = ExecuteJob(static_cast<int>(args.size()), argv.data());
            result.out = console.out + console.err;
            result.err = console.err;
        }
        BufferedFile_SetPlatform(before);
        std::lock_guard<std::mutex> hold(State().lock);
        result.writes = State().writes;
        result.reads = State().reads;
        return result;
    }

    // The write log of a run that succeeds.
    std::vector<WriteRecord> CleanWrites() {
        RunResult clean = Run(-1);
        EXPECT_EQ(clean.exit_code, 0) << clean.out;
        EXPECT_TRUE(dir_.Exists(std::string("out.") + extension_));
        std::filesystem::remove(output_);
        return clean.writes;
    }

    // error_number: the failure the fake call gave, on the input when
    // on_input, else on the output.
    void ExpectFailedCleanly(const RunResult& r, const char* error_line, int error_number = EIO,
                             bool on_input = false) {
        EXPECT_EQ(r.exit_code, 2) << r.out;
        const std::size_t at = r.out.find(error_line);
        ASSERT_NE(at, std::string::npos) << r.out;
        // The module text follows the error line in parentheses.
        const std::size_t after = at + std::string(error_line).size();
        ASSERT_LT(after, r.out.size()) << r.out;
        EXPECT_EQ(r.out[after], '(') << r.out;
        EXPECT_GT(r.out.find(")\n", after), after + 1) << r.out;
        EXPECT_EQ(r.out.find("Completed"), std::string::npos) << r.out;
        // The output is named by its own name even while written under another.
        // It ends standard error, where the progress went before it.
        std::string line = "tolmek: " + (on_input ? input_ : output_) + ": ";
        const std::string last = r.err.substr(r.err.rfind('\r') + 1);
#ifdef _WIN32
        // The fake calls set errno, not the system's own error, so only the
        // name is checked: the reason is whatever the system last had.
        (void)error_number;
        EXPECT_EQ(last.substr(0, line.size()), line) << r.err;
        EXPECT_EQ(last.back(), '\n') << r.err;
#else
        EXPECT_EQ(last, line + platform::SystemErrorText(error_number) + "\n") << r.err;
#endif
        std::vector<std::string> left;
        for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
            left.push_back(entry.path().filename().string());
        EXPECT_EQ(left.size(), old_output_.empty() ? 1u : 2u) << left.back();
        if (old_output_.empty()) {
            EXPECT_FALSE(dir_.Exists(std::string("out.") + extension_));
        } else {
            EXPECT_EQ(dir_.ReadFile(std::string("out.") + extension_), old_output_);
        }
        EXPECT_EQ(std::filesystem::last_write_time(input_), input_mtime_);
        EXPECT_EQ(dir_.ReadFile(std::string("in.") + extension_), input_bytes_);
    }

    static constexpr const char* kWriteError = "Error c003 : Cannot write output file.\n";

    testsupport::TempDir dir_;
    std::string extension_;
    std::string input_;
    std::string output_;
    std::string input_bytes_;
    std::string old_output_;  // what a file replaced by the output holds
    std::filesystem::file_time_type input_mtime_{};
};

// Bytes at the start of the output that hold the sizes written back at close.
constexpr std::int64_t kHeaderArea = 64;

// Index of the first write of sample data: past the header area, before
// the file has reached its full length.
int FirstDataWrite(const std::vector<WriteRecord>& writes) {
    for (std::size_t i = 1; i < writes.size(); ++i) {
        if (writes[i].offset >= kHeaderArea) return static_cast<int>(i);
    }
    return -1;
}

TEST_P(FaultInjection, HeaderWriteFailure) {
    const std::vector<WriteRecord> writes = CleanWrites();
    ASSERT_FALSE(writes.empty());
    ASSERT_EQ(writes[0].offset, 0);
    ExpectFailedCleanly(Run(0), kWriteError);
}

TEST_P(FaultInjection, SampleDataWriteFailure) {
    const std::vector<WriteRecord> writes = CleanWrites();
    const int data = FirstDataWrite(writes);
    ASSERT_GE(data, 0) << "no write of sample data";
    ExpectFailedCleanly(Run(data), kWriteError);
}

TEST_P(FaultInjection, SizePatchAtCloseFailure) {
    // Once the data is out, the sizes in the header are written back: the
    // first write near the start of the file after the header.
    const std::vector<WriteRecord> writes = CleanWrites();
    int patch = -1;
    for (std::size_t i = 0; i < writes.size(); ++i) {
        if (i > 0 && writes[i].offset < kHeaderArea) {
            patch = static_cast<int>(i);
            break;
        }
    }
    ASSERT_GT(patch, 0) << "no size patch at close";
    ExpectFailedCleanly(Run(patch), kWriteError);
}

TEST_P(FaultInjection, TrailerChunkWriteFailure) {
    // The write that reaches the end of the file carries the marker and
    // loop chunks after the sample data.
    const std::vector<WriteRecord> writes = CleanWrites();
    int last = -1;
    std::int64_t end = -1;
    for (std::size_t i = 0; i < writes.size(); ++i) {
        if (writes[i].offset + writes[i].count > end) {
            end = writes[i].offset + writes[i].count;
            last = static_cast<int>(i);
        }
    }
    ASSERT_GT(last, 0);
    ExpectFailedCleanly(Run(last), kWriteError);
}

TEST_P(FaultInjection, ReadFailureInMidFile) {
    // The input spans several read blocks, so blocks are still being read
    // while the conversion runs.
    RunResult clean = Run(-1);
    ASSERT_EQ(clean.exit_code, 0) << clean.out;
    std::filesystem::remove(output_);
    int blocks = 0;
    for (std::int32_t count : clean.reads) {
        if (count == kBufferedFileBlock) ++blocks;
    }
    ASSERT_GE(blocks, 3);
    ExpectFailedCleanly(Run(-1, -1, true), "Error c004 : Cannot read input file.\n", EIO, true);
}

TEST_P(FaultInjection, DiskFullInMidRun) {
    ExpectFailedCleanly(Run(-1, 800000), kWriteError, ENOSPC);
}

TEST_P(FaultInjection, ReplacedFileSurvivesEveryFailure) {
    const std::vector<WriteRecord> writes = CleanWrites();
    old_output_ = "an older take, kept byte for byte";
    dir_.WriteFile(std::string("out.") + extension_, old_output_);
    ExpectFailedCleanly(Run(-1, 800000), kWriteError, ENOSPC);
    ExpectFailedCleanly(Run(-1, -1, true), "Error c004 : Cannot read input file.\n", EIO, true);
    for (std::size_t i = 0; i < writes.size(); ++i) {
        SCOPED_TRACE("write " + std::to_string(i));
        ExpectFailedCleanly(Run(static_cast<int>(i)), kWriteError);
    }
    // And a run that succeeds replaces it.
    EXPECT_EQ(Run(-1).exit_code, 0);
    EXPECT_NE(dir_.ReadFile(std::string("out.") + extension_), old_output_);
}

TEST_P(FaultInjection, EveryOutputWriteFailingInTurn) {
    const std::vector<WriteRecord> writes = CleanWrites();
    for (std::size_t i = 0; i < writes.size(); ++i) {
        SCOPED_TRACE("write " + std::to_string(i));
        ExpectFailedCleanly(Run(static_cast<int>(i)), kWriteError);
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, FaultInjection, ::testing::Values("wav", "aif"));

}  // namespace
