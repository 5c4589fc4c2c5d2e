#pragma once

#include <cstdint>
#include <string>

namespace larkspire {

// How many bytes a file or a whole folder holds; called from background threads.
class FolderSizes {
  public:
    virtual ~FolderSizes() = default;
    // The logical length of a file, or the sum over every regular file below a folder. Links are not
    // followed, hidden files and package contents count, unreadable entries are skipped, and a path
    // that is missing or unreadable gives 0.
    virtual std::int64_t sizeAtPath(const std::string& path) const = 0;
};

}  // namespace larkspire
