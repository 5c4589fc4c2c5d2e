#pragma once

#include <string>

namespace larkspire {

// Which directories the file manager shows as a single file (such as an application bundle).
class FilePackages {
  public:
    virtual ~FilePackages() = default;
    virtual bool isFilePackage(const std::string& path) const = 0;  // false for files and missing paths
};

}  // namespace larkspire
