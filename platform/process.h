// Process scheduling priority, and the process number.
#pragma once

namespace platform {

// The six priority levels of the command line, highest first.
enum class ProcessPriority { kRealtime, kHigh, kAboveNormal, kNormal, kBelowNormal, kLow };

// Sets the priority of the whole process: on Windows the priority class
// (realtime, high, above normal, normal, below normal, idle), on POSIX the
// nice value (-20, -10, -5, 0, 5, 19). Returns false when the system refused
// it (e.g. raising priority without the privilege).
bool SetProcessPriority(ProcessPriority priority);

// The number the system knows this process by.
int CurrentProcessId();

}  // namespace platform
