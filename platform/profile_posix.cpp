#include "platform/profile.h"

#include <fstream>
#include <iterator>

namespace platform {

bool ReadProfileSection(const std::string& path, std::string_view section,
                        std::vector<ProfileEntry>* entries) {
    entries->clear();
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) return false;
    *entries = ParseProfileSection(text, section);
    return true;
}

}  // namespace platform
