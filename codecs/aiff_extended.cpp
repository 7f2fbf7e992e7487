#include "codecs/aiff_extended.h"

#include <cmath>
#include <limits>

namespace {

constexpr int kExponentBias = 16383;
constexpr unsigned kMaxExponent = 0x7FFF;

std::uint32_t get_u32_be(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

void put_u32_be(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

void put_fields(std::uint8_t* bytes, bool negative, unsigned biased_exponent,
                std::uint64_t mantissa) {
    const unsigned head = (negative ? 0x8000u : 0u) | (biased_exponent & kMaxExponent);
    bytes[0] = static_cast<std::uint8_t>(head >> 8);
    bytes[1] = static_cast<std::uint8_t>(head);
    put_u32_be(bytes + 2, static_cast<std::uint32_t>(mantissa >> 32));
    put_u32_be(bytes + 6, static_cast<std::uint32_t>(mantissa));
}

}  // namespace

double extended_to_double(const std::uint8_t bytes[kExtendedBytes]) {
    const double sign = (bytes[0] & 0x80) ? -1.0 : 1.0;
    const int exponent = ((bytes[0] << 8) | bytes[1]) & kMaxExponent;
    const double hi = get_u32_be(bytes + 2);
    const double lo = get_u32_be(bytes + 6);
    const double mantissa = hi * 0x1p-31 + lo * 0x1p-63;  // integer bit at 2^0
    // ldexp scales in one step; 2^(exponent - bias) formed on its own would
    // overflow or underflow where the product is still representable.
    return std::ldexp(mantissa * sign, exponent - kExponentBias);
}

void double_to_extended(double x, std::uint8_t bytes[kExtendedBytes]) {
    for (int i = 0; i < kExtendedBytes; ++i)
        bytes[i] = 0;
    if (x == 0.0) return;
    const bool negative = std::signbit(x);
    if (std::isnan(x)) {
        put_fields(bytes, negative, kMaxExponent, 0xC000000000000000ull);
        return;
    }
    if (std::isinf(x)) {
        put_fields(bytes, negative, kMaxExponent, 0x8000000000000000ull);
        return;
    }
    // frexp is exact: |x| = f * 2^p with 0.5 <= f < 1, so the integer bit of
    // the mantissa stands for 2^(p - 1). f scaled by 2^64 is an integer below
    // 2^64 with at most 53 significant bits, so the conversion loses nothing.
    // For an integer rate this is the rate shifted left until its top bit is
    // bit 63, with the low 32 bits zero.
    int p = 0;
    const double f = std::frexp(std::fabs(x), &p);
    const auto mantissa = static_cast<std::uint64_t>(std::ldexp(f, 64));
    put_fields(bytes, negative, static_cast<unsigned>(p - 1 + kExponentBias), mantissa);
}

std::int32_t extended_rate_to_int32(double x) {
    // Both bounds are exact doubles; NaN fails both comparisons.
    if (x > -2147483649.0 && x < 2147483648.0) return static_cast<std::int32_t>(x);
    return std::numeric_limits<std::int32_t>::min();
}
