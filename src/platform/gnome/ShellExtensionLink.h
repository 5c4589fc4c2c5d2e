#pragma once

#include "platform/Log.h"
#include "platform/linux/clipboard/ClipboardFiles.h"
#include "platform/types/Menu.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace larkspire::gnome {

// The link to Larkspire's GNOME Shell extension on the session bus (docs/gnome-shell.md). Larkspire
// owns its bus name and serves one object; the extension, running inside the Shell, finds it by
// that name, checks that Larkspire itself owns it, and attaches. Only the Shell's connection is
// answered. Callbacks come on the main thread, through GLib's main context, which Qt runs.
class ShellExtensionLink {
  public:
    static constexpr const char* busName = "de.halvik.Quirefold";
    static constexpr const char* objectPath = "/de/halvik/Quirefold/Larkspire";
    static constexpr const char* interfaceName = "de.halvik.Quirefold.Larkspire1";
    static constexpr const char* extensionPath = "/de/halvik/Quirefold/ShellExtension";
    static constexpr const char* extensionInterface = "de.halvik.Quirefold.ShellExtension1";
    static constexpr const char* extensionUuid = "larkspire@halvik.de";

    struct Tray {
        std::string iconName;
        std::string tooltip;
        unsigned count = 0;
    };
    struct Handlers {
        std::function<void()> attachedChanged;                          // attached or detached
        std::function<void(FileClipboardContent)> clipboardChanged;     // the file lists, after each change
        std::function<void(const std::string& report)> windowsChanged;  // the Shell's windows as JSON
        std::function<Tray()> tray;                                     // what the top-bar icon shows
        std::function<Menu()> menu;                                     // built each time it opens
        std::function<void(const std::string& title)> menuItemChosen;   // from the top-bar menu
    };

    // Nothing without a session bus, with the reason in `reason`.
    static std::unique_ptr<ShellExtensionLink> connect(Log& log, std::string version, Handlers handlers,
                                                       std::string& reason);
    ~ShellExtensionLink();
    ShellExtensionLink(const ShellExtensionLink&) = delete;
    ShellExtensionLink& operator=(const ShellExtensionLink&) = delete;

    bool isAttached() const;
    // Puts the files on the clipboard through the extension; false when none is attached.
    bool writeClipboard(const FileClipboardContent& content);
    // Keeps the overlay (an X11 window id) directly above the Shell's window of that id, as the
    // window report names it; false when none is attached.
    bool stackOverlay(std::uint32_t overlay, const std::string& windowId);
    // The top-bar icon asks again for what it shows.
    void trayChanged();
    // Asks the Shell to switch the extension on (it asks the user where it must).
    void enableExtension();
    // True when GNOME Shell is on the session bus now.
    bool shellRunning() const;
    // Once, a while after start: without the extension attached, says so and what the user loses
    // (on GNOME Shell), then calls `stillDetached`. Costs one timer, once.
    void checkAttachedSoon(double seconds, std::function<void()> stillDetached);

    struct State;

  private:
    ShellExtensionLink() = default;
    std::shared_ptr<State> shared;  // async replies hold it weakly
};

// What the user is told on GNOME Shell when the extension is missing, off, broken or too old for
// the Shell; nothing when it runs. `state` as org.gnome.Shell.Extensions reports it, nothing when
// the extension is not installed.
std::optional<std::string> missingExtensionMessage(std::optional<double> state,
                                                   const std::string& shellVersion, const std::string& error);

}  // namespace larkspire::gnome
