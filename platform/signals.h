// The interruption signals (SIGINT, SIGTERM, SIGHUP).
#pragma once

#include <atomic>

namespace platform {

// From now on each interruption signal only stores 1 into *flag, which
// must stay alive for the rest of the process. The signals are also
// unblocked, so that one that arrived while they were blocked is delivered
// now. System calls interrupted by them are restarted. Returns false when a
// handler could not be installed.
[[nodiscard]] bool InstallInterruptHandler(std::atomic<int>* flag);

}  // namespace platform
