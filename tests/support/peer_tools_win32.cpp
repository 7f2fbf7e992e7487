// On Windows the peers (sox, python3, libsndfile) are not at hand: every
// interop test finds its peer missing and skips itself.
#include "tests/support/peer_tools.h"

namespace interop {

bool HaveProgram(const std::string&) { return false; }

bool Shell(const std::string&) { return false; }

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

SoxHeader SoxInfo(const std::string&) { return {}; }

Samples SoxSamples(const std::string&, const std::string&) { return {}; }

}  // namespace interop
