#include "platform/habits.h"

namespace platform {

bool TakesDoubleDashOptions() { return true; }

}  // namespace platform
