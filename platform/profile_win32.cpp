#include "platform/profile.h"

#include <windows.h>

#include <cstring>

namespace platform {

namespace {

constexpr DWORD kKeyListSize = 1024;
constexpr DWORD kValueSize = 256;

}  // namespace

bool ReadProfileSection(const std::string& path, std::string_view section,
                        std::vector<ProfileEntry>* entries)
{
    entries->clear();
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;

    const std::string section_name(section);
    // With no key name, the reader lists the section's key names, each ended
    // by a NUL, the list by a second one.
    char keys[kKeyListSize] = {};
    GetPrivateProfileStringA(section_name.c_str(), nullptr, "", keys, kKeyListSize, path.c_str());
    for (const char* key = keys; *key != '\0' && key < keys + kKeyListSize; key += std::strlen(key) + 1) {
        char value[kValueSize] = {};
        GetPrivateProfileStringA(section_name.c_str(), key, "", value, kValueSize, path.c_str());
        entries->push_back({key, value});
    }
    return true;
}

}  // namespace platform
