#pragma once
// Fixtures for the file-side tests: a scratch folder, capture of the lines
// reported through the error callback, whole-file byte access and a builder
// for little- and big-endian byte strings.

#include <cstdint>
#include <string>
#include <vector>

namespace filetest {

using Bytes = std::vector<unsigned char>;
// The lines an ErrorCapture collected, as tests compare them.
using Lines = std::vector<std::string>;

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::string Path(const std::string& name) const;
    const std::string& root() const { return root_; }

  private:
    std::string root_;
};

// Registers a callback that collects every reported line; restores the
// do-nothing callback when it goes.
class ErrorCapture {
  public:
    ErrorCapture();
    ~ErrorCapture();
    ErrorCapture(const ErrorCapture&) = delete;
    ErrorCapture& operator=(const ErrorCapture&) = delete;
    std::vector<std::string> lines() const;
    void clear();
};

bool WriteFile(const std::string& path, const Bytes& bytes);
Bytes ReadFile(const std::string& path);
// A file of `size` bytes that holds `pieces` (offset, bytes) and zeros
// elsewhere, written sparse: the zeros take no disk space where the file
// system allows.
struct Piece {
    std::int64_t offset;
    Bytes bytes;
};
bool WriteSparse(const std::string& path, std::int64_t size, const std::vector<Piece>& pieces);
bool FileExists(const std::string& path);

// Appends fields to a byte string.
class ByteBuilder {
  public:
    ByteBuilder& Str(const std::string& text);  // the characters, no terminator
    ByteBuilder& U8(std::uint32_t v);
    ByteBuilder& U16LE(std::uint32_t v);
    ByteBuilder& U32LE(std::uint32_t v);
    ByteBuilder& U16BE(std::uint32_t v);
    ByteBuilder& U32BE(std::uint32_t v);
    ByteBuilder& Zeros(std::size_t n);
    ByteBuilder& Append(const Bytes& more);
    Bytes& bytes() { return bytes_; }
    std::size_t size() const { return bytes_.size(); }
    // Overwrites 4 bytes at offset with v, little-endian.
    void PatchU32LE(std::size_t offset, std::uint32_t v);

  private:
    Bytes bytes_;
};

}  // namespace filetest
