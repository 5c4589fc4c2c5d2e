#include "network/NetworkSettings.h"
#include "settings/SettingsTabs.h"

#include <algorithm>

namespace larkspire {

namespace {

TabRow favoriteRow(NetworkFavorites& favorites, const NetworkFavorite& favorite, const Wording& words) {
    bool mounted = favorites.isMounted(favorite);
    return TabRow{.items = {
                      TabDot{.color = mounted ? TabColor::green : TabColor::secondary,
                             .opacity = mounted ? 1.0 : 0.5,
                             .help = mounted ? words.shown("Verbunden") : words.shown("Nicht verbunden")},
                      TabButton{.title = favorite.name,
                                .action = [&favorites, favorite] { favorites.open(favorite); },
                                .style = TabButtonStyle::link},
                      TabSpacer{},
                      TabButton{.title = "",
                                .action = [&favorites, favorite] { favorites.remove(favorite); },
                                .style = TabButtonStyle::borderless,
                                .image = "minus.circle",
                                .help = words.shown("Aus der Seitenleiste entfernen")},
                  }};
}

// A hidden row of the same shape, so that a page with fewer favourites keeps every widget in place
// and the search field its focus.
TabElement emptyRow() {
    return TabElement(TabRow{.items = {TabDot{}, TabButton{.style = TabButtonStyle::link}, TabSpacer{},
                                       TabButton{.style = TabButtonStyle::borderless}}},
                      false);
}

}  // namespace

std::string groupedNumber(std::size_t number, NumberMarks marks) {
    auto digits = std::to_string(number);
    for (auto end = digits.size(); end > 3; end -= 3) digits.insert(end - 3, 1, marks.group);
    return digits;
}

TabView SettingsTabs::network() {
    auto& favorites = features.networkFavorites();
    const auto& list = favorites.favorites();
    auto& defaults = ports.defaults;
    auto& words = ports.wording;
    auto marks = words.numberMarks();
    auto self = weak_from_this();
    TabElements rows;
    if (list.empty())
        rows.push_back(
            TabText{.text = words.shown("Noch keine Netzwerk-Favoriten."), .color = TabColor::secondary});

    // However many are stored, one page of them is described: a row per favourite would freeze the
    // window and fill the memory with widgets. Every favourite stays reachable by paging or searching.
    bool paged = list.size() > favoritesPerPage;
    auto search = lowercased(paged ? favoritesSearch : std::string());
    auto found = [&search](const NetworkFavorite& favorite) {
        return search.empty() || favorite.matches(search);
    };
    auto matchCount = search.empty()
                          ? list.size()
                          : static_cast<std::size_t>(std::count_if(list.begin(), list.end(), found));
    // After a removal the page may lie past the end; the last page is shown instead.
    auto lastPage = matchCount == 0 ? 0 : (matchCount - 1) / favoritesPerPage * favoritesPerPage;
    auto first = paged ? std::min(favoritesFirst, lastPage) : 0;
    auto end = std::min(first + favoritesPerPage, matchCount);

    if (paged) {
        rows.push_back(TabTextField{
            .text = {.get =
                         [self] {
                             auto tabs = self.lock();
                             return tabs ? tabs->favoritesSearch : std::string();
                         },
                     .set =
                         [self](std::string typed) {
                             auto tabs = self.lock();
                             if (!tabs) return;
                             tabs->favoritesSearch = std::move(typed);
                             tabs->favoritesFirst = 0;
                             tabs->changed();
                         }},
            .placeholder = words.shown("Favoriten durchsuchen"),
        });
    }
    std::size_t shown = 0;
    for (std::size_t index = 0, match = 0; index < list.size() && match < end; ++index) {
        if (!found(list[index])) continue;
        if (match++ < first) continue;
        rows.push_back(favoriteRow(favorites, list[index], words));
        ++shown;
    }
    if (paged) {
        for (; shown < favoritesPerPage; ++shown) rows.push_back(emptyRow());
        auto turnTo = [self](std::size_t page) {
            return [self, page] {
                auto tabs = self.lock();
                if (!tabs) return;
                tabs->favoritesFirst = page;
                tabs->changed();
            };
        };
        auto range = filled(
            search.empty() ? words.shown("Favoriten %1–%2 von %3") : words.shown("Treffer %1–%2 von %3"),
            {groupedNumber(first + 1, marks), groupedNumber(end, marks), groupedNumber(matchCount, marks)});
        rows.push_back(
            TabElement(TabText{.text = filled(words.shown("Kein Favorit enthält „%1“."), {favoritesSearch}),
                               .color = TabColor::secondary},
                       matchCount == 0));
        rows.push_back(TabElement(
            TabRow{.items = {TabElement(TabButton{.title = words.shown("Zurück"),
                                                  .action = turnTo(first - std::min(first, favoritesPerPage)),
                                                  .style = TabButtonStyle::small},
                                        first > 0),
                             TabText{
                                 .text = range, .style = TabTextStyle::caption, .color = TabColor::secondary},
                             TabElement(TabButton{.title = words.shown("Weiter"),
                                                  .action = turnTo(end),
                                                  .style = TabButtonStyle::small},
                                        end < matchCount)}},
            matchCount > 0));
    }
    rows.push_back(TabButton{.title = words.shown("Ordner hinzufügen…"),
                             .action = [&favorites] { favorites.chooseFavorites(); }});
    rows.push_back(TabHint{words.shown("Oder im Finder: Rechtsklick auf einen Ordner im Netzlaufwerk → „Zur "
                                       "Seitenleiste hinzufügen“.")});

    TabSwitch autoMount{
        .title = words.shown("Netzlaufwerke automatisch verbinden"),
        .isOn = {.get = [&defaults] { return defaults.boolForKey(Settings::autoMountKey); },
                 .set =
                     [&defaults, &favorites](bool on) {
                         defaults.setBool(Settings::autoMountKey, on);
                         if (on) favorites.check(true);
                     }},
    };
    return TabView{
        .elements = {
            TabGroup{.title = words.shown("Netzwerk-Favoriten in der Finder-Seitenleiste"),
                     .content = std::move(rows)},
            TabGroup{
                .title = words.shown("Verbindung"),
                .content = {autoMount, TabHint{words.shown(
                                           "Reißt die Verbindung ab, verbindet Larkspire die Freigaben der "
                                           "Favoriten wieder – nach dem Ruhezustand, wenn das Netzwerk "
                                           "zurückkommt, spätestens nach einer Minute. Die Zugangsdaten "
                                           "kommen aus dem Schlüsselbund.")}}},
        }};
}

}  // namespace larkspire
