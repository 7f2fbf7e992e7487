// Process scheduling priority.
#pragma once

namespace platform {

// Sets the nice value of the whole process (-20 highest .. 19 lowest).
// Returns false when the system refused it (e.g. raising priority without
// the privilege).
bool SetProcessNice(int nice_value);

}  // namespace platform
