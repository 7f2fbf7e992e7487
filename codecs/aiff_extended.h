// The 80-bit extended-precision number that AIFF uses for the sampling rate.
//
// Layout, 10 bytes, most significant first: bit 7 of byte 0 is the sign,
// the other 15 bits of bytes 0-1 the exponent biased by 16383, bytes 2-9 a
// 64-bit mantissa whose top bit is the integer bit:
//   value = (-1)^sign * mantissa * 2^(exponent - 16383 - 63).
#pragma once

#include <cstdint>

inline constexpr int kExtendedBytes = 10;

// Applies the formula above to every bit pattern: no special case for a zero
// exponent, the largest exponent or a clear integer bit. Values beyond the
// range of a double come out as infinities, values below it as zero.
double extended_to_double(const std::uint8_t bytes[kExtendedBytes]);

// Writes x as a normalised extended number (integer bit set); 0 gives ten
// zero bytes. Exact for every finite double, so for every sampling rate.
// Infinities get the largest exponent and the integer bit alone, NaN the
// largest exponent and the two top mantissa bits.
void double_to_extended(double x, std::uint8_t bytes[kExtendedBytes]);

// The sampling rate of a decoded 'COMM' chunk: x truncated toward zero to a
// signed 32-bit integer; a value that does not fit, an infinity or a NaN
// gives -2^31, which the header check then refuses.
std::int32_t extended_rate_to_int32(double x);
