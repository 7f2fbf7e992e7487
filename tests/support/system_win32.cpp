#include "tests/support/system.h"

namespace testsupport {

bool IsPosix() { return false; }

}  // namespace testsupport
