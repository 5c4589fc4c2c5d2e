#include "settings/SettingsTabs.h"
#include "settings/SettingsWindowController.h"

namespace larkspire {

namespace {

TabView titleOnly(int index) {
    return TabView{
        .elements = {TabText{.text = SettingsWindowController::tabs()[static_cast<std::size_t>(index)].label,
                             .style = TabTextStyle::title,
                             .semibold = true}}};
}

}  // namespace

TabView SettingsTabs::network() const {
    return titleOnly(networkTab);
}

TabView SettingsTabs::widgets() const {
    return titleOnly(widgetsTab);
}

}  // namespace larkspire
