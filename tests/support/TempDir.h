#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace larkspire::testing {

// A fresh folder under the system's temporary directory, removed with everything in it at the end.
class TempDir {
  public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "larkspire-XXXXXX").string();
        if (char* made = ::mkdtemp(pattern.data())) root = made;
    }
    ~TempDir() {
        std::error_code error;
        std::filesystem::remove_all(root, error);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return root; }
    std::filesystem::path operator/(const std::string& relative) const { return root / relative; }

    // Makes a folder (with its parents) and returns it.
    std::filesystem::path folder(const std::string& relative) const {
        std::filesystem::create_directories(root / relative);
        return root / relative;
    }
    // Makes a file with some content (with its folders) and returns it.
    std::filesystem::path file(const std::string& relative, const std::string& content = "data") const {
        auto path = root / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path) << content;
        return path;
    }

  private:
    std::filesystem::path root;
};

}  // namespace larkspire::testing
