#pragma once

#include "platform/Log.h"
#include "platform/linux/accessibility/DesktopWindows.h"

#include <memory>
#include <string>

namespace larkspire::qt {

struct CompositorWindows {
    std::unique_ptr<linux_desktop::DesktopWindows> windows;  // nothing where no compositor tells
    std::string description;                                 // which compositor tells them, or why none does
};

// The window list of the Wayland compositor this session runs: sway's IPC, or a script in KWin.
CompositorWindows compositorWindows(Log& log);

}  // namespace larkspire::qt
