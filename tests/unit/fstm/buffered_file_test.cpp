#include "runtime/buffered_file.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <vector>

#include "tests/support/file_fixtures.h"

namespace {

using filetest::Bytes;
using filetest::ErrorCapture;
using filetest::ScratchDir;

constexpr std::int32_t kMiB = 1 << 20;

// Byte i of a pattern file: differs between neighbouring blocks.
unsigned char PatternByte(std::int64_t i) {
    return static_cast<unsigned char>((i * 7 + i / kMiB * 13) & 0xFF);
}

Bytes Pattern(std::int64_t n) {
    Bytes b(static_cast<std::size_t>(n));
    for (std::int64_t i = 0; i < n; ++i)
        b[static_cast<std::size_t>(i)] = PatternByte(i);
    return b;
}

// Platform calls that fail on demand: a failing call sets errno and gives -1.
std::atomic<int> g_fail_reads{0};   // the next n reads fail
std::atomic<int> g_fail_writes{0};  // the next n writes fail
std::atomic<int> g_write_calls{0};
std::atomic<int> g_read_calls{0};

std::int32_t FlakyRead(int fd, void* b, std::int32_t n) {
    g_read_calls.fetch_add(1);
    if (g_fail_reads.load() > 0) {
        g_fail_reads.fetch_sub(1);
        errno = EIO;
        return -1;
    }
    return BufferedFile_DefaultPlatform()->read(fd, b, n);
}

std::int32_t FlakyWrite(int fd, const void* b, std::int32_t n) {
    g_write_calls.fetch_add(1);
    if (g_fail_writes.load() > 0) {
        g_fail_writes.fetch_sub(1);
        errno = ENOSPC;
        return -1;
    }
    return BufferedFile_DefaultPlatform()->write(fd, b, n);
}

class FlakyPlatform {
  public:
    FlakyPlatform() {
        calls_ = *BufferedFile_DefaultPlatform();
        calls_.read = FlakyRead;
        calls_.write = FlakyWrite;
        g_fail_reads = 0;
        g_fail_writes = 0;
        g_write_calls = 0;
        g_read_calls = 0;
        BufferedFile_SetPlatform(&calls_);
    }
    ~FlakyPlatform() { BufferedFile_SetPlatform(nullptr); }

  private:
    BufferedFilePlatform calls_;
};

TEST(BufferedFileRead, BytesPastTheEndReadAsZeros) {
    ScratchDir dir;
    const std::string path = dir.Path("ten.bin");
    ASSERT_TRUE(filetest::WriteFile(path, Pattern(10)));
    BufferedFile* f = BufferedFile_OpenRead(path.c_str());
    ASSERT_NE(f, nullptr);
    unsigned char out[16];
    std::fill(std::begin(out), std::end(out), 0xAA);
    EXPECT_EQ(BufferedFile_Read(f, out, 16), 16);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(out[i], PatternByte(i));
    for (int i = 10; i < 16; ++i)
        EXPECT_EQ(out[i], 0);
    EXPECT_EQ(BufferedFile_Tell(f), 16);
    EXPECT_EQ(BufferedFile_GetError(f), 0);  // the end of the file is no failure
    EXPECT_EQ(BufferedFile_Close(f), 0);
}

TEST(BufferedFileRead, ReadsAcrossBlockBoundariesAndAfterSeeks) {
    ScratchDir dir;
    const std::string path = dir.Path("big.bin");
    const std::int64_t size = 4LL * kMiB + 100;
    ASSERT_TRUE(filetest::WriteFile(path, Pattern(size)));
    BufferedFile* f = BufferedFile_OpenRead(path.c_str());
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(BufferedFile_GetSize(f), size);

    std::vector<unsigned char> out(kMiB + 1);
    ASSERT_EQ(BufferedFile_Read(f, out.data(), kMiB + 1), kMiB + 1);
    EXPECT_EQ(out, Bytes(Pattern(kMiB + 1)));

    ASSERT_EQ(BufferedFile_Seek(f, 3 * kMiB + 5, 0), 3 * kMiB + 5);
    unsigned char four[4];
    ASSERT_EQ(BufferedFile_Read(f, four, 4), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(four[i], PatternByte(3 * kMiB + 5 + i));

    // Relative and end-based seeks land where a plain file would.
    EXPECT_EQ(BufferedFile_Seek(f, -9, 1), 3 * kMiB);
    ASSERT_EQ(BufferedFile_Read(f, four, 1), 1);
    EXPECT_EQ(four[0], PatternByte(3 * kMiB));
    EXPECT_EQ(BufferedFile_Seek(f, -2, 2), size - 2);
    ASSERT_EQ(BufferedFile_Read(f, four, 4), 4);
    EXPECT_EQ(four[0], PatternByte(size - 2));
    EXPECT_EQ(four[1], PatternByte(size - 1));
    EXPECT_EQ(four[2], 0);
    EXPECT_EQ(BufferedFile_Seek(f, 0, 7), -1);
    EXPECT_EQ(BufferedFile_Seek(f, -1, 0), -1);
    EXPECT_EQ(BufferedFile_Close(f), 0);
}

// The header walk seeks back and forth within the first block: the block
// in the buffer serves those seeks, and another block is read when a seek
// leaves it.
TEST(BufferedFileRead, SeeksWithinTheLoadedBlockReadNothingAgain) {
    ScratchDir dir;
    const std::string path = dir.Path("walk.bin");
    ASSERT_TRUE(filetest::WriteFile(path, Pattern(2 * kMiB + 10)));
    FlakyPlatform counting;
    BufferedFile* f = BufferedFile_OpenRead(path.c_str());
    ASSERT_NE(f, nullptr);
    unsigned char byte = 0;
    for (std::int32_t at : {12, 0, 36, kMiB - 100, 44}) {
        ASSERT_EQ(BufferedFile_Seek(f, at, 0), at);
        ASSERT_EQ(BufferedFile_Read(f, &byte, 1), 1);
        EXPECT_EQ(byte, PatternByte(at)) << at;
    }
    EXPECT_EQ(g_read_calls.load(), 1);
    for (std::int32_t at : {2 * kMiB + 3, 5, kMiB + 7}) {
        ASSERT_EQ(BufferedFile_Seek(f, at, 0), at);
        ASSERT_EQ(BufferedFile_Read(f, &byte, 1), 1);
        EXPECT_EQ(byte, PatternByte(at)) << at;
    }
    EXPECT_EQ(g_read_calls.load(), 4);
    EXPECT_EQ(BufferedFile_Close(f), 0);
}

TEST(BufferedFileRead, BlockLoadedPastTheEndIsZero) {
    ScratchDir dir;
    const std::string path = dir.Path("small.bin");
    ASSERT_TRUE(filetest::WriteFile(path, Pattern(100)));
    BufferedFile* f = BufferedFile_OpenRead(path.c_str());
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(BufferedFile_Seek(f, 2 * kMiB + 3, 0), 2 * kMiB + 3);
    unsigned char out[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    ASSERT_EQ(BufferedFile_Read(f, out, 8), 8);
    for (unsigned char c : out)
        EXPECT_EQ(c, 0);
    EXPECT_EQ(BufferedFile_Close(f), 0);
}

// Positions are 64-bit: a sparse file of 5 GB is read across 2^31 and 2^32.
TEST(BufferedFileRead, ReadsAcrossTheFormerLimits) {
    ScratchDir dir;
    const std::string path = dir.Path("sparse.bin");
    const std::int64_t k2G = std::int64_t{1} << 31, k4G = k2G * 2, size = k4G + k2G / 2;
    ASSERT_TRUE(filetest::WriteSparse(path, size, {{k2G - 2, {1, 2, 3, 4}}, {k4G + 5, {5, 6}}}));
    BufferedFile* f = BufferedFile_OpenRead(path.c_str());
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(BufferedFile_GetSize(f), size);
    unsigned char out[4] = {};
    ASSERT_EQ(BufferedFile_Seek(f, k2G - 2, 0), k2G - 2);
    ASSERT_EQ(BufferedFile_Read(f, out, 4), 4);
    EXPECT_EQ(Bytes(out, out + 4), (Bytes{1, 2, 3, 4}));
    ASSERT_EQ(BufferedFile_Seek(f, k4G + 5 - BufferedFile_Tell(f), 1), k4G + 5);
    ASSERT_EQ(BufferedFile_Read(f, out, 2), 2);
    EXPECT_EQ(Bytes(out, out + 2), (Bytes{5, 6}));
    EXPECT_EQ(BufferedFile_Seek(f, -1, 2), size - 1);
    EXPECT_EQ(BufferedFile_Close(f), 0);
}

TEST(BufferedFileRead, SmallReadsMatchTheFileOverSeveralBlocks) {
    ScratchDir dir;
    const std::string path = dir.Path("stream.bin");
    const std::int64_t size = 2LL * kMiB + 7;
    const Bytes want = Pattern(size);
    ASSERT_TRUE(filetest::WriteFile(path, want));
    BufferedFile* f = BufferedFile_OpenRead(path.c_str());
    ASSERT_NE(f, nullptr);
    Bytes got(static_cast<std::size_t>(size));
    std::size_t at = 0;
    while (at < got.size()) {  // 3-byte fields straddle every block boundary
        const std::int32_t n = static_cast<std::int32_t>(std::min<std::size_t>(3, got.size() - at));
        ASSERT_EQ(BufferedFile_Read(f, got.data() + at, n), n);
        at += static_cast<std::size_t>(n);
    }
    EXPECT_EQ(got, want);
    EXPECT_EQ(BufferedFile_Close(f), 0);
}

TEST(BufferedFileWrite, WritesEveryByteInSingleBytesOverABlock) {
    ScratchDir dir;
    const std::string path = dir.Path("out.bin");
    BufferedFile* f = BufferedFile_Create(path.c_str());
    ASSERT_NE(f, nullptr);
    const std::int64_t n = kMiB + 3;
    const Bytes want = Pattern(n);
    for (std::int64_t i = 0; i < n; ++i)
        BufferedFile_Write(f, &want[static_cast<std::size_t>(i)], 1);
    EXPECT_EQ(BufferedFile_Tell(f), n);
    EXPECT_EQ(BufferedFile_Close(f), 0);
    EXPECT_EQ(filetest::ReadFile(path), want);
}

TEST(BufferedFileWrite, PatchAfterSeekLandsAtItsOffset) {
    ScratchDir dir;
    const std::string path = dir.Path("patch.bin");
    BufferedFile* f = BufferedFile_Create(path.c_str());
    ASSERT_NE(f, nullptr);
    Bytes data = Pattern(100);
    BufferedFile_Write(f, data.data(), 100);
    EXPECT_EQ(BufferedFile_GetSize(f), 0);  // still in the write-behind buffer
    ASSERT_EQ(BufferedFile_Seek(f, 4, 0), 4);
    const unsigned char patch[4] = {0xDE, 0xAD, 0xBE, 0xEF};
    BufferedFile_Write(f, patch, 4);
    EXPECT_EQ(BufferedFile_Seek(f, 0, 2), 100);
    EXPECT_EQ(BufferedFile_Close(f), 0);
    std::copy(std::begin(patch), std::end(patch), data.begin() + 4);
    EXPECT_EQ(filetest::ReadFile(path), data);
}

TEST(BufferedFileWrite, ReadingAWrittenFileGoesStraightToTheFile) {
    ScratchDir dir;
    const std::string path = dir.Path("direct.bin");
    BufferedFile* f = BufferedFile_Create(path.c_str());
    ASSERT_NE(f, nullptr);
    BufferedFile_Write(f, "abcdefgh", 8);
    ASSERT_EQ(BufferedFile_Seek(f, 6, 0), 6);  // writes the buffer out
    char out[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(BufferedFile_Read(f, out, 4), 2);  // a short direct read
    EXPECT_EQ(std::string(out, 4), std::string("gh\0\0", 4));
    EXPECT_EQ(BufferedFile_Close(f), 0);
}

TEST(BufferedFileOpen, MissingFileAndUncreatableFileAreReported) {
    ScratchDir dir;
    ErrorCapture errors;
    EXPECT_EQ(BufferedFile_OpenRead(dir.Path("absent.bin").c_str()), nullptr);
    EXPECT_EQ(BufferedFile_OpenRead(dir.root().c_str()), nullptr);  // a folder is no file
    EXPECT_EQ(BufferedFile_Create(dir.Path("no/such/dir.bin").c_str()), nullptr);
    EXPECT_EQ(errors.lines(), (std::vector<std::string>{"E2006110109 : Can not open file.",
                                                        "E2006110109 : Can not open file.",
                                                        "E2006110109 : Can not create file."}));
}

TEST(BufferedFileFailures, FailedFlushIsReportedAndRemembered) {
    ScratchDir dir;
    FlakyPlatform flaky;
    ErrorCapture errors;
    const std::string path = dir.Path("fail.bin");
    BufferedFile* f = BufferedFile_Create(path.c_str());
    ASSERT_NE(f, nullptr);
    BufferedFile_Write(f, "0123456789", 10);
    g_fail_writes = 1;
    ASSERT_EQ(BufferedFile_Seek(f, 0, 2), 10);  // the flush fails, the direct retry succeeds
    EXPECT_EQ(BufferedFile_GetError(f), -1);
    EXPECT_EQ(BufferedFile_Close(f), -1);
    EXPECT_EQ(errors.lines(), std::vector<std::string>{"E2006110311 : Writing error occurred."});
    EXPECT_EQ(filetest::ReadFile(path).size(), 10u);
}

TEST(BufferedFileFailures, FullBufferThatCannotBeWrittenIsNeverOverrun) {
    ScratchDir dir;
    FlakyPlatform flaky;
    ErrorCapture errors;
    const std::string path = dir.Path("full.bin");
    BufferedFile* f = BufferedFile_Create(path.c_str());
    ASSERT_NE(f, nullptr);
    g_fail_writes = 1000000;  // the disk refuses everything
    const Bytes block = Pattern(kMiB / 4);
    for (int i = 0; i < 12; ++i)
        BufferedFile_Write(f, block.data(), static_cast<std::int32_t>(block.size()));
    EXPECT_EQ(BufferedFile_Tell(f), 3 * kMiB);
    EXPECT_EQ(BufferedFile_Close(f), -1);
    EXPECT_FALSE(errors.lines().empty());
    for (const auto& line : errors.lines())
        EXPECT_EQ(line, "E2006110311 : Writing error occurred.");
}

TEST(BufferedFileFailures, FailedFlushRetriesDirectlyAtItsOwnOffset) {
    ScratchDir dir;
    FlakyPlatform flaky;
    const std::string path = dir.Path("retry.bin");
    BufferedFile* f = BufferedFile_Create(path.c_str());
    ASSERT_NE(f, nullptr);
    const Bytes data = Pattern(kMiB + 10);
    g_fail_writes = 2;  // the background flush and the flush before the next write fail
    BufferedFile_Write(f, data.data(), kMiB);
    BufferedFile_Write(f, data.data() + kMiB, 10);
    EXPECT_EQ(BufferedFile_Close(f), -1);
    EXPECT_EQ(filetest::ReadFile(path), data);  // the direct retry put every byte in place
}

TEST(BufferedFileFailures, ReadErrorIsReportedAndRemembered) {
    ScratchDir dir;
    const std::string path = dir.Path("in.bin");
    ASSERT_TRUE(filetest::WriteFile(path, Pattern(3 * kMiB)));
    FlakyPlatform flaky;
    ErrorCapture errors;
    BufferedFile* f = BufferedFile_OpenRead(path.c_str());
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(BufferedFile_GetError(f), 0);
    g_fail_reads = 1;
    std::vector<unsigned char> out(kMiB + 4);
    EXPECT_EQ(BufferedFile_Read(f, out.data(), kMiB + 4), kMiB + 4);
    EXPECT_EQ(out[kMiB], 0);  // the block that could not be read reads as zeros
    EXPECT_EQ(BufferedFile_GetError(f), -1);
    EXPECT_EQ(BufferedFile_Close(f), -1);
    EXPECT_EQ(errors.lines(), std::vector<std::string>{"E2006110111 : Reading error occurred."});
}

TEST(BufferedFileFailures, FullDeviceFailsTheClose) {
    if (!filetest::FileExists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    ErrorCapture errors;
    BufferedFile* f = BufferedFile_Create("/dev/full");
    if (f == nullptr) GTEST_SKIP() << "/dev/full cannot be opened for writing here";
    BufferedFile_Write(f, "abc", 3);
    EXPECT_EQ(BufferedFile_Close(f), -1);
    ASSERT_FALSE(errors.lines().empty());
    EXPECT_EQ(errors.lines().front(), "E2006110311 : Writing error occurred.");
}

}  // namespace
