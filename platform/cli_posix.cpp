#include "platform/cli.h"

namespace platform {

bool SlashAlwaysStartsSwitch() { return false; }

bool TakesDoubleDashOptions() { return true; }

}  // namespace platform
