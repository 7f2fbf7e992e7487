// Field readers and writers. Each moves exactly one field with one stream
// call through a 4-byte local buffer: the sample hooks of the codecs run
// through here for every sample.
#include "wavestream/fstm/byte_order.h"
#include "wavestream/fstm/fstm.h"

namespace {

inline std::uint32_t GetU8(const unsigned char* b) { return b[0]; }

inline void PutU8(unsigned char* b, std::uint32_t v) { b[0] = static_cast<unsigned char>(v); }

// Reads n bytes into a zeroed buffer at b + at (whatever does not arrive
// stays zero) and gives the buffer as Get reads it.
template <std::uint32_t (*Get)(const unsigned char*)>
inline std::uint32_t ReadField(FstmStream* stream, int at, int n) {
    unsigned char b[4] = {0, 0, 0, 0};
    (void)FSTM_Read(stream, b + at, n);
    return Get(b);
}

// Puts the value into the buffer as Put writes it and writes its n bytes
// from b + at.
template <void (*Put)(unsigned char*, std::uint32_t)>
inline std::int32_t WriteField(FstmStream* stream, std::uint32_t value, int at, int n) {
    unsigned char b[4];
    Put(b, value);
    FSTM_Write(stream, b + at, n);
    return 0;
}

}  // namespace

std::uint32_t FSTM_ReadU8(FstmStream* stream) { return ReadField<GetU8>(stream, 0, 1); }
std::uint32_t FSTM_ReadU16BE(FstmStream* stream) { return ReadField<GetU16BE>(stream, 0, 2); }
std::uint32_t FSTM_ReadU16LE(FstmStream* stream) { return ReadField<GetU16LE>(stream, 0, 2); }
// Bytes 0..2, byte 3 zero.
std::uint32_t FSTM_ReadS24BE(FstmStream* stream) { return ReadField<GetU32BE>(stream, 0, 3) >> 8; }
// Bytes 1..3, byte 0 zero.
std::uint32_t FSTM_ReadU24LE(FstmStream* stream) { return ReadField<GetU32LE>(stream, 1, 3) >> 8; }
std::uint32_t FSTM_ReadU32BE(FstmStream* stream) { return ReadField<GetU32BE>(stream, 0, 4); }
std::uint32_t FSTM_ReadU32LE(FstmStream* stream) { return ReadField<GetU32LE>(stream, 0, 4); }
// Low half first.
std::uint64_t FSTM_ReadU64LE(FstmStream* stream) {
    const std::uint64_t low = FSTM_ReadU32LE(stream);
    return low | (std::uint64_t{FSTM_ReadU32LE(stream)} << 32);
}

std::int32_t FSTM_WriteU8(FstmStream* s, std::uint32_t v) { return WriteField<PutU8>(s, v, 0, 1); }
std::int32_t FSTM_WriteU16BE(FstmStream* s, std::uint32_t v) {
    return WriteField<PutU16BE>(s, v, 0, 2);
}
std::int32_t FSTM_WriteU16LE(FstmStream* s, std::uint32_t v) {
    return WriteField<PutU16LE>(s, v, 0, 2);
}
std::int32_t FSTM_WriteU24BE(FstmStream* s, std::uint32_t v) {
    return WriteField<PutU32BE>(s, v, 1, 3);
}
std::int32_t FSTM_WriteU24LE(FstmStream* s, std::uint32_t v) {
    return WriteField<PutU32LE>(s, v, 0, 3);
}
std::int32_t FSTM_WriteU32BE(FstmStream* s, std::uint32_t v) {
    return WriteField<PutU32BE>(s, v, 0, 4);
}
std::int32_t FSTM_WriteU32LE(FstmStream* s, std::uint32_t v) {
    return WriteField<PutU32LE>(s, v, 0, 4);
}
std::int32_t FSTM_WriteU64LE(FstmStream* s, std::uint64_t v) {
    FSTM_WriteU32LE(s, static_cast<std::uint32_t>(v));
    return FSTM_WriteU32LE(s, static_cast<std::uint32_t>(v >> 32));
}
