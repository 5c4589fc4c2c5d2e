#include "settings/SettingsTabs.h"

namespace larkspire {

TabView SettingsTabs::general() {
    auto& loginItem = ports.loginItem;
    auto& extension = ports.finderExtension;
    auto& cutPaste = features.cutPaste;
    auto& application = ports.application;
    auto self = weak_from_this();

    TabSwitch atLogin{
        .title = "Beim Anmelden starten",
        .isOn = {.get = [&loginItem] { return loginItem.status() == LoginItemStatus::enabled; },
                 .set =
                     [&loginItem, self](bool on) {
                         // A failure is not reported: reading the status again shows what happened.
                         if (on) {
                             loginItem.registerItem();
                         } else {
                             loginItem.unregisterItem();
                         }
                         if (auto tabs = self.lock()) tabs->readPlatformState();
                     }},
    };
    TabElement approval(TabButton{.title = "Anmeldeobjekt in den Systemeinstellungen erlauben…",
                                  .action = [&loginItem] { loginItem.openApprovalSettings(); },
                                  .style = TabButtonStyle::small},
                        loginStatus == LoginItemStatus::requiresApproval);

    return TabView{
        .elements = {
            TabGroup{.title = "Start", .content = {atLogin, approval}},
            TabGroup{
                .title = "Berechtigungen",
                .content =
                    {
                        TabStatusRow{.flag = extensionEnabled,
                                     .text = extensionEnabled ? "Finder-Erweiterung aktiv"
                                                              : "Finder-Erweiterung nicht aktiv",
                                     .buttonTitle = "Aktivieren…",
                                     .buttonAction = [&extension] { extension.showManagementInterface(); }},
                        TabStatusRow{.flag = trusted,
                                     .text = trusted ? "Gerätesteuerung erlaubt"
                                                     : "Gerätesteuerung nicht erlaubt",
                                     .buttonTitle = "Erlauben…",
                                     .buttonAction = [&cutPaste] { cutPaste.openAccessibilitySettings(); }},
                        TabHint{"Die Finder-Erweiterung liefert die Rechtsklick-Einträge. Die "
                                "Gerätesteuerung braucht Larkspire für ⌘X, die Auswahlgröße und das "
                                "flüssige Scrollen."},
                    }},
            TabRow{.items = {TabSpacer{}, TabButton{.title = "Larkspire beenden",
                                                    .action = [&application] { application.terminate(); }}}},
        }};
}

}  // namespace larkspire
