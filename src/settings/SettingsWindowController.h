#pragma once

#include "platform/ApplicationControl.h"
#include "platform/DefaultsStore.h"
#include "platform/SettingsWindow.h"
#include "settings/SettingsTabs.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace larkspire {

// The settings window: created on first use, kept for the life of the process, closing only hides it.
class SettingsWindowController {
  public:
    static constexpr const char* selectedTabKey = "settingsSelectedTab";
    static constexpr const char* frameAutosaveName = "LarkspireSettings";
    static constexpr double tabWidth = 460;
    static const std::vector<SettingsTab>& tabs();

    SettingsWindowController(SettingsWindowFactory& factory, DefaultsStore& defaults,
                             ApplicationControl& application, const Wording& wording = sourceWording());

    // Selects `tab` when given and one of the tabs (else the tab last shown), brings the window to
    // the front, centring it when it was not visible.
    void show(std::optional<int> tab);
    bool hasWindow() const { return window != nullptr; }
    // Describes every tab again and hands it to the window; for state a tab shows.
    void refreshTabs();
    // What the tabs show; without them each tab shows its title.
    void setTabs(std::shared_ptr<SettingsTabs> tabs);
    SettingsTabs* settingsTabs() { return content.get(); }

  private:
    void createWindow();

    SettingsWindowFactory& factory;
    DefaultsStore& defaults;
    ApplicationControl& application;
    const Wording& wording;
    std::shared_ptr<SettingsTabs> content;
    std::unique_ptr<SettingsWindow> window;
};

}  // namespace larkspire
