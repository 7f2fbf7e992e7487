#include "platform/paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

namespace platform {

bool GetCurrentDir(std::string* out) {
    std::vector<char> buffer(PATH_MAX + 1);
    for (;;) {
        if (getcwd(buffer.data(), buffer.size()) != nullptr) {
            *out = buffer.data();
            return true;
        }
        if (errno != ERANGE || buffer.size() > (1u << 20)) return false;
        buffer.resize(buffer.size() * 2);
    }
}

bool FullPath(const std::string& path, std::string* out) {
    if (path.empty()) return false;
    std::string joined;
    if (path[0] == '/') {
        joined = path;
    } else {
        if (!GetCurrentDir(&joined)) return false;
        joined += '/';
        joined += path;
    }

    std::vector<std::string> parts;
    std::size_t pos = 0;
    while (pos <= joined.size()) {
        std::size_t next = joined.find('/', pos);
        if (next == std::string::npos) next = joined.size();
        std::string part = joined.substr(pos, next - pos);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        pos = next + 1;
    }

    std::string result;
    for (const std::string& part : parts) {
        result += '/';
        result += part;
    }
    if (result.empty()) {
        result.push_back('/');
    } else if (path.back() == '/') {
        result += '/';
    }
    *out = std::move(result);
    return true;
}

PathInfo GetPathInfo(const std::string& path) {
    PathInfo info;
    struct stat st;
    if (path.empty()) {
        info.error_number = ENOENT;
        return info;
    }
    if (stat(path.c_str(), &st) != 0) {
        info.error_number = errno;
        return info;
    }
    if (S_ISDIR(st.st_mode)) {
        info.kind = PathKind::kDirectory;
    } else {
        info.kind = PathKind::kFile;
        info.size = static_cast<std::int64_t>(st.st_size);
    }
    return info;
}

bool CanOpenForReading(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
    close(fd);
    return ok;
}

bool GetProgramPath(std::string* out) {
    std::vector<char> buffer(PATH_MAX + 1);
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) return false;
        if (static_cast<std::size_t>(n) < buffer.size()) {
            out->assign(buffer.data(), static_cast<std::size_t>(n));
            return true;
        }
        if (buffer.size() > (1u << 20)) return false;
        buffer.resize(buffer.size() * 2);
    }
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    std::string joined = folder;
    if (joined.empty() || joined.back() != '/') joined += '/';
    return joined + name;
}

std::string::size_type FileNameOffset(const std::string& path) {
    const std::string::size_type slash = path.find_last_of('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

bool DeleteFileAt(const std::string& path) { return unlink(path.c_str()) == 0; }

}  // namespace platform
