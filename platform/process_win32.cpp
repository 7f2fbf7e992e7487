#include "platform/process.h"

#include <windows.h>

namespace platform {

bool SetProcessPriority(ProcessPriority priority) {
    DWORD priority_class = NORMAL_PRIORITY_CLASS;
    switch (priority) {
        case ProcessPriority::kRealtime: priority_class = REALTIME_PRIORITY_CLASS; break;
        case ProcessPriority::kHigh: priority_class = HIGH_PRIORITY_CLASS; break;
        case ProcessPriority::kAboveNormal: priority_class = ABOVE_NORMAL_PRIORITY_CLASS; break;
        case ProcessPriority::kNormal: priority_class = NORMAL_PRIORITY_CLASS; break;
        case ProcessPriority::kBelowNormal: priority_class = BELOW_NORMAL_PRIORITY_CLASS; break;
        case ProcessPriority::kLow: priority_class = IDLE_PRIORITY_CLASS; break;
    }
    return SetPriorityClass(GetCurrentProcess(), priority_class) != 0;
}

int CurrentProcessId() { return static_cast<int>(GetCurrentProcessId()); }

}  // namespace platform
