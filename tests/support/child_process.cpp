// The part of the child runner that is the same on every system: the
// tolmek binary built with the tests, run through RunChild.
#include "tests/support/child_process.h"

namespace testsupport {

ChildResult RunTolmek(const std::vector<std::string>& args, const std::string& cwd,
                      const std::vector<std::string>& env) {
    ChildOptions options;
    options.program = TOLMEK_BIN;
    options.args = args;
    options.env = env;
    options.cwd = cwd;
    return RunChild(options);
}

}  // namespace testsupport
