#include "platform/qt/compositor/GnomeShellWindows.h"

#include <algorithm>

namespace larkspire::qt {

using linux_desktop::DesktopWindow;

namespace {

// Shell window numbers start at one and X11 ids above 0x200000, so an overlay never mistakes one
// for the other; still, neither list's number is handed to the other's stacking.
constexpr std::uint64_t generationShift = 40;

}  // namespace

GnomeShellWindows::GnomeShellWindows(Log& log, DesktopWindows& fallback, OverlayStacking& fallbackStacking)
    : log(log, "windows"), fallback(fallback), fallbackStacking(fallbackStacking) {}

void GnomeShellWindows::report(const std::string& json) {
    auto parsed = KWinReport::parse(json, numbers);
    if (!parsed) {
        if (!problemSaid) log.error("Fensterliste von GNOME Shell nicht gelesen: unlesbarer Bericht");
        problemSaid = true;
        return;
    }
    problemSaid = false;
    bool first = !latest;
    latest = std::move(*parsed);
    ++reports;
    if (first) {
        log.info("Fensterliste: GNOME Shell (über die Larkspire-Erweiterung)");
        switched();
    }
    activations.notify();
}

void GnomeShellWindows::detached() {
    if (!latest) return;
    latest.reset();
    numbers.clear();
    log.info("Fensterliste: X11, bis die Larkspire-Erweiterung wieder berichtet");
    switched();
    activations.notify();
}

void GnomeShellWindows::switched() {
    ++generation;
    // A Shell that attaches anew knows of no overlay yet.
    stackedOverlays.clear();
}

std::vector<DesktopWindow> GnomeShellWindows::windows() {
    return latest ? latest->windows : fallback.windows();
}

std::optional<std::uint32_t> GnomeShellWindows::activeWindow() {
    return latest ? latest->active : fallback.activeWindow();
}

std::optional<std::uint64_t> GnomeShellWindows::changes() {
    if (latest) return (generation << generationShift) + reports;
    auto fallbackChanges = fallback.changes();
    if (!fallbackChanges) return std::nullopt;
    return (generation << generationShift) + *fallbackChanges;
}

std::shared_ptr<void> GnomeShellWindows::observeActivations(std::function<void()> handler) {
    auto shared = std::make_shared<std::function<void()>>(std::move(handler));
    auto call = [weak = std::weak_ptr(shared)] {
        if (auto handler = weak.lock()) (*handler)();
    };
    struct Both {
        std::shared_ptr<std::function<void()>> handler;
        std::shared_ptr<void> reports, fallback;
    };
    return std::make_shared<Both>(Both{shared, activations.observe(call), fallback.observeActivations(call)});
}

bool GnomeShellWindows::stackAbove(std::uint32_t overlay, std::uint32_t windowNumber) {
    if (!latest) return fallbackStacking.stackAbove(overlay, windowNumber);
    // The window manager leaves the overlay alone and the Shell lays it above every window; the
    // extension keeps it directly above its file manager instead. Asked on every pass, told once.
    auto id = std::find_if(numbers.begin(), numbers.end(),
                           [windowNumber](const auto& known) { return known.second == windowNumber; });
    if (id == numbers.end()) return false;
    auto told = stackedOverlays.find(overlay);
    if (told != stackedOverlays.end() && told->second == id->first) return true;
    if (!stackOverlay || !stackOverlay(overlay, id->first)) return false;
    stackedOverlays[overlay] = id->first;
    return true;
}

bool GnomeShellWindows::isCompositing() {
    // GNOME Shell on Wayland always composites.
    return latest ? true : fallbackStacking.isCompositing();
}

}  // namespace larkspire::qt
