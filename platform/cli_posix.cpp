#include "platform/cli.h"

namespace platform {

bool SlashAlwaysStartsSwitch() { return false; }

}  // namespace platform
