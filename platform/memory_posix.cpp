#include "platform/memory.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace platform {

std::uint64_t AvailablePhysicalMemory() {
    if (std::FILE* meminfo = std::fopen("/proc/meminfo", "r")) {
        char line[256];
        unsigned long long kib = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, meminfo) != nullptr) {
            if (std::strncmp(line, "MemAvailable:", 13) == 0) {
                found = std::sscanf(line + 13, "%llu", &kib) == 1;
            }
        }
        std::fclose(meminfo);
        if (found) return static_cast<std::uint64_t>(kib) * 1024u;
    }
    long pages = sysconf(_SC_AVPHYS_PAGES);
    long page_size = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || page_size <= 0) return 0;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page_size);
}

}  // namespace platform
