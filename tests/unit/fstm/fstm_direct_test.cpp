// The file stream reaches the program's own buffered file without its table,
// and any other table through the table; either way every read and write runs
// under the process-wide busy flag.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "runtime/buffered_file.h"
#include "tests/support/file_fixtures.h"
#include "wavestream/fstm/fstm.h"

namespace {

using filetest::Bytes;
using filetest::ScratchDir;

// A table over a byte vector that counts its reads and writes.
struct MemoryFile {
    Bytes bytes;
    std::int32_t position = 0;
    int reads = 0;
    int writes = 0;
};

std::int32_t MemRead(void* file, void* buffer, std::int32_t count) {
    auto* m = static_cast<MemoryFile*>(file);
    ++m->reads;
    auto* out = static_cast<unsigned char*>(buffer);
    for (std::int32_t i = 0; i < count; ++i, ++m->position) {
        const auto at = static_cast<std::size_t>(m->position);
        out[i] = at < m->bytes.size() ? m->bytes[at] : 0;
    }
    return count;
}

void MemWrite(void* file, const void* buffer, std::int32_t count) {
    auto* m = static_cast<MemoryFile*>(file);
    ++m->writes;
    const auto* in = static_cast<const unsigned char*>(buffer);
    for (std::int32_t i = 0; i < count; ++i, ++m->position) {
        const auto at = static_cast<std::size_t>(m->position);
        if (at >= m->bytes.size()) m->bytes.resize(at + 1);
        m->bytes[at] = in[i];
    }
}

std::int64_t MemTell(void* file) { return static_cast<MemoryFile*>(file)->position; }

TEST(FstmTables, AnotherTableIsCalledForEveryTransfer) {
    FileIoInterface table{};
    table.read = MemRead;
    table.write = MemWrite;
    table.tell = MemTell;
    MemoryFile file;
    FstmStream stream{&table, &file, nullptr};

    FSTM_WriteU16BE(&stream, 0x1234);
    FSTM_WriteU32LE(&stream, 0xA1B2C3D4u);
    EXPECT_EQ(file.writes, 2);
    EXPECT_EQ(file.bytes, (Bytes{0x12, 0x34, 0xD4, 0xC3, 0xB2, 0xA1}));
    EXPECT_EQ(FSTM_Tell(&stream), 6);

    file.position = 0;
    EXPECT_EQ(FSTM_ReadU16BE(&stream), 0x1234u);
    EXPECT_EQ(FSTM_ReadU32LE(&stream), 0xA1B2C3D4u);
    EXPECT_EQ(file.reads, 2);
}

TEST(FstmTables, TheProgramsOwnTableIsReachedDirectly) {
    ScratchDir dir;
    const std::string path = dir.Path("d.bin");
    FstmStream* out = FSTM_Create(path.c_str());
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->interface, BufferedFile_Interface());
    EXPECT_EQ(static_cast<void*>(out->buffered_file), out->file);
    for (std::uint32_t i = 0; i < 1000; ++i)
        FSTM_WriteU16LE(out, i);
    EXPECT_EQ(FSTM_Tell(out), 2000);
    EXPECT_EQ(FSTM_Close(out), 0);

    FstmStream* in = FSTM_OpenRead(path.c_str());
    ASSERT_NE(in, nullptr);
    for (std::uint32_t i = 0; i < 1000; ++i)
        ASSERT_EQ(FSTM_ReadU16LE(in), i);
    EXPECT_EQ(FSTM_ReadU16LE(in), 0u);  // past the end: zeros
    EXPECT_EQ(FSTM_Tell(in), 2002);
    EXPECT_EQ(FSTM_Close(in), 0);
}

// While another thread holds the busy flag, a small read that the buffer
// could serve at once still waits for it, and completes once it is free.
TEST(FstmTables, DirectTransfersWaitForTheBusyFlag) {
    ScratchDir dir;
    const std::string path = dir.Path("b.bin");
    ASSERT_TRUE(filetest::WriteFile(path, Bytes{1, 2, 3, 4}));
    FstmStream* in = FSTM_OpenRead(path.c_str());
    ASSERT_NE(in, nullptr);
    ASSERT_EQ(FSTM_ReadU8(in), 1u);  // the first block is loaded

    buffered_file_detail::TakeBusy();
    std::atomic<bool> done{false};
    std::uint32_t value = 0;
    std::thread reader([&] {
        value = FSTM_ReadU8(in);
        done.store(true);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(done.load());  // cannot finish while the flag is held
    buffered_file_detail::ReleaseBusy();
    reader.join();
    EXPECT_TRUE(done.load());
    EXPECT_EQ(value, 2u);
    EXPECT_FALSE(buffered_file_detail::busy.IsTaken());
    EXPECT_EQ(FSTM_Close(in), 0);
}

}  // namespace
