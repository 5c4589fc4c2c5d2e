#include "platform/sim/SimFinder.h"

#include <algorithm>

namespace larkspire::sim {

std::vector<std::string> SimFinderWindow::selectedPaths() const {
    std::vector<std::string> paths;
    for (const auto& name : selection) paths.push_back((folder / name).string());
    return paths;
}

SimFinder::SimFinder(SimClipboard& clipboard, std::int32_t processIdentifier)
    : SimApplication("com.apple.finder", processIdentifier), clipboard(clipboard) {
    focusedRole = "AXOutline";
    menuBar = {
        SimMenu{"Apple", {SimMenuItem{.title = "Über diesen Mac"}}},
        SimMenu{"Finder",
                {SimMenuItem{.title = "Einstellungen …", .commandChar = ",", .commandModifiers = 0}}},
        SimMenu{"Ablage",
                {SimMenuItem{.title = "Neues Finder-Fenster", .commandChar = "N", .commandModifiers = 0},
                 SimMenuItem{.title = "Neuer Ordner", .commandChar = "N", .commandModifiers = 1}}},
        SimMenu{"Bearbeiten",
                {SimMenuItem{.title = "Widerrufen", .commandChar = "Z", .commandModifiers = 0},
                 // Files cannot be cut: the item is there but does nothing for them.
                 SimMenuItem{.title = "Ausschneiden", .commandChar = "X", .commandModifiers = 0},
                 SimMenuItem{.title = copyItem,
                             .commandChar = "C",
                             .commandModifiers = 0,
                             .action = [this] { copySelection(); }},
                 SimMenuItem{.title = pasteItem,
                             .commandChar = "V",
                             .commandModifiers = 0,
                             .action = [this] { pasteHere(false); }},
                 SimMenuItem{.title = moveItem,
                             .commandChar = "V",
                             .commandModifiers = 2,
                             .action = [this] { pasteHere(true); }},
                 SimMenuItem{.title = "Alles auswählen", .commandChar = "A", .commandModifiers = 0}}},
        SimMenu{"Darstellung",
                {SimMenuItem{.title = "Als Liste", .commandChar = "2", .commandModifiers = 0}}},
    };
}

SimFinderWindow& SimFinder::openWindow(const std::filesystem::path& folder) {
    windows.push_back(std::make_unique<SimFinderWindow>(nextWindowNumber++, folder));
    return *windows.back();
}

void SimFinder::bringToFront(SimFinderWindow& window) {
    auto found = std::find_if(windows.begin(), windows.end(), [&](auto& w) { return w.get() == &window; });
    if (found == windows.end()) return;
    auto moved = std::move(*found);
    windows.erase(found);
    windows.push_back(std::move(moved));
}

SimFinderWindow* SimFinder::frontWindow() {
    return windows.empty() ? nullptr : windows.back().get();
}

void SimFinder::copySelection() {
    auto* window = frontWindow();
    if (!window || window->selection.empty()) return;  // the item is greyed out without a selection
    clipboard.writeFiles(window->selectedPaths());
    ++copies;
}

void SimFinder::pasteHere(bool move) {
    auto* window = frontWindow();
    if (!window) return;
    for (const auto& path : clipboard.paths()) {
        std::filesystem::path source(path);
        auto target = window->folder / source.filename();
        std::error_code error;
        if (std::filesystem::exists(target, error) || !std::filesystem::exists(source, error)) continue;
        if (move) {
            std::filesystem::rename(source, target, error);
            if (!error) ++moves;
        } else {
            std::filesystem::copy(source, target, std::filesystem::copy_options::recursive, error);
            if (!error) ++pastes;
        }
    }
}

}  // namespace larkspire::sim
