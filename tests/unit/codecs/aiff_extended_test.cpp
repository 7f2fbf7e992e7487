#include "codecs/aiff_extended.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

using Bytes = std::array<std::uint8_t, kExtendedBytes>;

Bytes encode(double x) {
    Bytes b{};
    double_to_extended(x, b.data());
    return b;
}

double decode(const Bytes& b) { return extended_to_double(b.data()); }

struct RateCase {
    double value;
    Bytes bytes;
};

// Byte patterns as other AIFF writers store them.
const RateCase kCommonRates[] = {
    {44100.0, {0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}},
    {48000.0, {0x40, 0x0E, 0xBB, 0x80, 0, 0, 0, 0, 0, 0}},
    {8000.0, {0x40, 0x0B, 0xFA, 0x00, 0, 0, 0, 0, 0, 0}},
    {10.0, {0x40, 0x02, 0xA0, 0x00, 0, 0, 0, 0, 0, 0}},
    {22050.0, {0x40, 0x0D, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}},
    {96000.0, {0x40, 0x0F, 0xBB, 0x80, 0, 0, 0, 0, 0, 0}},
    {384000.0, {0x40, 0x11, 0xBB, 0x80, 0, 0, 0, 0, 0, 0}},
    {1.0, {0x3F, 0xFF, 0x80, 0x00, 0, 0, 0, 0, 0, 0}},
    {0.5, {0x3F, 0xFE, 0x80, 0x00, 0, 0, 0, 0, 0, 0}},
    {-44100.0, {0xC0, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}},
    {0.0, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
};

TEST(ExtendedRate, CommonRatesEncodeToKnownBytesAndDecodeBack) {
    for (const RateCase& c : kCommonRates) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(encode(c.value), c.bytes);
        EXPECT_EQ(decode(c.bytes), c.value);
    }
}

TEST(ExtendedRate, EveryIntegerRateIsExactWithTheTopBitAsIntegerBit) {
    // Powers of two are where an exponent taken from a logarithm goes wrong.
    for (std::uint32_t rate = 1; rate <= 384000; ++rate) {
        const Bytes b = encode(rate);
        const int top = std::bit_width(rate) - 1;
        const std::uint64_t mantissa = std::uint64_t{rate} << (63 - top);
        Bytes want{};
        const unsigned exponent = 16383u + static_cast<unsigned>(top);
        want[0] = static_cast<std::uint8_t>(exponent >> 8);
        want[1] = static_cast<std::uint8_t>(exponent);
        for (int i = 0; i < 8; ++i)
            want[2 + i] = static_cast<std::uint8_t>(mantissa >> (56 - 8 * i));
        ASSERT_EQ(b, want) << rate;
        ASSERT_EQ(decode(b), rate) << rate;
    }
}

TEST(ExtendedRate, FractionalRateTruncatesTowardZero) {
    const Bytes b = {0x40, 0x0D, 0xAD, 0xDD, 0x17, 0x45, 0xD1, 0x74, 0x58, 0x00};
    const double x = decode(b);
    EXPECT_NEAR(x, 22254.545454545, 1e-6);
    EXPECT_EQ(extended_rate_to_int32(x), 22254);
    EXPECT_EQ(extended_rate_to_int32(-0.9), 0);
    EXPECT_EQ(extended_rate_to_int32(-10.7), -10);
}

TEST(ExtendedRate, FiniteDoublesRoundTripExactly) {
    const double values[] = {22254.545454545453,
                             1e-300,
                             -3.25,
                             1e300,
                             std::numeric_limits<double>::denorm_min(),
                             std::numeric_limits<double>::max()};
    for (double v : values)
        EXPECT_EQ(decode(encode(v)), v) << v;
}

TEST(ExtendedRate, EdgeExponentsFollowTheFormula) {
    // Zero exponent: 2^-16383 underflows to zero whatever the mantissa.
    EXPECT_EQ(decode({0x00, 0x00, 0x80, 0, 0, 0, 0, 0, 0, 0}), 0.0);
    // A clear integer bit is not special: 0x2C44... is 0.3458... * 2^15.
    EXPECT_EQ(decode({0x40, 0x0E, 0x2C, 0x44, 0, 0, 0, 0, 0, 0}), 11332.0);
    // The largest exponent is an ordinary (huge) number here: an infinity.
    EXPECT_TRUE(std::isinf(decode({0x7F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0})));
    EXPECT_TRUE(std::isinf(decode({0x7F, 0xFF, 0xC0, 0, 0, 0, 0, 0, 0, 0})));
    // Exponents just inside a double's range still decode.
    EXPECT_EQ(decode({0x43, 0xFE, 0x80, 0, 0, 0, 0, 0, 0, 0}), std::ldexp(1.0, 1023));
    EXPECT_TRUE(std::isinf(decode({0x43, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0})));
}

TEST(ExtendedRate, NonFiniteAndOutOfRangeRatesBecomeMinusTwoToThe31) {
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    EXPECT_EQ(extended_rate_to_int32(std::numeric_limits<double>::infinity()), kMin);
    EXPECT_EQ(extended_rate_to_int32(-std::numeric_limits<double>::infinity()), kMin);
    EXPECT_EQ(extended_rate_to_int32(std::numeric_limits<double>::quiet_NaN()), kMin);
    EXPECT_EQ(extended_rate_to_int32(2147483648.0), kMin);
    EXPECT_EQ(extended_rate_to_int32(-2147483649.0), kMin);
    EXPECT_EQ(extended_rate_to_int32(2147483647.9), 2147483647);
    EXPECT_EQ(extended_rate_to_int32(-2147483648.9), kMin);
    // The largest exponent with the integer bit, as a file could hold it.
    EXPECT_EQ(extended_rate_to_int32(decode({0x7F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0})), kMin);
}

}  // namespace
