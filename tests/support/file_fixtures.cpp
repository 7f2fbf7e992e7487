#include "tests/support/file_fixtures.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <random>

#include "runtime/nuverr.h"

namespace filetest {
namespace {

std::mutex g_lines_mutex;
std::vector<std::string> g_lines;

int Collect(std::int32_t, const char* message) {
    std::lock_guard<std::mutex> lock(g_lines_mutex);
    g_lines.emplace_back(message != nullptr ? message : "");
    return 0;
}

}  // namespace

ScratchDir::ScratchDir() {
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
        auto candidate = base / ("tolmek-file-" + std::to_string(rd()) + "-" +
                                 std::to_string(counter.fetch_add(1)));
        std::error_code ec;
        if (std::filesystem::create_directory(candidate, ec)) {
            root_ = candidate.string();
            break;
        }
    }
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
}

std::string ScratchDir::Path(const std::string& name) const { return root_ + "/" + name; }

ErrorCapture::ErrorCapture() {
    clear();
    NUVERR_SetCallback(Collect, 0);
}

ErrorCapture::~ErrorCapture() { NUVERR_SetCallback(nullptr, 0); }

std::vector<std::string> ErrorCapture::lines() const {
    std::lock_guard<std::mutex> lock(g_lines_mutex);
    return g_lines;
}

void ErrorCapture::clear() {
    std::lock_guard<std::mutex> lock(g_lines_mutex);
    g_lines.clear();
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool WriteSparse(const std::string& path, std::int64_t size, const std::vector<Piece>& pieces) {
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        for (const Piece& piece : pieces) {
            out.seekp(static_cast<std::streamoff>(piece.offset));
            out.write(reinterpret_cast<const char*>(piece.bytes.data()),
                      static_cast<std::streamsize>(piece.bytes.size()));
        }
        if (!out) return false;
    }
    std::error_code ec;
    std::filesystem::resize_file(path, static_cast<std::uintmax_t>(size), ec);
    return !ec;
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

ByteBuilder& ByteBuilder::Str(const std::string& text) {
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    return *this;
}
ByteBuilder& ByteBuilder::U8(std::uint32_t v) {
    bytes_.push_back(static_cast<unsigned char>(v));
    return *this;
}
ByteBuilder& ByteBuilder::U16LE(std::uint32_t v) { return U8(v).U8(v >> 8); }
ByteBuilder& ByteBuilder::U32LE(std::uint32_t v) {
    return U8(v).U8(v >> 8).U8(v >> 16).U8(v >> 24);
}
ByteBuilder& ByteBuilder::U16BE(std::uint32_t v) { return U8(v >> 8).U8(v); }
ByteBuilder& ByteBuilder::U32BE(std::uint32_t v) {
    return U8(v >> 24).U8(v >> 16).U8(v >> 8).U8(v);
}
ByteBuilder& ByteBuilder::Zeros(std::size_t n) {
    bytes_.insert(bytes_.end(), n, 0);
    return *this;
}
ByteBuilder& ByteBuilder::Append(const Bytes& more) {
    bytes_.insert(bytes_.end(), more.begin(), more.end());
    return *this;
}
void ByteBuilder::PatchU32LE(std::size_t offset, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        bytes_.at(offset + i) = static_cast<unsigned char>(v >> (8 * i));
}

}  // namespace filetest
