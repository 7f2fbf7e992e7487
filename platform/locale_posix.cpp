#include "platform/locale.h"

#include <cstdlib>

namespace platform {

std::string LocaleName() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && value[0] != '\0') return value;
    }
    return {};
}

ConsoleLanguage DetectConsoleLanguage() { return ClassifyLocale(LocaleName()); }

}  // namespace platform
