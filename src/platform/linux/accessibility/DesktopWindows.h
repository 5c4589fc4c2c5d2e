#pragma once

#include "platform/types/DisplayList.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace larkspire::linux_desktop {

// One top-level window of the session as the window system lists it.
struct DesktopWindow {
    std::uint32_t number = 0;                       // the client window's id
    std::optional<std::int32_t> processIdentifier;  // nothing when the program does not say
    std::string title;
    Rect client;                  // the program's own area, root coordinates, y downward
    Rect frame;                   // the same with the window manager's decoration around it
    bool onScreen = false;        // mapped, not minimised, on the current workspace
    bool desktopElement = false;  // the desktop background or a panel
    std::int64_t layer = 0;       // 0 for ordinary windows
    // Native Wayland programs measure their accessible extents from their own area's corner, since
    // they cannot know where the compositor put them.
    bool windowRelativeExtents = false;
    bool operator==(const DesktopWindow&) const = default;
};

// The session's window list, read when asked. Main thread only.
class DesktopWindows {
  public:
    virtual ~DesktopWindows() = default;
    virtual std::vector<DesktopWindow> windows() = 0;         // front to back; empty without a window system
    virtual std::optional<std::uint32_t> activeWindow() = 0;  // the window with the keyboard focus
    virtual double primaryScreenHeight() const = 0;           // 0 when there is no screen
    // Grows whenever the list or the active window may have changed; nothing when it cannot tell.
    virtual std::optional<std::uint64_t> changes() { return std::nullopt; }
    // Calls `handler` on the main thread whenever another window becomes the active one, for as long
    // as the returned token is held.
    virtual std::shared_ptr<void> observeActivations(std::function<void()> handler) = 0;
};

}  // namespace larkspire::linux_desktop
