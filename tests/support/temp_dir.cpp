#include "tests/support/temp_dir.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace testsupport {

TempDir::TempDir() {
    // $TMPDIR (else /tmp) on POSIX, the user's temporary folder on Windows.
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::filesystem::path folder;
    for (int attempt = 0;; ++attempt) {
        if (attempt == 100) throw std::runtime_error("cannot make a temporary folder");
        std::string name = "tolmek-test-";
        for (int i = 0; i < 6; ++i)
            name += kLetters[random() % (sizeof kLetters - 1)];
        folder = base / name;
        std::error_code error;
        if (std::filesystem::create_directory(folder, error)) break;
    }
    // Resolve links (e.g. a linked /tmp) so that paths compare as the program sees them.
    path_ = std::filesystem::canonical(folder).string();
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

// "/" inside `name` also becomes the system's separator ("\\" on Windows).
std::string TempDir::Path(const std::string& name) const {
    return std::filesystem::path(path_ + "/" + name).make_preferred().string();
}

std::string TempDir::WriteFile(const std::string& name, const std::string& content) const {
    std::string full = Path(name);
    std::filesystem::create_directories(std::filesystem::path(full).parent_path());
    std::ofstream file(full, std::ios::binary | std::ios::trunc);
    file.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!file) throw std::runtime_error("cannot write " + full);
    return full;
}

std::string TempDir::MakeDir(const std::string& name) const {
    std::string full = Path(name);
    std::filesystem::create_directories(full);
    return full;
}

bool TempDir::Exists(const std::string& name) const {
    std::error_code ignored;
    return std::filesystem::exists(Path(name), ignored);
}

std::string TempDir::ReadFile(const std::string& name) const {
    std::ifstream file(Path(name), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

}  // namespace testsupport
