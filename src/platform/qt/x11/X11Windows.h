#pragma once

#include "platform/linux/accessibility/DesktopWindows.h"
#include "platform/qt/windows/QtOverlayWindow.h"

#include <memory>
#include <string>

namespace larkspire::qt {

// The X11 session's window list on a connection of its own: the window manager's stacking list,
// each client's process, title and area, and the active window. The server reports every change of
// them through the Qt event loop, so the list is read again only after one: a read is one batch of
// requests and one wait for their answers, and asking while nothing changed costs no round trip.
// Without an X11 display (Wayland, offscreen) it lists nothing.
class X11Windows : public linux_desktop::DesktopWindows, public OverlayStacking {
  public:
    X11Windows();                                     // on Qt's X11 display, when Qt runs on one
    explicit X11Windows(const std::string& display);  // that display, whatever Qt runs on
    ~X11Windows() override;
    X11Windows(const X11Windows&) = delete;
    X11Windows& operator=(const X11Windows&) = delete;

    bool isConnected() const;
    std::vector<linux_desktop::DesktopWindow> windows() override;
    std::optional<std::uint32_t> activeWindow() override;
    double primaryScreenHeight() const override;
    std::optional<std::uint64_t> changes() override;
    std::shared_ptr<void> observeActivations(std::function<void()> handler) override;

    // Restacks `window` directly above the window manager's frame around `client`; false when the
    // client is gone. `window` must be one the window manager leaves alone (override-redirect).
    bool stackAbove(std::uint32_t window, std::uint32_t client) override;
    bool isCompositing() override;  // a compositing manager owns the screen's selection

    // How often the list was read from the server, and overlays restacked: for tests and benchmarks.
    int listReads() const;
    int restacks() const;

  private:
    struct State;
    std::unique_ptr<State> state;
};

}  // namespace larkspire::qt
