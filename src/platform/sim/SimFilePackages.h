#pragma once

#include "platform/FilePackages.h"

#include <filesystem>

namespace larkspire::sim {

// Directories named like bundles (".app", ".bundle", ".framework") show as one file.
class SimFilePackages : public FilePackages {
  public:
    bool isFilePackage(const std::string& path) const override {
        std::error_code error;
        if (!std::filesystem::is_directory(path, error)) return false;
        std::string trimmed = path;
        while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
        auto extension = std::filesystem::path(trimmed).extension();
        return extension == ".app" || extension == ".bundle" || extension == ".framework";
    }
};

}  // namespace larkspire::sim
