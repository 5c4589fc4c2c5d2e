#pragma once

#include <filesystem>

namespace larkspire::linux_desktop {

// The user's configuration folder: $XDG_CONFIG_HOME when it is an absolute path, else ~/.config.
std::filesystem::path configHome();
// The user's data folder: $XDG_DATA_HOME when it is an absolute path, else ~/.local/share.
std::filesystem::path dataHome();

}  // namespace larkspire::linux_desktop
