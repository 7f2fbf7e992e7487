#include "platform/cli.h"

namespace platform {

bool SlashAlwaysStartsSwitch() { return true; }

}  // namespace platform
