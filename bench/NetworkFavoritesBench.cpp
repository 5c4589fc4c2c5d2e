// Ten thousand stored network favourites: the start of the program with them, on the simulated
// desktop and on Qt's offscreen platform, and the Network tab described and painted.
#include "network/NetworkFavorite.h"
#include "network/NetworkSettings.h"
#include "platform/sim/Desktop.h"
#include "settings/SettingsTabs.h"
#include "support/SimApp.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#ifdef LARKSPIRE_HAVE_QT

#include "OffscreenQt.h"
#include "platform/qt/QtApp.h"

#include <QApplication>
#include <QEvent>
#include <cstdlib>
#endif

namespace {

using namespace larkspire;

constexpr int reachableShares = 50;

std::string shareUrl(int index) {
    return "smb://server" + std::to_string(index) + "/Freigabe";
}

// `count` favourites spread over `shares` shares; the first fifty shares answer, the others are unknown.
void storeFavorites(sim::Desktop& desktop, int count, int shares) {
    std::vector<NetworkFavorite> favorites;
    favorites.reserve(static_cast<std::size_t>(count));
    for (int index = 0; index < count; ++index) {
        auto name = "Ordner " + std::to_string(index);
        favorites.push_back({shareUrl(index % shares), "Projekte/" + name, name});
    }
    for (int share = 0; share < std::min(shares, reachableShares); ++share)
        desktop.volumes.addShare(shareUrl(share));
    desktop.defaults.set(Settings::networkFavoritesKey, Value(*encodeFavorites(favorites)));
}

double secondsSince(std::chrono::steady_clock::time_point begin) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

double residentMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

std::size_t countElements(const TabElements& elements) {
    std::size_t count = 0;
    for (const auto& element : elements) {
        ++count;
        if (auto* group = std::get_if<TabGroup>(&element.content)) count += countElements(group->content);
        if (auto* row = std::get_if<TabRow>(&element.content)) count += countElements(row->items);
        if (auto* column = std::get_if<TabColumn>(&element.content)) count += countElements(column->items);
    }
    return count;
}

// A first start without the file-manager entries, so the settings window opens by itself: the
// status menu read once as a panel does, the first pass and the minute's pass with their mounts.
void StartWithFavoritesOnSimulatedDesktop(benchmark::State& state) {
    int count = static_cast<int>(state.range(0));
    int shares = static_cast<int>(state.range(1));
    for (auto _ : state) {
        testing::SimApp sim;
        storeFavorites(sim.desktop, count, shares);
        auto begin = std::chrono::steady_clock::now();
        sim.launch();
        auto menu = sim.statusItem().openMenu();
        sim.desktop.advance(65);
        state.SetIterationTime(secondsSince(begin));
        state.counters["menu_items"] = static_cast<double>(menu.size());
        state.counters["mount_requests"] = static_cast<double>(sim.desktop.volumes.requests.size());
        state.counters["network_tab_elements"] = static_cast<double>(countElements(
            sim.desktop.settingsWindows.window->tabContents[SettingsTabs::networkTab].elements));
        if (sim.app->networkFavorites().favorites().size() != static_cast<std::size_t>(count)) {
            state.SkipWithError("favourites were lost");
            return;
        }
    }
}
BENCHMARK(StartWithFavoritesOnSimulatedDesktop)
    ->Args({10000, 100})
    ->Args({10000, 10000})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

#ifdef LARKSPIRE_HAVE_QT

using larkspire::testing::QtApp;

using larkspire::bench::needQt;

bool processUntil(const std::function<bool()>& done) {
    auto begin = std::chrono::steady_clock::now();
    while (!done()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (secondsSince(begin) > 60) return false;
    }
    return true;
}

std::unique_ptr<QtApp> withFavorites(int count) {
    auto sim = std::make_unique<QtApp>();
    sim->session.finderExtension.enabled = true;  // no window of its own at start-up
    sim->session.accessibility.trusted = true;
    storeFavorites(sim->session, count, 100);
    return sim;
}

// From the start until the status menu, which panels read before it is ever opened, is built.
void StartWithFavoritesOnQt(benchmark::State& state) {
    needQt();
    int count = static_cast<int>(state.range(0));
    double growth = 0;  // the most of any start; memory freed by the one before is used again
    for (auto _ : state) {
        auto sim = withFavorites(count);
        double before = residentMegabytes();
        auto begin = std::chrono::steady_clock::now();
        sim->launch();
        auto* item = sim->desktop.statusBar.item;
        if (!processUntil([item] { return item->menuBuilds() > 0; })) {
            state.SkipWithError("the status menu was never built");
            return;
        }
        state.SetIterationTime(secondsSince(begin));
        growth = std::max(growth, residentMegabytes() - before);
        state.counters["rss_growth_MB"] = growth;
        state.counters["menu_entries"] = static_cast<double>(item->menu().actions().size());
    }
}
BENCHMARK(StartWithFavoritesOnQt)->Arg(10000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

struct FirstPaint : QObject {
    bool painted = false;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted = true;
        return false;
    }
};

// The first opening of the settings window on the Network tab, which describes and builds every tab,
// until the tab's page is painted.
void OpenNetworkTabWithFavoritesOnQt(benchmark::State& state) {
    needQt();
    int count = static_cast<int>(state.range(0));
    double growth = 0;  // the most of any start; memory freed by the one before is used again
    for (auto _ : state) {
        auto sim = withFavorites(count);
        sim->launch();
        processUntil([&] { return sim->desktop.statusBar.item->menuBuilds() > 0; });
        double before = residentMegabytes();
        FirstPaint watch;
        auto begin = std::chrono::steady_clock::now();
        sim->app->settingsWindowController().show(SettingsTabs::networkTab);
        auto* page = sim->desktop.settingsWindows.window->page(SettingsTabs::networkTab);
        page->installEventFilter(&watch);
        if (!processUntil([&] { return watch.painted; })) {
            state.SkipWithError("the tab was never painted");
            return;
        }
        state.SetIterationTime(secondsSince(begin));
        page->removeEventFilter(&watch);
        growth = std::max(growth, residentMegabytes() - before);
        state.counters["rss_growth_MB"] = growth;
        state.counters["tab_widgets"] = static_cast<double>(page->findChildren<QWidget*>().size());
    }
}
BENCHMARK(OpenNetworkTabWithFavoritesOnQt)
    ->Arg(10000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// Notes the first paint of anything in the settings window.
struct SettingsPaint : QObject {
    bool painted = false;
    bool eventFilter(QObject* object, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(object);
        if (event->type() == QEvent::Paint && widget && widget->window()->objectName() == "larkspireSettings")
            painted = true;
        return false;
    }
};

// A start without the file-manager entries, where the settings window opens by itself half a second
// in: from the start until its first tab is painted, the half second of waiting included.
void StartShowingSettingsWithFavoritesOnQt(benchmark::State& state) {
    needQt();
    int count = static_cast<int>(state.range(0));
    double growth = 0;
    for (auto _ : state) {
        auto sim = withFavorites(count);
        sim->session.finderExtension.enabled = false;
        double before = residentMegabytes();
        SettingsPaint watch;
        qApp->installEventFilter(&watch);
        auto begin = std::chrono::steady_clock::now();
        sim->launch();
        bool painted = processUntil([&] { return watch.painted; });
        qApp->removeEventFilter(&watch);
        if (!painted) {
            state.SkipWithError("the settings window was never painted");
            return;
        }
        state.SetIterationTime(secondsSince(begin));
        growth = std::max(growth, residentMegabytes() - before);
        state.counters["rss_growth_MB"] = growth;
    }
}
BENCHMARK(StartShowingSettingsWithFavoritesOnQt)
    ->Arg(10000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// The window open on the Network tab while the favourites change, as after each mount: every tab is
// described again and rendered.
void RefreshNetworkTabWithFavoritesOnQt(benchmark::State& state) {
    needQt();
    auto sim = withFavorites(static_cast<int>(state.range(0)));
    sim->launch();
    sim->app->settingsWindowController().show(SettingsTabs::networkTab);
    QCoreApplication::processEvents();
    for (auto _ : state) {
        auto begin = std::chrono::steady_clock::now();
        sim->app->settingsWindowController().refreshTabs();
        QCoreApplication::processEvents();
        state.SetIterationTime(secondsSince(begin));
    }
    sim->desktop.settingsWindows.window->widget().hide();
}
BENCHMARK(RefreshNetworkTabWithFavoritesOnQt)
    ->Arg(10000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

#endif

}  // namespace
