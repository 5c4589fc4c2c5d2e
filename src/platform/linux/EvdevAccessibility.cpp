#include "platform/linux/EvdevAccessibility.h"

#include <cstring>
#include <dirent.h>
#include <unistd.h>

namespace larkspire::linux_desktop {

EvdevAccessibility::EvdevAccessibility(std::string inputDirectory, std::string uinputPath)
    : inputDirectory(std::move(inputDirectory)), uinputPath(std::move(uinputPath)) {}

bool EvdevAccessibility::isTrusted() const {
    if (access(uinputPath.c_str(), W_OK) != 0) return false;
    DIR* dir = opendir(inputDirectory.c_str());
    if (!dir) return false;
    bool readable = true;
    while (dirent* entry = readdir(dir)) {
        if (std::strncmp(entry->d_name, "event", 5) != 0) continue;
        std::string path = inputDirectory + "/" + entry->d_name;
        if (access(path.c_str(), R_OK) != 0) {
            readable = false;
            break;
        }
    }
    closedir(dir);
    return readable;
}

}  // namespace larkspire::linux_desktop
