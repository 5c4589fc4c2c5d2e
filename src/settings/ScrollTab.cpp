#include "scroll/ScrollSettings.h"
#include "settings/SettingsTabs.h"

namespace larkspire {

TabView SettingsTabs::scroll() {
    auto scroller = features.smoothScroller;
    return TabView{
        .elements = {
            TabGroup{
                .title = "Mausrad",
                .content = {featureSwitch(
                                "Flüssig scrollen", Settings::smoothScrollKey, [] { return true; },
                                [scroller] { scroller().update(); }),
                            TabHint{
                                "Das Mausrad scrollt weich wie ein Trackpad und beschleunigt bei schnellem "
                                "Drehen. ⇧ + Mausrad scrollt waagerecht. Mit ⌘, ⌥ oder ⌃ bleibt das "
                                "Mausrad unverändert."},
                            accessibilityWarning()}},
            TabGroup{
                .title = "Spiele",
                .content = {TabStatusRow{.flag = !gameModeOn,
                                         .text = gameModeOn
                                                     ? "Spielemodus aktiv – flüssiges Scrollen pausiert"
                                                     : "Spielemodus aus – flüssiges Scrollen aktiv"},
                            TabHint{"Solange macOS den Spielemodus eingeschaltet hat, bekommen Spiele das "
                                    "normale Mausrad."}}},
        }};
}

}  // namespace larkspire
