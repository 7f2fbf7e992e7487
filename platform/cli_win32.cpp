#include "platform/cli.h"

namespace platform {

bool SlashAlwaysStartsSwitch() { return true; }

bool TakesDoubleDashOptions() { return false; }

bool RefusesUnknownArguments() { return false; }

}  // namespace platform
