// Millisecond tick count.
#pragma once

#include <cstdint>

namespace platform {

// Milliseconds from an arbitrary fixed point, wrapping around at 2^32 like
// a 32-bit tick counter. Never goes backwards between wraps.
std::uint32_t TickCountMs();

}  // namespace platform
