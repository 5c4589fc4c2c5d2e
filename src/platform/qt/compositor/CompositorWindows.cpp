#include "platform/qt/compositor/CompositorWindows.h"

#include "platform/qt/compositor/KWinWindows.h"
#include "platform/qt/compositor/SwayIpc.h"
#include "platform/qt/compositor/SwayWindows.h"

#include <cstdlib>

namespace larkspire::qt {

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

CompositorWindows compositorWindows(Log& log) {
    if (environment("WAYLAND_DISPLAY").empty() && environment("XDG_SESSION_TYPE") != "wayland")
        return {nullptr, "weder X11 noch Wayland"};
    // sway puts its socket into the runtime folder, or into /tmp without one.
    auto runtimeFolder = environment("XDG_RUNTIME_DIR");
    if (runtimeFolder.empty()) runtimeFolder = "/tmp";
    auto socket = sway::socketPath();
    if (socket.empty()) {
        auto found = sway::socketsIn(runtimeFolder);
        if (!found.empty()) socket = found.front();
    }
    if (!socket.empty()) {
        auto sway = std::make_unique<SwayWindows>(log, socket, runtimeFolder);
        return {std::move(sway), "sway über " + socket};
    }
    if (KWinWindows::isRunning()) {
        auto kwin = std::make_unique<KWinWindows>(log);
        if (!kwin->isLoaded()) return {nullptr, "KWin nimmt das Skript nicht an"};
        return {std::move(kwin), "KWin-Skript"};
    }
    return {nullptr, "der Compositor nennt seine Fenster nicht (weder sway noch KWin)"};
}

}  // namespace larkspire::qt
