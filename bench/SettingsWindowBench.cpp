// Opening the settings window on each tab, from the call to the first frame painted, on Qt's
// offscreen platform: once when the window already exists, and once with a fresh program.
#include <benchmark/benchmark.h>

#ifdef LARKSPIRE_HAVE_QT

#include "OffscreenQt.h"
#include "platform/qt/QtApp.h"

#include <QApplication>
#include <QEvent>
#include <chrono>
#include <cstdlib>
#include <memory>

namespace {

using larkspire::testing::QtApp;

using larkspire::bench::needQt;

// Notes the first paint of the page the tab shows.
struct FirstPaint : QObject {
    bool painted = false;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted = true;
        return false;
    }
};

// The time from `show(tab)` until the tab's page is painted; negative when it never was.
double openAndPaint(QtApp& sim, int tab) {
    auto begin = std::chrono::steady_clock::now();
    FirstPaint watch;
    if (auto* window = sim.desktop.settingsWindows.window) window->page(tab)->installEventFilter(&watch);
    sim.app->settingsWindowController().show(tab);
    auto* window = sim.desktop.settingsWindows.window;
    if (!window) return -1;
    window->page(tab)->installEventFilter(&watch);  // a window made just now has its pages only now
    while (!watch.painted) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (std::chrono::steady_clock::now() - begin > std::chrono::seconds(5)) return -1;
    }
    window->page(tab)->removeEventFilter(&watch);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

std::unique_ptr<QtApp> launched() {
    auto sim = std::make_unique<QtApp>();
    sim->session.finderExtension.enabled = true;  // no window of its own at start-up
    sim->session.accessibility.trusted = true;
    sim->launch();
    return sim;
}

// The window exists and is hidden, as after the first opening.
void OpenSettingsOnTab(benchmark::State& state) {
    needQt();
    auto sim = launched();
    int tab = static_cast<int>(state.range(0));
    openAndPaint(*sim, 0);
    for (auto _ : state) {
        sim->desktop.settingsWindows.window->widget().hide();
        QCoreApplication::processEvents();
        double seconds = openAndPaint(*sim, tab);
        if (seconds < 0) {
            state.SkipWithError("the tab was never painted");
            return;
        }
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(OpenSettingsOnTab)
    ->DenseRange(0, 6)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

// The first opening in a program, which builds the window and all seven tabs.
void FirstOpenSettingsOnTab(benchmark::State& state) {
    needQt();
    int tab = static_cast<int>(state.range(0));
    for (auto _ : state) {
        auto sim = launched();
        double seconds = openAndPaint(*sim, tab);
        if (seconds < 0) {
            state.SkipWithError("the tab was never painted");
            return;
        }
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(FirstOpenSettingsOnTab)
    ->DenseRange(0, 6)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

}  // namespace

#endif
