// Fuzz target: the 80-bit extended numbers of AIFF. The first ten bytes are
// decoded as an extended number; a finite result must encode and decode back
// to itself. The next eight bytes (or the first eight when fewer) are taken
// as a double, which must survive an encode and decode exactly (infinities
// as the same infinity, NaN as a value that is not finite). Every decoded value also goes through
// the sampling-rate conversion.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "codecs/aiff_extended.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void RoundTrip(double x) {
    std::uint8_t bytes[kExtendedBytes];
    double_to_extended(x, bytes);
    const double back = extended_to_double(bytes);
    if (std::isnan(x)) {
        // The decoder applies the formula to every pattern, so the NaN pattern
        // comes back as an infinity; as a sampling rate either is refused.
        Check(!std::isfinite(back));
        Check(extended_rate_to_int32(back) == INT32_MIN);
    } else {
        Check(back == x);
        Check(std::signbit(back) == std::signbit(x) || x == 0.0);
    }
    if (x != 0.0 && !std::isnan(x)) Check((bytes[2] & 0x80) != 0);  // integer bit set
    (void)extended_rate_to_int32(back);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kExtendedBytes) return 0;
    const double decoded = extended_to_double(data);
    const std::int32_t rate = extended_rate_to_int32(decoded);
    if (std::isfinite(decoded) && decoded > -2147483648.0 && decoded < 2147483648.0) {
        Check(rate == static_cast<std::int32_t>(decoded));
    }
    if (!std::isnan(decoded)) RoundTrip(decoded);

    double x;
    const std::size_t offset = size >= kExtendedBytes + sizeof x ? kExtendedBytes : 0;
    std::memcpy(&x, data + offset, sizeof x);
    RoundTrip(x);
    return 0;
}
