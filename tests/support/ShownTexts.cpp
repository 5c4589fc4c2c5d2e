#include "support/ShownTexts.h"

#include "app/Application.h"
#include "app/Settings.h"
#include "support/TemporaryFolder.h"
#include "widgets/ClockView.h"
#include "widgets/SystemMonitorView.h"

#include <variant>

namespace larkspire::testing {

namespace {

void collect(const TabElements& elements, std::set<std::string>& texts) {
    auto add = [&texts](const std::string& text) {
        if (!text.empty()) texts.insert(text);
    };
    for (const auto& element : elements) {
        std::visit(
            [&](const auto& item) {
                using T = std::decay_t<decltype(item)>;
                if constexpr (std::is_same_v<T, TabGroup>) {
                    add(item.title);
                    collect(item.content, texts);
                } else if constexpr (std::is_same_v<T, TabRow> || std::is_same_v<T, TabColumn>) {
                    collect(item.items, texts);
                } else if constexpr (std::is_same_v<T, TabText> || std::is_same_v<T, TabHint>) {
                    add(item.text);
                } else if constexpr (std::is_same_v<T, TabSwitch>) {
                    add(item.title);
                } else if constexpr (std::is_same_v<T, TabButton>) {
                    add(item.title);
                    add(item.help);
                } else if constexpr (std::is_same_v<T, TabStatusRow>) {
                    add(item.text);
                    add(item.buttonTitle);
                } else if constexpr (std::is_same_v<T, TabTextField>) {
                    add(item.placeholder);
                } else if constexpr (std::is_same_v<T, TabDot>) {
                    add(item.help);
                }
            },
            element.content);
    }
}

void collect(const DisplayList& items, std::set<std::string>& texts) {
    for (const auto& item : items) {
        if (const auto* text = std::get_if<Text>(&item.content)) texts.insert(text->text);
        if (const auto* group = std::get_if<DisplayGroup>(&item.content)) collect(group->items, texts);
    }
}

struct SteppedClock : Clock {
    double uptime() const override { return 0; }
    double wallTime() const override { return time; }
    double time = 0;
};

}  // namespace

std::set<std::string> everyShownText(const Wording& words) {
    std::set<std::string> texts;
    sim::Desktop desktop;
    desktop.useWording(words);
    TemporaryFolder home;
    auto app = std::make_shared<Application>(desktop.ports());
    app->applicationDidFinishLaunching();
    auto& settings = app->settingsWindowController();
    auto everyTab = [&] {
        for (int index = 0; index < 7; ++index) {
            settings.show(index);
            desktop.advance(2.1);  // the polls read the platform's state
            settings.refreshTabs();
            collect(desktop.settingsWindows.window->tabContents[index].elements, texts);
        }
        for (const auto& item : desktop.statusBar.item->openMenu()) texts.insert(item.title);
        const auto& icon = desktop.statusBar.item->icon;
        for (const auto& text : {icon.accessibilityDescription, icon.tooltip}) texts.insert(text);
    };

    // A new account: nothing granted, no favourites.
    everyTab();
    for (const auto& tab : desktop.settingsWindows.window->tabs) texts.insert(tab.label);

    // Everything granted, the login item waiting, five files cut, game mode on, an invalid name, the
    // widgets being arranged.
    desktop.accessibility.trusted = true;
    desktop.finderExtension.enabled = true;
    desktop.loginItem.state = LoginItemStatus::requiresApproval;
    app->cutPasteMonitor().setCut({"/p/a", "/p/b", "/p/c", "/p/d", "/p/e"});
    desktop.defaults.setBool(Settings::smoothScrollKey, true);
    desktop.gameMode.setState(1);
    desktop.defaults.set(Settings::fileNameKey, Value(std::string("a/b")));
    desktop.defaults.setBool(Settings::systemMonitorKey, true);
    app->desktopWidgets().update();
    app->desktopWidgets().setEditing(true);
    everyTab();

    // Twelve favourites page the Network tab; a search that finds nothing; two files cut.
    desktop.gameMode.setState(0);
    app->desktopWidgets().setEditing(false);
    app->cutPasteMonitor().setCut({"/p/a", "/p/b"});
    auto& favorites = app->networkFavorites();
    sim::SimShare* unreachable = nullptr;
    for (int index = 0; index < 12; ++index) {
        auto share = "smb://nas/share" + std::to_string(index);
        auto& added = desktop.volumes.addShare(share, {"Ordner"});
        if (index == 0) unreachable = &added;
        desktop.volumes.mountShare(share);
        favorites.add(Url::fileUrl((desktop.volumes.mountPathOf(share) / "Ordner").string()));
    }
    desktop.advance(1);
    everyTab();
    settings.show(SettingsTabs::networkTab);
    auto& network = desktop.settingsWindows.window->tabContents[SettingsTabs::networkTab];
    for (const auto& element : network.elements) {
        const auto* group = std::get_if<TabGroup>(&element.content);
        for (const auto& row : group ? group->content : TabElements{})
            if (const auto* field = std::get_if<TabTextField>(&row.content)) field->text.set("zzz");
    }
    collect(desktop.settingsWindows.window->tabContents[SettingsTabs::networkTab].elements, texts);

    // The alerts: a file that cannot be made, a path with a NUL byte, folders that cannot be added, a
    // share that cannot be reached.
    app->openUrls(
        {"quirefold://create?dir=" + (home.path() / "fehlt").string(), "quirefold://create?dir=/tmp/a%00b"});
    desktop.folderPicker.answer = {Url::fileUrl("/kein/ordner")};
    favorites.chooseFavorites();
    desktop.volumes.unmountShare("smb://nas/share0");
    unreachable->reachable = false;
    desktop.advance(5);  // the favourites see the share gone
    favorites.open(favorites.favorites().front());
    desktop.advance(30);
    for (const auto& alert : desktop.alerts.shown) {
        texts.insert(alert.message);
        texts.insert(alert.informativeText);
    }

    // The badge, while the size is computed and once it is known.
    desktop.files.addFile("/projekt/a.txt", 1'250'000);
    auto& window = desktop.fileManager().openWindow("/projekt", {"a.txt"});
    window.select({"a.txt"});
    auto& overlay = app->finderOverlayController();
    for (int step = 0; step < 3; ++step) {
        overlay.refresh();
        for (const auto& [number, surface] : overlay.overlayWindows())
            if (surface->overlayView.label) texts.insert(surface->overlayView.label->text);
        desktop.advance(0.2);
    }

    // The faces: every month and weekday, the monitor with a temperature.
    SteppedClock clock;
    for (int day = 0; day < 366; day += 7) {
        clock.time = 1767225600.0 + day * 86400.0;  // from 1 January 2026
        ClockModel model(clock, desktop.timeZone, words);
        WidgetState state(1.0);
        collect(ClockView(model, state, desktop.textMetrics).render().items, texts);
    }
    for (int day = 0; day < 7; ++day) {
        clock.time = 1767225600.0 + day * 86400.0;
        ClockModel model(clock, desktop.timeZone, words);
        WidgetState state(1.0);
        collect(ClockView(model, state, desktop.textMetrics).render().items, texts);
    }
    desktop.sensors.readings = {55.0};
    desktop.defaults.setBool(Settings::systemMonitorTemperatureKey, true);
    auto& stats = app->desktopWidgets().systemStats();
    stats.refresh();
    WidgetState state(1.0);
    collect(SystemMonitorView(stats, state, desktop.textMetrics, words).render().items, texts);
    texts.erase("");
    return texts;
}

}  // namespace larkspire::testing
