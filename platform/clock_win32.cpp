#include "platform/clock.h"

#include <windows.h>

namespace platform {

std::uint32_t TickCountMs() { return static_cast<std::uint32_t>(GetTickCount()); }

}  // namespace platform
