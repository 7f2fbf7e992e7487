#include "platform/profile.h"
#include "platform/ascii.h"

namespace platform {
namespace {

std::string_view Trim(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t'))
        ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t'))
        --end;
    return text.substr(begin, end - begin);
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

}  // namespace

std::vector<ProfileEntry> ParseProfileSection(std::string_view text, std::string_view section) {
    std::vector<ProfileEntry> entries;
    enum { kBefore, kInside, kAfter } state = kBefore;
    std::size_t pos = 0;
    while (pos < text.size() && state != kAfter) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        line = Trim(line);
        if (line.empty() || line.front() == ';') continue;

        if (line.front() == '[') {
            std::string_view name = line.substr(1);
            std::size_t close = name.find(']');
            if (close != std::string_view::npos) name = name.substr(0, close);
            bool match = EqualsNoCase(Trim(name), section);
            if (state == kInside) {
                state = kAfter;
            } else if (match) {
                state = kInside;
            }
            continue;
        }
        if (state != kInside) continue;

        std::string_view key = line;
        std::string_view value;
        std::size_t equals = line.find('=');
        if (equals != std::string_view::npos) {
            key = Trim(line.substr(0, equals));
            value = Unquote(Trim(line.substr(equals + 1)));
        }
        if (key.empty()) continue;
        bool seen = false;
        for (const ProfileEntry& entry : entries) {
            if (EqualsNoCase(entry.key, key)) {
                seen = true;
                break;
            }
        }
        if (!seen) entries.push_back({std::string(key), std::string(value)});
    }
    return entries;
}

}  // namespace platform
