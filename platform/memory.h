// Physical memory as the kernel reports it.
#pragma once

#include <cstdint>

namespace platform {

// Bytes of physical memory available for new allocations without swapping
// (MemAvailable), or an estimate from the free pages when the kernel does
// not report it. 0 when nothing is known.
std::uint64_t AvailablePhysicalMemory();

}  // namespace platform
