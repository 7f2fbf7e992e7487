#include "platform/memory.h"

#include <windows.h>

namespace platform {

std::uint64_t AvailablePhysicalMemory() {
    MEMORYSTATUSEX status;
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) return 0;
    return static_cast<std::uint64_t>(status.ullAvailPhys);
}

}  // namespace platform
