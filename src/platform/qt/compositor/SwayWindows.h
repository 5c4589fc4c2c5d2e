#pragma once

#include "platform/Log.h"
#include "platform/linux/accessibility/DesktopWindows.h"

#include <memory>
#include <string>

namespace larkspire::qt {

// sway's window list through its IPC socket: the layout tree read when asked (once per turn of the
// main loop), and its window and workspace events, which arrive through the Qt event loop, for
// activations. A sway that goes away is said once and followed again when one listens anew in the
// runtime folder; meanwhile the list is empty.
class SwayWindows : public linux_desktop::DesktopWindows {
  public:
    // `socket` as sway's tools find it; `runtimeFolder` where a restarted sway puts its new one.
    SwayWindows(Log& log, std::string socket, std::string runtimeFolder);
    ~SwayWindows() override;
    SwayWindows(const SwayWindows&) = delete;
    SwayWindows& operator=(const SwayWindows&) = delete;

    bool isConnected() const;
    std::vector<linux_desktop::DesktopWindow> windows() override;
    std::optional<std::uint32_t> activeWindow() override;
    double primaryScreenHeight() const override;
    std::shared_ptr<void> observeActivations(std::function<void()> handler) override;

  private:
    struct State;
    std::unique_ptr<State> state;
};

}  // namespace larkspire::qt
