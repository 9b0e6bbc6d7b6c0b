// What lies outside the fuzzing sandbox, listed cheaply so that it can be
// compared after every call: named folders, one level deep (names, sizes and
// times, or names alone where Wine itself touches the files), and a whole
// tree as a count and a digest, for the rarer deep comparison.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace reliability {

struct WatchedFolder {
    std::string path;
    bool namesOnly = false;
};

class Watch {
  public:
    explicit Watch(std::vector<WatchedFolder> folders);
    // The first folder whose listing differs from the one taken at
    // construction (or at the last rebase), with what changed; "" when none.
    std::string changed() const;
    void rebase();

  private:
    std::vector<std::string> listAll() const;
    std::vector<WatchedFolder> folders_;
    std::vector<std::string> listings_;
};

// Files and folders under root, counted and digested by name, size and time.
struct TreeSummary {
    uint64_t entries = 0;
    uint64_t digest = 0;
    bool operator==(const TreeSummary& o) const
    {
        return entries == o.entries && digest == o.digest;
    }
};
TreeSummary SummariseTree(const std::string& root);

} // namespace reliability
