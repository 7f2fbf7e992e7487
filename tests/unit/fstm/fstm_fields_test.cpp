#include "wavestream/fstm/fstm.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/file_fixtures.h"

namespace {

using filetest::Bytes;
using filetest::ScratchDir;

class FieldFile {
  public:
    explicit FieldFile(const Bytes& content) {
        path_ = dir_.Path("fields.bin");
        filetest::WriteFile(path_, content);
        stream_ = FSTM_OpenRead(path_.c_str());
    }
    ~FieldFile() {
        if (stream_ != nullptr) (void)FSTM_Close(stream_);
    }
    FstmStream* stream() { return stream_; }

  private:
    ScratchDir dir_;
    std::string path_;
    FstmStream* stream_ = nullptr;
};

Bytes Written(void (*write)(FstmStream*)) {
    ScratchDir dir;
    const std::string path = dir.Path("w.bin");
    FstmStream* s = FSTM_Create(path.c_str());
    EXPECT_NE(s, nullptr);
    write(s);
    EXPECT_EQ(FSTM_Close(s), 0);
    return filetest::ReadFile(path);
}

TEST(FstmFieldReaders, ReadFieldsInBothByteOrders) {
    FieldFile f({0x12, 0x34, 0x12, 0x34, 0xFF, 0xFF, 0xFE, 0xFE, 0xFF, 0xFF, 0x01, 0x02, 0x03, 0x04,
                 0x01, 0x02, 0x03, 0x04, 0x9A});
    FstmStream* s = f.stream();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(FSTM_ReadU16BE(s) & 0xFFFF, 0x1234u);
    EXPECT_EQ(FSTM_ReadU16LE(s) & 0xFFFF, 0x3412u);
    const std::uint32_t be24 = FSTM_ReadS24BE(s);
    EXPECT_EQ(be24 & 0xFFFFFF, 0xFFFFFEu);
    EXPECT_EQ(static_cast<std::int32_t>(be24 << 8), -512);
    const std::uint32_t le24 = FSTM_ReadU24LE(s);
    EXPECT_EQ(le24 & 0xFFFFFF, 0xFFFFFEu);
    EXPECT_EQ(static_cast<std::int32_t>(le24 << 8), -512);
    EXPECT_EQ(FSTM_ReadU32BE(s), 0x01020304u);
    EXPECT_EQ(FSTM_ReadU32LE(s), 0x04030201u);
    EXPECT_EQ(FSTM_ReadU8(s), 0x9Au);
    EXPECT_EQ(FSTM_Tell(s), 19);
    EXPECT_EQ(FSTM_ReadU32LE(s), 0u);  // at the end of the file
}

TEST(FstmFieldWriters, WriteOnlyTheFieldsBytes) {
    EXPECT_EQ(Written([](FstmStream* s) { FSTM_WriteU24BE(s, 0xAB123456u); }),
              (Bytes{0x12, 0x34, 0x56}));
    EXPECT_EQ(Written([](FstmStream* s) { FSTM_WriteU24LE(s, 0xAB123456u); }),
              (Bytes{0x56, 0x34, 0x12}));
    EXPECT_EQ(Written([](FstmStream* s) { FSTM_WriteU8(s, 0x1FFu); }), (Bytes{0xFF}));
    EXPECT_EQ(Written([](FstmStream* s) {
                  FSTM_WriteU16BE(s, 0x1234u);
                  FSTM_WriteU16LE(s, 0x1234u);
                  FSTM_WriteU32BE(s, 0x01020304u);
                  FSTM_WriteU32LE(s, 0x01020304u);
              }),
              (Bytes{0x12, 0x34, 0x34, 0x12, 1, 2, 3, 4, 4, 3, 2, 1}));
}

}  // namespace
