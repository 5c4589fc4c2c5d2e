#include "platform/linux/files/TreeWalk.h"
#include "support/SimApp.h"
#include "support/TemporaryFolder.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using namespace larkspire;

namespace {

// One refresh of a window listing 10,000 items, 40 of them visible, with 200 items cut.
void BM_BadgeRefresh(benchmark::State& state) {
    testing::SimApp sim;
    auto& desktop = sim.desktop;
    desktop.accessibility.trusted = true;
    std::vector<std::string> names;
    for (int i = 0; i < 10'000; ++i) names.push_back("Datei " + std::to_string(i) + ".txt");
    auto& window = desktop.fileManager().openWindow("/Users/anna/Viele", names);
    window.bounds.height = sim::SimFinderWindow::toolbarHeight + 40 * sim::SimFinderWindow::rowHeight;
    window.select({names[3], names[4], names[5]});
    for (int i = 0; i < 6; ++i) desktop.files.addFile("/Users/anna/Viele/" + names[i], 1000);
    sim.launch();
    std::vector<std::string> cut;
    for (int i = 0; i < 200; ++i)
        cut.push_back("/Users/anna/Viele/" + names[static_cast<std::size_t>(i * 7)]);
    auto& overlay = sim.app->finderOverlayController();
    overlay.setCutPaths(cut);
    desktop.advance(0.2);  // the sizes arrive
    if (overlay.overlayWindows().empty()) state.SkipWithError("no badge window");
    for (auto _ : state) overlay.refresh();
}
BENCHMARK(BM_BadgeRefresh)->Unit(benchmark::kMicrosecond);

// A tree like the one the du comparison uses: 200,000 files in 20,000 folders, 0–64 KiB each.
const std::string& generatedTree() {
    static testing::TemporaryFolder folder;
    static bool made = [] {
        std::mt19937 random(20261207);
        std::vector<std::string> folders{folder.path().string()};
        for (int i = 0; i < 20'000; ++i) {
            auto parent = i > 50 ? folders[random() % folders.size()] : folders[0];
            folders.push_back(parent + "/d" + std::to_string(i));
            ::mkdir(folders.back().c_str(), 0755);
        }
        for (int i = 0; i < 200'000; ++i) {
            auto path = folders[1 + i % 20'000] + (i % 50 == 0 ? "/.h" : "/f") + std::to_string(i);
            int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0644);
            if (fd >= 0 && ::ftruncate(fd, random() % 65'537) == 0) ::close(fd);
        }
        return true;
    }();
    (void)made;
    static const std::string root = folder.path().string();
    return root;
}

// Warm cache: the first pass reads the tree in, the timed ones walk it again.
void BM_TreeWalk(benchmark::State& state) {
    const auto& root = generatedTree();
    linux_desktop::TreeWalk walk(static_cast<int>(state.range(0)));
    std::int64_t total = walk.sizeAtPath(root);
    for (auto _ : state) benchmark::DoNotOptimize(total = walk.sizeAtPath(root));
    state.counters["bytes"] = static_cast<double>(total);
}
BENCHMARK(BM_TreeWalk)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
