#include "platform/process.h"

#include <sys/resource.h>

namespace platform {

bool SetProcessNice(int nice_value)
{
    return setpriority(PRIO_PROCESS, 0, nice_value) == 0;
}

}  // namespace platform
