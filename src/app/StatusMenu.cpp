#include "app/Application.h"
#include "app/Settings.h"

#include <algorithm>
#include <tuple>

namespace larkspire {

void Application::updateStatusIcon() {
    if (!statusItem || !statusItem->hasButton()) return;
    auto count = cutPaste->cutPaths().size();
    auto& words = ports.wording;
    if (count > 0) {
        auto n = std::to_string(count);
        statusItem->setIcon(StatusIcon{
            .image = "scissors",
            .accessibilityDescription = words.shown("Ausgeschnitten"),
            .title = " " + n,
            .tooltip = filled(words.shown("%1 Datei(en) ausgeschnitten – mit ⌘V im Finder verschieben"), {n}),
        });
        return;
    }
    statusItem->setIcon(StatusIcon{
        .image = "macwindow",
        .accessibilityDescription = "Larkspire",
        .title = "",
        .tooltip = "Larkspire",
    });
}

MenuAction Application::menuAction(void (Application::*method)()) {
    return [weak = weak_from_this(), method](const MenuItem&) {
        if (auto self = weak.lock()) (*self.*method)();
    };
}

Menu Application::menuNeedsUpdate() {
    auto& words = ports.wording;
    Menu menu;
    menu.push_back(MenuItem::heading("Larkspire"));
    if (auto count = cutPaste->cutPaths().size(); count > 0) {
        menu.push_back(MenuItem::separator());
        menu.push_back(MenuItem{
            .title = filled(words.shown("%1 Datei(en) ausgeschnitten – verwerfen"), {std::to_string(count)}),
            .image = "scissors",
            .action = menuAction(&Application::discardCut)});
    }
    if (const auto& list = networkFavorites().favorites(); !list.empty()) {
        menu.push_back(MenuItem::separator());
        menu.push_back(MenuItem::heading(words.shown("Netzwerk-Favoriten")));
        // A long list would make the menu taller than the screen and slow to build; the rest are in
        // the Network tab, which pages and searches.
        auto listed = std::min(list.size(), SettingsTabs::favoritesPerPage);
        for (std::size_t index = 0; index < listed; ++index) {
            menu.push_back(MenuItem{.title = list[index].name,
                                    .image = networkFavorites().isMounted(list[index]) ? "externaldrive.fill"
                                                                                       : "externaldrive",
                                    .action =
                                        [weak = weak_from_this()](const MenuItem& sender) {
                                            if (auto self = weak.lock()) self->openFavorite(sender);
                                        },
                                    .tag = static_cast<std::int64_t>(index)});
        }
        if (listed < list.size()) {
            menu.push_back(MenuItem{.title = filled(words.shown("Alle %1 Favoriten…"),
                                                    {groupedNumber(list.size(), words.numberMarks())}),
                                    .action = [weak = weak_from_this()](const MenuItem&) {
                                        if (auto self = weak.lock())
                                            self->settingsWindow.show(SettingsTabs::networkTab);
                                    }});
        }
    }
    menu.push_back(MenuItem::separator());
    menu.push_back(MenuItem{.title = words.shown("Flüssig scrollen"),
                            .image = "arrow.up.arrow.down",
                            .checked = ports.defaults.boolForKey(Settings::smoothScrollKey),
                            .action = menuAction(&Application::toggleSmoothScroll)});
    menu.push_back(MenuItem::separator());
    menu.push_back(MenuItem::heading(words.shown("Widgets")));
    auto widgetAction = [weak = weak_from_this()](const MenuItem& sender) {
        if (auto self = weak.lock()) self->toggleWidget(sender);
    };
    for (auto [title, image, key] :
         {std::tuple{sourceText("CPU & Arbeitsspeicher"), "cpu", Settings::systemMonitorKey},
          std::tuple{sourceText("Uhr & Datum"), "clock", Settings::clockWidgetKey}}) {
        menu.push_back(MenuItem{.title = words.shown(title),
                                .image = image,
                                .checked = ports.defaults.boolForKey(key),
                                .action = widgetAction,
                                .representedObject = std::string(key)});
    }
    if (desktopWidgets().anyEnabled()) {
        menu.push_back(MenuItem{.title = desktopWidgets().isEditing() ? words.shown("Anordnen beenden")
                                                                      : words.shown("Widgets anordnen"),
                                .image = "arrow.up.and.down.and.arrow.left.and.right",
                                .action = menuAction(&Application::toggleWidgetEditing)});
    }
    menu.push_back(MenuItem::separator());
    menu.push_back(MenuItem{.title = words.shown("Einstellungen…"),
                            .action = menuAction(&Application::openSettings),
                            .keyEquivalent = ","});
    menu.push_back(
        MenuItem{.title = words.shown("Larkspire beenden"),
                 .action = [&application = ports.application](const MenuItem&) { application.terminate(); },
                 .keyEquivalent = "q"});
    return menu;
}

void Application::toggleSmoothScroll() {
    auto& defaults = ports.defaults;
    bool on = !defaults.boolForKey(Settings::smoothScrollKey);
    defaults.setBool(Settings::smoothScrollKey, on);
    if (on && !cutPaste->hasPermission()) cutPaste->requestPermission();
    smoothScroller().update();
}

void Application::toggleWidget(const MenuItem& sender) {
    if (!sender.representedObject) return;
    const auto& key = *sender.representedObject;
    ports.defaults.setBool(key, !ports.defaults.boolForKey(key));
    desktopWidgets().update();
}

void Application::toggleWidgetEditing() {
    desktopWidgets().setEditing(!desktopWidgets().isEditing());
}

void Application::openSettings() {
    settingsWindow.show(std::nullopt);
}

void Application::discardCut() {
    cutPaste->cancelCut();
}

void Application::openFavorite(const MenuItem& sender) {
    // The list may have changed since the menu opened; a position it no longer has does nothing.
    const auto& list = networkFavorites().favorites();
    if (sender.tag < 0 || static_cast<std::size_t>(sender.tag) >= list.size()) return;
    auto favorite = list[static_cast<std::size_t>(sender.tag)];
    networkFavorites().open(favorite);
}

}  // namespace larkspire
