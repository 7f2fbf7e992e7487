#include "tests/support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace testsupport {

TempDir::TempDir()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && base[0] != '\0' ? base : "/tmp") + "/tolmek-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    // Resolve links (e.g. a linked /tmp) so that paths compare as the program sees them.
    path_ = std::filesystem::canonical(buffer.data()).string();
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::Path(const std::string& name) const { return path_ + "/" + name; }

std::string TempDir::WriteFile(const std::string& name, const std::string& content) const
{
    std::string full = Path(name);
    std::filesystem::create_directories(std::filesystem::path(full).parent_path());
    std::ofstream file(full, std::ios::binary | std::ios::trunc);
    file.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!file) throw std::runtime_error("cannot write " + full);
    return full;
}

std::string TempDir::MakeDir(const std::string& name) const
{
    std::string full = Path(name);
    std::filesystem::create_directories(full);
    return full;
}

bool TempDir::Exists(const std::string& name) const
{
    std::error_code ignored;
    return std::filesystem::exists(Path(name), ignored);
}

std::string TempDir::ReadFile(const std::string& name) const
{
    std::ifstream file(Path(name), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

}  // namespace testsupport
