#pragma once

#include <optional>

namespace larkspire::qt {

// `larkspire --size PATH…`: prints the total size of the paths in bytes and the badge's text for it,
// without starting the tray program. Nothing when the arguments ask for something else; otherwise
// the exit status.
std::optional<int> runSizeCommand(int argc, char** argv);

}  // namespace larkspire::qt
