// A fresh temporary folder for one test, removed with everything in it
// when the object goes away.
#pragma once

#include <string>

namespace testsupport {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Absolute path of the folder (no trailing "/").
    const std::string& path() const { return path_; }
    // Absolute path of `name` inside the folder, with the system's separators.
    std::string Path(const std::string& name) const;

    // Writes `content` to `name` (creating parent folders); returns its path.
    std::string WriteFile(const std::string& name, const std::string& content) const;
    std::string MakeDir(const std::string& name) const;
    bool Exists(const std::string& name) const;
    std::string ReadFile(const std::string& name) const;

  private:
    std::string path_;
};

}  // namespace testsupport
