#include "platform/linux/files/ConfigHome.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace larkspire::linux_desktop {

namespace {

std::filesystem::path homeFolder() {
    if (const char* home = std::getenv("HOME"); home && home[0] == '/') return home;
    // Services and some sessions start without HOME; the password database still knows it.
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && found->pw_dir[0] == '/')
        return found->pw_dir;
    return "/";
}

}  // namespace

std::filesystem::path configHome() {
    // A relative value is invalid and must be ignored, so a changed working folder cannot move the settings.
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/') return config;
    return homeFolder() / ".config";
}

std::filesystem::path dataHome() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && data[0] == '/') return data;
    return homeFolder() / ".local/share";
}

}  // namespace larkspire::linux_desktop
