#include "platform/thread.h"

namespace platform {

int NiceOffsetForPriority(int level) {
    if (level <= kThreadPriorityIdle) return 19;
    if (level >= kThreadPriorityTimeCritical) return -20;
    if (level <= -2) return 10;
    if (level >= 2) return -10;
    return -5 * level;  // -1 -> 5, 0 -> 0, 1 -> -5
}

}  // namespace platform
