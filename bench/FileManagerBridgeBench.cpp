#include "app/Settings.h"
#include "overlay/FinderOverlayController.h"
#include "platform/linux/accessibility/FileManagerBridge.h"
#include "platform/sim/Desktop.h"

#include <benchmark/benchmark.h>

using namespace larkspire;
using namespace larkspire::linux_desktop;

namespace {

// The window list of a session with a dozen windows, the file manager's in front.
class ListedWindows : public DesktopWindows {
  public:
    std::vector<DesktopWindow> windows() override {
        ++reads;
        return list;
    }
    std::optional<std::uint32_t> activeWindow() override { return list.front().number; }
    double primaryScreenHeight() const override { return 1080; }
    std::shared_ptr<void> observeActivations(std::function<void()>) override { return nullptr; }

    std::vector<DesktopWindow> list;
    int reads = 0;
};

// One refresh of the badge over a list view of 5,000 files that shows 40 rows, 3 selected and 10
// cut, as the bus reports it; the window list is read afresh as in every pass.
void BM_BadgeRefreshOverFileManagerWindow(benchmark::State& state) {
    sim::Desktop desktop;
    desktop.defaults.registerDefaults(Settings::registeredDefaults());
    ListedWindows listed;
    for (std::uint32_t i = 0; i < 12; ++i)
        listed.list.push_back(
            DesktopWindow{.number = 0x1200003 + i,
                          .processIdentifier = static_cast<std::int32_t>(4242 + i),
                          .title = i == 0 ? "Viele - Thunar" : "Fenster " + std::to_string(i),
                          .client = Rect{100, 100, 1000, 800},
                          .frame = Rect{99, 75, 1002, 826},
                          .onScreen = true});
    auto bridge =
        FileManagerBridge::create(desktop.loop, listed, FinderOverlayController::finderBundleIdentifier);
    FileManagerWindow window{.processIdentifier = 4242};
    window.view = FileManagerView{.title = "Viele - Thunar",
                                  .active = true,
                                  .frame = Rect{99, 75, 1002, 826},
                                  .folder = "/home/anna/Viele",
                                  .viewport = Rect{300, 200, 800, 960},
                                  .exposesItems = true};
    std::vector<std::string> cut;
    for (int i = 0; i < 5'000; ++i) {
        auto name = "datei-" + std::to_string(i) + ".txt";
        // Rows past the viewport keep the sentinel extents the bus gives them.
        Rect extents = i < 40 ? Rect{300, 200 + 24.0 * i, 800, 24} : Rect{-2147483648.0, -2147483648.0, 0, 0};
        window.view.items.push_back(
            FileManagerItem{.name = name, .extents = extents, .selected = i >= 3 && i < 6});
        if (i % 4 == 0 && cut.size() < 10) cut.push_back("/home/anna/Viele/" + name);
        if (i < 6) desktop.files.addFile("/home/anna/Viele/" + name, 1000);
    }
    bridge->setWindows({window});
    desktop.useFileManagers(*bridge, *bridge, *bridge, *bridge);
    auto controller = FinderOverlayController::create(FinderOverlayPorts::from(desktop.ports()));
    controller->start();
    controller->setCutPaths(cut);
    desktop.advance(0.2);  // the sizes arrive
    if (controller->overlayWindows().empty()) state.SkipWithError("no badge window");
    int readsBefore = listed.reads;
    for (auto _ : state) {
        desktop.advance(0);  // a new turn of the main loop: the window list is read again
        controller->refresh();
    }
    if (listed.reads - readsBefore < static_cast<int>(state.iterations()))
        state.SkipWithError("the window list was not read in every pass");
}
BENCHMARK(BM_BadgeRefreshOverFileManagerWindow)->Unit(benchmark::kMicrosecond);

}  // namespace
