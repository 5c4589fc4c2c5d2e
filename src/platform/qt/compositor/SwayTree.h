#pragma once

#include "platform/linux/accessibility/DesktopWindows.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace larkspire::qt {

// The windows of sway's layout tree as its `get_tree` answer describes them.
struct SwayTree {
    std::vector<linux_desktop::DesktopWindow> windows;  // front to back, those on screen first
    std::optional<std::uint32_t> focused;               // the window with the keyboard focus

    // Nothing when the text is no tree: not JSON, or no root with outputs. Windows without a sound
    // id or rectangle are left out; nesting deeper than any layout is cut off.
    static std::optional<SwayTree> parse(std::string_view json);
};

}  // namespace larkspire::qt
