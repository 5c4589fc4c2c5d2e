#include "scroll/ScrollSettings.h"
#include "settings/SettingsTabs.h"

namespace larkspire {

TabView SettingsTabs::scroll() {
    auto scroller = features.smoothScroller;
    auto& words = ports.wording;
    return TabView{
        .elements = {
            TabGroup{
                .title = words.shown("Mausrad"),
                .content = {featureSwitch(
                                words.shown("Flüssig scrollen"), Settings::smoothScrollKey,
                                [] { return true; }, [scroller] { scroller().update(); }),
                            TabHint{words.shown(
                                "Das Mausrad scrollt weich wie ein Trackpad und beschleunigt bei schnellem "
                                "Drehen. ⇧ + Mausrad scrollt waagerecht. Mit ⌘, ⌥ oder ⌃ bleibt das "
                                "Mausrad unverändert.")},
                            accessibilityWarning()}},
            TabGroup{
                .title = words.shown("Spiele"),
                .content = {TabStatusRow{
                                .flag = !gameModeOn,
                                .text = gameModeOn
                                            ? words.shown("Spielemodus aktiv – flüssiges Scrollen pausiert")
                                            : words.shown("Spielemodus aus – flüssiges Scrollen aktiv")},
                            TabHint{words.shown(
                                "Solange macOS den Spielemodus eingeschaltet hat, bekommen Spiele das "
                                "normale Mausrad.")}}},
        }};
}

}  // namespace larkspire
