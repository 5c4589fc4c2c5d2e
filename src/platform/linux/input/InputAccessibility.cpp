#include "platform/linux/input/InputAccessibility.h"

#include <unistd.h>

namespace larkspire::linux_desktop {

namespace {

bool isEventDevice(const std::string& name) {
    return name.size() > 5 && name.starts_with("event") &&
           name.find_first_not_of("0123456789", 5) == std::string::npos;
}

}  // namespace

InputAccessibility::InputAccessibility(std::filesystem::path inputFolder, std::filesystem::path uinputDevice)
    : inputFolder(std::move(inputFolder)), uinputDevice(std::move(uinputDevice)) {}

bool InputAccessibility::isTrusted() const {
    // access() answers for this process's own groups and the ACLs a login session grants, so a
    // group added since the last login correctly counts only after logging in again.
    if (::access(uinputDevice.c_str(), W_OK) != 0) return false;
    std::error_code error;
    std::filesystem::directory_iterator entries(inputFolder, error);
    if (error) return false;
    bool any = false;
    for (; entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        auto name = entries->path().filename().string();
        if (!isEventDevice(name)) continue;
        if (::access(entries->path().c_str(), R_OK) != 0) return false;
        any = true;
    }
    return any && !error;
}

void InputAccessibility::prompt() {
    if (promptHandler) promptHandler();
}

}  // namespace larkspire::linux_desktop
