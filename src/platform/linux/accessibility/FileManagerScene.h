#pragma once

#include "platform/linux/accessibility/AccessibilityBusWatcher.h"
#include "platform/linux/accessibility/DesktopWindows.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace larkspire::linux_desktop {

// A visible item of a file-manager window, ready for the badge: its file URL and its place on screen.
struct SceneItem {
    std::string url;  // file URL of folder + name, percent-encoded
    Rect extents;     // root coordinates
    bool selected = false;
};

// A file-manager window that the window list shows too, in root coordinates.
struct SceneWindow {
    std::int32_t processIdentifier = 0;
    std::uint32_t number = 0;      // the window list's number for it
    std::optional<Rect> viewport;  // nothing when the view lists no items on the bus
    std::vector<SceneItem> items;  // only those inside the viewport with a sound name
};

// What the badge can see of the file managers at one moment: the window list and the windows of
// the file managers matched to it.
struct FileManagerScene {
    std::vector<DesktopWindow> windows;  // front to back
    std::optional<std::uint32_t> activeWindow;
    std::vector<SceneWindow> fileManagerWindows;  // front to back

    // Matches each view to at most one listed window of its process: same title (unless the view has
    // none yet), then the closest geometry, then the one whose activity agrees, then the frontmost. A
    // view no window fits is left out.
    static FileManagerScene match(const std::vector<FileManagerWindow>& views,
                                  std::vector<DesktopWindow> windows,
                                  std::optional<std::uint32_t> activeWindow);
};

}  // namespace larkspire::linux_desktop
