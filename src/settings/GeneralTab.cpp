#include "settings/SettingsTabs.h"

namespace larkspire {

TabView SettingsTabs::general() {
    auto& loginItem = ports.loginItem;
    auto& extension = ports.finderExtension;
    auto& cutPaste = features.cutPaste;
    auto& application = ports.application;
    auto self = weak_from_this();
    auto& words = ports.wording;

    TabSwitch atLogin{
        .title = words.shown("Beim Anmelden starten"),
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
    TabElement approval(TabButton{.title = words.shown("Anmeldeobjekt in den Systemeinstellungen erlauben…"),
                                  .action = [&loginItem] { loginItem.openApprovalSettings(); },
                                  .style = TabButtonStyle::small},
                        loginStatus == LoginItemStatus::requiresApproval);

    return TabView{
        .elements = {
            TabGroup{.title = words.shown("Start"), .content = {atLogin, approval}},
            TabGroup{
                .title = words.shown("Berechtigungen"),
                .content =
                    {
                        TabStatusRow{.flag = extensionEnabled,
                                     .text = extensionEnabled ? words.shown("Finder-Erweiterung aktiv")
                                                              : words.shown("Finder-Erweiterung nicht aktiv"),
                                     .buttonTitle = words.shown("Aktivieren…"),
                                     .buttonAction = [&extension] { extension.showManagementInterface(); }},
                        TabStatusRow{.flag = trusted,
                                     .text = trusted ? words.shown("Gerätesteuerung erlaubt")
                                                     : words.shown("Gerätesteuerung nicht erlaubt"),
                                     .buttonTitle = words.shown("Erlauben…"),
                                     .buttonAction = [&cutPaste] { cutPaste.openAccessibilitySettings(); }},
                        TabHint{
                            words.shown("Die Finder-Erweiterung liefert die Rechtsklick-Einträge. Die "
                                        "Gerätesteuerung braucht Larkspire für ⌘X, die Auswahlgröße und das "
                                        "flüssige Scrollen.")},
                    }},
            TabRow{.items = {TabSpacer{}, TabButton{.title = words.shown("Larkspire beenden"),
                                                    .action = [&application] { application.terminate(); }}}},
        }};
}

}  // namespace larkspire
