// Field readers and writers. Each moves exactly one field with one stream
// call through a 4-byte local buffer: the sample hooks of the codecs run
// through here for every sample.
#include "wavestream/fstm/byte_order.h"
#include "wavestream/fstm/fstm.h"

namespace {

// Reads n bytes into b + at; whatever does not arrive stays zero.
inline void ReadInto(FstmStream* stream, unsigned char* b, int at, int n) {
  (void)FSTM_Read(stream, b + at, n);
}

}  // namespace

std::uint32_t FSTM_ReadU8(FstmStream* stream) {
  unsigned char b[4] = {0, 0, 0, 0};
  ReadInto(stream, b, 0, 1);
  return b[0];
}

std::uint32_t FSTM_ReadU16BE(FstmStream* stream) {
  unsigned char b[4] = {0, 0, 0, 0};
  ReadInto(stream, b, 0, 2);
  return GetU16BE(b);
}

std::uint32_t FSTM_ReadU16LE(FstmStream* stream) {
  unsigned char b[4] = {0, 0, 0, 0};
  ReadInto(stream, b, 0, 2);
  return GetU16LE(b);
}

std::uint32_t FSTM_ReadS24BE(FstmStream* stream) {
  unsigned char b[4] = {0, 0, 0, 0};
  ReadInto(stream, b, 0, 3);  // bytes 0..2, byte 3 zero
  return GetU32BE(b) >> 8;
}

std::uint32_t FSTM_ReadU24LE(FstmStream* stream) {
  unsigned char b[4] = {0, 0, 0, 0};
  ReadInto(stream, b, 1, 3);  // bytes 1..3, byte 0 zero
  return GetU32LE(b) >> 8;
}

std::uint32_t FSTM_ReadU32BE(FstmStream* stream) {
  unsigned char b[4] = {0, 0, 0, 0};
  ReadInto(stream, b, 0, 4);
  return GetU32BE(b);
}

std::uint32_t FSTM_ReadU32LE(FstmStream* stream) {
  unsigned char b[4] = {0, 0, 0, 0};
  ReadInto(stream, b, 0, 4);
  return GetU32LE(b);
}

std::int32_t FSTM_WriteU8(FstmStream* stream, std::uint32_t value) {
  const unsigned char b = static_cast<unsigned char>(value);
  FSTM_Write(stream, &b, 1);
  return 0;
}

std::int32_t FSTM_WriteU16BE(FstmStream* stream, std::uint32_t value) {
  unsigned char b[4];
  PutU16BE(b, value);
  FSTM_Write(stream, b, 2);
  return 0;
}

std::int32_t FSTM_WriteU16LE(FstmStream* stream, std::uint32_t value) {
  unsigned char b[4];
  PutU16LE(b, value);
  FSTM_Write(stream, b, 2);
  return 0;
}

std::int32_t FSTM_WriteU24BE(FstmStream* stream, std::uint32_t value) {
  unsigned char b[4];
  PutU32BE(b, value);
  FSTM_Write(stream, b + 1, 3);
  return 0;
}

std::int32_t FSTM_WriteU24LE(FstmStream* stream, std::uint32_t value) {
  unsigned char b[4];
  PutU32LE(b, value);
  FSTM_Write(stream, b, 3);
  return 0;
}

std::int32_t FSTM_WriteU32BE(FstmStream* stream, std::uint32_t value) {
  unsigned char b[4];
  PutU32BE(b, value);
  FSTM_Write(stream, b, 4);
  return 0;
}

std::int32_t FSTM_WriteU32LE(FstmStream* stream, std::uint32_t value) {
  unsigned char b[4];
  PutU32LE(b, value);
  FSTM_Write(stream, b, 4);
  return 0;
}
