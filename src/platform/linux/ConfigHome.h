#pragma once

#include <filesystem>

namespace larkspire::linux_desktop {

// The user's configuration folder: $XDG_CONFIG_HOME when it is an absolute path, else ~/.config.
std::filesystem::path configHome();

}  // namespace larkspire::linux_desktop
