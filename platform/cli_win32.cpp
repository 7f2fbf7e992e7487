#include "platform/cli.h"

namespace platform {

bool SlashAlwaysStartsSwitch() { return true; }

bool TakesDoubleDashOptions() { return false; }

}  // namespace platform
