#pragma once

#include "platform/Log.h"
#include "platform/linux/accessibility/DesktopWindows.h"
#include "platform/qt/compositor/KWinWindows.h"
#include "platform/qt/windows/QtOverlayWindow.h"
#include "platform/types/Signal.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace larkspire::qt {

// The window list on GNOME Shell: while Larkspire's extension is attached it reports the Shell's
// windows, native Wayland programs among them, and that report is the list; otherwise X11's, which
// sees only the programs on XWayland. Main thread only.
class GnomeShellWindows : public linux_desktop::DesktopWindows, public OverlayStacking {
  public:
    GnomeShellWindows(Log& log, DesktopWindows& fallback, OverlayStacking& fallbackStacking);

    // Called by the extension's link: a report as the extension sends it, and a detach, which
    // leaves the list to X11 again.
    void report(const std::string& json);
    void detached();
    // How an overlay is kept directly above a window of the report: by the extension, asked once
    // per overlay and window; false when it could not be asked.
    using OverlayStacker = std::function<bool(std::uint32_t overlay, const std::string& windowId)>;
    void stackOverlaysWith(OverlayStacker stacker) { stackOverlay = std::move(stacker); }

    std::vector<linux_desktop::DesktopWindow> windows() override;
    std::optional<std::uint32_t> activeWindow() override;
    double primaryScreenHeight() const override { return fallback.primaryScreenHeight(); }
    std::optional<std::uint64_t> changes() override;
    std::shared_ptr<void> observeActivations(std::function<void()> handler) override;

    bool stackAbove(std::uint32_t overlay, std::uint32_t windowNumber) override;
    bool isCompositing() override;

  private:
    void switched();

    Logger log;
    DesktopWindows& fallback;
    OverlayStacking& fallbackStacking;
    std::optional<KWinReport> latest;              // nothing while X11's list serves
    std::map<std::string, std::uint32_t> numbers;  // the Shell's window ids, numbered as they came
    OverlayStacker stackOverlay;
    std::map<std::uint32_t, std::string> stackedOverlays;  // overlay → the window the extension was told
    std::uint64_t generation = 0;                          // grows with each switch between the two lists
    std::uint64_t reports = 0;
    bool problemSaid = false;
    Signal activations;
};

}  // namespace larkspire::qt
