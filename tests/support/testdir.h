// A temporary folder of the test's own, removed with everything in it when
// the test ends, and small file helpers for tests.
#pragma once

#include <string>

namespace testing_support {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; } // Windows path, no trailing backslash
    std::string file(const std::string& name) const { return path_ + "\\" + name; }

  private:
    std::string path_;
};

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);

// The deliverable of the given name in the build's output folder.
std::string Deliverable(const std::string& name);

} // namespace testing_support
