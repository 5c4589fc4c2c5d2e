#include "settings/SettingsTabs.h"

#include "settings/SettingsWindowController.h"

namespace larkspire {

TabView settingsTabContent(int index) {
    const auto& tabs = SettingsWindowController::tabs();
    if (index < 0 || index >= static_cast<int>(tabs.size())) return {};
    return TabView{.elements = {TabText{.text = tabs[static_cast<std::size_t>(index)].label,
                                        .style = TabTextStyle::title,
                                        .semibold = true}}};
}

}  // namespace larkspire
