#include "tests/support/system.h"

namespace testsupport {

bool IsPosix() { return true; }

}  // namespace testsupport
