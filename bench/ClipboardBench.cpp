// What reading a native cut costs the main thread: parsing what a file manager offers, and the whole
// road from a changed clipboard to the announced cut list, for a usual selection and a huge one.
#include "app/Settings.h"
#include "cutpaste/CutPasteMonitor.h"
#include "platform/linux/clipboard/ClipboardFiles.h"
#include "platform/sim/Desktop.h"

#include <benchmark/benchmark.h>
#include <string>
#include <vector>

using namespace larkspire;

namespace {

std::vector<std::string> manyPaths(std::int64_t count) {
    std::vector<std::string> paths;
    // The first exists, so the cut is not taken for one that was pasted already.
    paths.push_back("/");
    for (std::int64_t i = 1; i < count; ++i)
        paths.push_back("/tmp/Ordner mit Leerzeichen/Datei " + std::to_string(i));
    return paths;
}

void ParseGnomeCut(benchmark::State& state) {
    auto content = clipboardContentFor(manyPaths(state.range(0)), FileOperation::cut);
    content.mateCopiedFiles.reset();
    for (auto _ : state) benchmark::DoNotOptimize(parseClipboardFiles(content));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(ParseGnomeCut)->Arg(30)->Arg(100000)->Unit(benchmark::kMillisecond);

// From the changed clipboard to the cut list set, announced and stored (in the simulated desktop's
// in-memory store, so the settings file is not part of it).
void NativeCutRead(benchmark::State& state) {
    sim::Desktop desktop;
    desktop.clipboard.nativeCuts = true;
    desktop.defaults.registerDefaults(Settings::registeredDefaults());
    NotificationCenter notifications;
    auto monitor = std::make_shared<CutPasteMonitor>(desktop.ports(), notifications);
    monitor->update();
    auto paths = manyPaths(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        desktop.clipboard.writeText("");
        desktop.advance(CutPasteMonitor::clipboardSettle);
        desktop.clipboard.writeFiles(paths, FileOperation::cut);
        state.ResumeTiming();
        desktop.advance(CutPasteMonitor::clipboardSettle);
    }
    auto line = "Ausgeschnitten: " + std::to_string(paths.size()) + " Datei(en)";
    if (desktop.log.count("cut", line) != static_cast<int>(state.iterations()))
        state.SkipWithError("the cut was not read every time");
}
BENCHMARK(NativeCutRead)->Arg(30)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
