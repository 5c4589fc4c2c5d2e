#pragma once

#include "platform/Log.h"
#include "platform/linux/accessibility/DesktopWindows.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace larkspire::qt {

// What KWin's script last reported, as the window list shows it.
struct KWinReport {
    std::vector<linux_desktop::DesktopWindow> windows;  // front to back
    std::optional<std::uint32_t> active;

    // Nothing when the text is no report. KWin names windows by UUID; `numbers` keeps the number
    // each one got, so a window keeps its number from report to report.
    static std::optional<KWinReport> parse(std::string_view json,
                                           std::map<std::string, std::uint32_t>& numbers);
};

// The script KWin runs for Larkspire: it calls `Report` on `destination` (a bus name) at `path`
// whenever a window appears, goes, moves, is renamed, restacked or activated, or the desktop changes.
std::string kwinWindowScript(const std::string& destination, const std::string& path);

// KWin's window list: a script loaded into KWin over its scripting interface reports the windows
// on the session bus whenever they change, so nothing is asked while nothing changes. A refused
// script is said once and the list stays empty; a KWin that restarts gets the script again.
class KWinWindows : public linux_desktop::DesktopWindows {
  public:
    explicit KWinWindows(Log& log);
    ~KWinWindows() override;
    KWinWindows(const KWinWindows&) = delete;
    KWinWindows& operator=(const KWinWindows&) = delete;

    static bool isRunning();  // KWin owns its name on the session bus
    bool isLoaded() const;    // the script runs
    std::vector<linux_desktop::DesktopWindow> windows() override;
    std::optional<std::uint32_t> activeWindow() override;
    double primaryScreenHeight() const override;
    std::shared_ptr<void> observeActivations(std::function<void()> handler) override;

  private:
    struct State;
    std::unique_ptr<State> state;
};

}  // namespace larkspire::qt
