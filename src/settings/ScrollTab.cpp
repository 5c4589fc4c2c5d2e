#include "scroll/ExcludedPrograms.h"
#include "scroll/ScrollSettings.h"
#include "settings/SettingsTabs.h"

#include <algorithm>

namespace larkspire {

TabGroup SettingsTabs::excludedPrograms() {
    auto& words = ports.wording;
    auto& defaults = ports.defaults;
    auto& programs = ports.programWindows;
    auto scroller = features.smoothScroller;
    // Every change of the list is read again by the scroller's switching entry point.
    auto change = [this, scroller](std::function<void()> edit) {
        return then([edit = std::move(edit), scroller] {
            edit();
            scroller().update();
        });
    };
    auto excluded = ExcludedPrograms::read(defaults);
    TabElements rows;
    if (excluded.empty())
        rows.push_back(
            TabText{.text = words.shown("Noch keine Programme ausgenommen."), .color = TabColor::secondary});
    for (const auto& program : excluded) {
        rows.push_back(TabRow{.items = {TabText{.text = program}, TabSpacer{},
                                        TabButton{.title = "",
                                                  .action = change([&defaults, program] {
                                                      ExcludedPrograms::remove(defaults, program);
                                                  }),
                                                  .style = TabButtonStyle::borderless,
                                                  .image = "minus.circle",
                                                  .help = words.shown("Wieder flüssig scrollen")}}});
    }
    auto self = weak_from_this();
    rows.push_back(TabMenuButton{
        .title = words.shown("Programm hinzufügen…"),
        .choices =
            [&programs, &defaults] {
                auto running = programs.runningPrograms();
                auto excluded = ExcludedPrograms::read(defaults);
                std::erase_if(running, [&](const std::string& program) {
                    return ExcludedPrograms::contains(excluded, program);
                });
                return running;
            },
        .choose =
            [self](const std::string& program) {
                auto tabs = self.lock();
                if (!tabs) return;
                ExcludedPrograms::add(tabs->ports.defaults, program);
                tabs->features.smoothScroller().update();
                tabs->changed();
            },
        .emptyText = words.shown("Kein weiteres Programm mit Fenster"),
    });
    rows.push_back(
        TabHint{words.shown("Über den Fenstern dieser Programme bleibt das Mausrad unverändert – etwa "
                            "für Spiele, CAD oder Browser, die selbst weich scrollen.")});
    return TabGroup{.title = words.shown("Ausnahmen"), .content = std::move(rows)};
}

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
            excludedPrograms(),
        }};
}

}  // namespace larkspire
