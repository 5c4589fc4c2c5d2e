#include "network/NetworkSettings.h"
#include "settings/SettingsTabs.h"

namespace larkspire {

TabView SettingsTabs::network() {
    auto& favorites = features.networkFavorites();
    auto& defaults = ports.defaults;
    TabElements rows;
    if (favorites.favorites().empty())
        rows.push_back(TabText{.text = "Noch keine Netzwerk-Favoriten.", .color = TabColor::secondary});
    for (const auto& favorite : favorites.favorites()) {
        bool mounted = favorites.isMounted(favorite);
        rows.push_back(TabRow{.items = {
                                  TabDot{.color = mounted ? TabColor::green : TabColor::secondary,
                                         .opacity = mounted ? 1.0 : 0.5,
                                         .help = mounted ? "Verbunden" : "Nicht verbunden"},
                                  TabButton{.title = favorite.name,
                                            .action = [&favorites, favorite] { favorites.open(favorite); },
                                            .style = TabButtonStyle::link},
                                  TabSpacer{},
                                  TabButton{.title = "",
                                            .action = [&favorites, favorite] { favorites.remove(favorite); },
                                            .style = TabButtonStyle::borderless,
                                            .image = "minus.circle",
                                            .help = "Aus der Seitenleiste entfernen"},
                              }});
    }
    rows.push_back(
        TabButton{.title = "Ordner hinzufügen…", .action = [&favorites] { favorites.chooseFavorites(); }});
    rows.push_back(TabHint{"Oder im Finder: Rechtsklick auf einen Ordner im Netzlaufwerk → „Zur Seitenleiste "
                           "hinzufügen“."});

    TabSwitch autoMount{
        .title = "Netzlaufwerke automatisch verbinden",
        .isOn = {.get = [&defaults] { return defaults.boolForKey(Settings::autoMountKey); },
                 .set =
                     [&defaults, &favorites](bool on) {
                         defaults.setBool(Settings::autoMountKey, on);
                         if (on) favorites.check(true);
                     }},
    };
    return TabView{
        .elements = {
            TabGroup{.title = "Netzwerk-Favoriten in der Finder-Seitenleiste", .content = std::move(rows)},
            TabGroup{.title = "Verbindung",
                     .content = {autoMount,
                                 TabHint{"Reißt die Verbindung ab, verbindet Larkspire die Freigaben der "
                                         "Favoriten wieder – nach dem Ruhezustand, wenn das Netzwerk "
                                         "zurückkommt, spätestens nach einer Minute. Die Zugangsdaten "
                                         "kommen aus dem Schlüsselbund."}}},
        }};
}

}  // namespace larkspire
