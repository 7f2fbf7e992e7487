// Interruption by the user or the system: the signals SIGINT, SIGTERM and
// SIGHUP on POSIX; the console control events (Ctrl+C, Ctrl+Break, closing
// the console window, logoff, shutdown) on Windows.
#pragma once

#include <atomic>

namespace platform {

// From now on each interruption only stores 1 into *flag, which must stay
// alive for the rest of the process; the process is not ended. POSIX: the
// signals are also unblocked, so that one that arrived while they were
// blocked is delivered now, and system calls interrupted by them are
// restarted. Windows: the handler runs on a thread of the console system.
// Returns false when a handler could not be installed.
[[nodiscard]] bool InstallInterruptHandler(std::atomic<int>* flag);

}  // namespace platform
