#include "platform/cli.h"

namespace platform {

bool SlashAlwaysStartsSwitch() { return false; }

bool TakesDoubleDashOptions() { return true; }

bool RefusesUnknownArguments() { return true; }

}  // namespace platform
