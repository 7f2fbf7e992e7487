#pragma once
// Packing and unpacking of 16- and 32-bit integers in a byte buffer of at
// least 4 bytes, in a named byte order. Values are composed from single
// bytes by shifts, so the result does not depend on the processor's order.

#include <cstdint>

inline uint32_t GetU16BE(const unsigned char* b) {
    return (static_cast<uint32_t>(b[0]) << 8) | b[1];
}
inline uint32_t GetU16LE(const unsigned char* b) {
    return (static_cast<uint32_t>(b[1]) << 8) | b[0];
}
inline uint32_t GetU32BE(const unsigned char* b) {
    return (static_cast<uint32_t>(b[0]) << 24) | (static_cast<uint32_t>(b[1]) << 16) |
           (static_cast<uint32_t>(b[2]) << 8) | b[3];
}
inline uint32_t GetU32LE(const unsigned char* b) {
    return (static_cast<uint32_t>(b[3]) << 24) | (static_cast<uint32_t>(b[2]) << 16) |
           (static_cast<uint32_t>(b[1]) << 8) | b[0];
}
inline void PutU16BE(unsigned char* b, uint32_t v) {
    b[0] = static_cast<unsigned char>(v >> 8);
    b[1] = static_cast<unsigned char>(v);
}
inline void PutU16LE(unsigned char* b, uint32_t v) {
    b[0] = static_cast<unsigned char>(v);
    b[1] = static_cast<unsigned char>(v >> 8);
}
inline void PutU32BE(unsigned char* b, uint32_t v) {
    b[0] = static_cast<unsigned char>(v >> 24);
    b[1] = static_cast<unsigned char>(v >> 16);
    b[2] = static_cast<unsigned char>(v >> 8);
    b[3] = static_cast<unsigned char>(v);
}
inline void PutU32LE(unsigned char* b, uint32_t v) {
    b[0] = static_cast<unsigned char>(v);
    b[1] = static_cast<unsigned char>(v >> 8);
    b[2] = static_cast<unsigned char>(v >> 16);
    b[3] = static_cast<unsigned char>(v >> 24);
}
