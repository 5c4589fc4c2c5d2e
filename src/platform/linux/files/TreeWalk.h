#pragma once

#include "platform/FolderSizes.h"

namespace larkspire::linux_desktop {

// Folder sizes by a walk relative to folder descriptors (openat, getdents64, fstatat), without
// recursion; the subfolders of one walk are shared among a few threads, and each walk keeps only a
// bounded number of descriptors open, however deep or wide the tree.
class TreeWalk : public FolderSizes {
  public:
    // `threads` 0: one per processor, at most four.
    explicit TreeWalk(int threads = 0);
    std::int64_t sizeAtPath(const std::string& path) const override;

    int threadCount() const { return threads; }
    static constexpr int descriptorsPerThread = 32;

  private:
    int threads;
};

}  // namespace larkspire::linux_desktop
