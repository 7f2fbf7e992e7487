#include "platform/profile.h"

#include <windows.h>

#include <cstring>

namespace platform {

namespace {

// GetPrivateProfileStringA into a buffer that grows until the text fits:
// the reader answers size - 1 for a cut value and size - 2 for a cut list
// of key names, so an answer that close to the size is tried again larger.
// Nothing is ever cut, as with the POSIX reader; the caller refuses what is
// too long for it.
std::string ReadProfileString(const char* section, const char* key, const char* path) {
    std::string buffer(1024, '\0');
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length = GetPrivateProfileStringA(section, key, "", buffer.data(), size, path);
        if (length + 2 < size || size >= (1u << 24)) {
            buffer.resize(length);
            return buffer;
        }
        buffer.assign(buffer.size() * 4, '\0');
    }
}

}  // namespace

bool ReadProfileSection(const std::string& path, std::string_view section,
                        std::vector<ProfileEntry>* entries) {
    entries->clear();
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return false;

    const std::string section_name(section);
    // With no key name the reader lists the section's key names, each ended
    // by a NUL.
    const std::string keys = ReadProfileString(section_name.c_str(), nullptr, path.c_str());
    for (std::size_t pos = 0; pos < keys.size();) {
        const std::string key = keys.c_str() + pos;
        pos += key.size() + 1;
        if (key.empty()) break;
        entries->push_back(
            {key, ReadProfileString(section_name.c_str(), key.c_str(), path.c_str())});
    }
    return true;
}

}  // namespace platform
