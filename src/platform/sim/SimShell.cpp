#include "platform/sim/SimShell.h"

namespace larkspire::sim {

bool SimStatusItem::choose(const std::string& title) {
    for (const auto& item : openMenu()) {
        if (item.title != title || item.isSeparator || !item.enabled || !item.action) continue;
        item.action(item);
        return true;
    }
    return false;
}

std::unique_ptr<StatusItem> SimStatusBar::createStatusItem() {
    auto created = std::make_unique<SimStatusItem>();
    item = created.get();
    return created;
}

void SimSettingsWindow::selectTab(int index) {
    selectedTab = index;
    if (onSelect) onSelect(index);
}

std::unique_ptr<SettingsWindow> SimSettingsWindows::createSettingsWindow() {
    auto made = std::make_unique<SimSettingsWindow>();
    window = made.get();
    ++created;
    return made;
}

}  // namespace larkspire::sim
