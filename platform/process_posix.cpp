#include "platform/process.h"

#include <sys/resource.h>
#include <unistd.h>

namespace platform {

bool SetProcessPriority(ProcessPriority priority) {
    int nice_value = 0;
    switch (priority) {
        case ProcessPriority::kRealtime: nice_value = -20; break;
        case ProcessPriority::kHigh: nice_value = -10; break;
        case ProcessPriority::kAboveNormal: nice_value = -5; break;
        case ProcessPriority::kNormal: nice_value = 0; break;
        case ProcessPriority::kBelowNormal: nice_value = 5; break;
        case ProcessPriority::kLow: nice_value = 19; break;
    }
    return setpriority(PRIO_PROCESS, 0, nice_value) == 0;
}

int CurrentProcessId() { return static_cast<int>(getpid()); }

}  // namespace platform
