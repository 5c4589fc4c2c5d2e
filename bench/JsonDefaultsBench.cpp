// What one settings write and one start of the settings store cost on this machine's disk.
#include "app/Settings.h"
#include "platform/linux/files/JsonDefaults.h"
#include "platform/linux/system/SystemClock.h"
#include "platform/sim/Recorders.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace larkspire;

namespace {

struct Scratch {
    Scratch() {
        std::string pattern = (std::filesystem::temp_directory_path() / "larkspire-bench-XXXXXX").string();
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        folder = ::mkdtemp(name.data());
    }
    ~Scratch() { std::filesystem::remove_all(folder); }
    std::filesystem::path folder;
};

// A store as a user's looks after a while: every setting, a few favourites, a cut list.
void fillLikeAUser(DefaultsStore& store) {
    store.registerDefaults(Settings::registeredDefaults());
    for (auto& [key, value] : Settings::registeredDefaults()) store.set(key, value);
    store.set(Settings::fileNameKey, Value("Notiz.md"));
    Value::List favorites;
    for (int i = 0; i < 5; ++i)
        favorites.emplace_back(
            Value::Dictionary{{"shareURL", Value("smb://nas/Freigabe" + std::to_string(i))},
                              {"relativePath", Value("Projekte/2026")},
                              {"name", Value("Projekte " + std::to_string(i))}});
    store.set(Settings::networkFavoritesKey, Value(favorites));
}

void settingsWrite(benchmark::State& state) {
    Scratch scratch;
    sim::RecordingLog log;
    linux_desktop::SystemClock clock;
    linux_desktop::JsonDefaults store(scratch.folder / "settings.json", log, clock);
    fillLikeAUser(store);
    std::vector<std::string> paths;
    for (int i = 0; i < state.range(0); ++i)
        paths.push_back("/home/anna/Dokumente/Bericht " + std::to_string(i) + ".pdf");
    for (auto _ : state) store.set(Settings::cutPathsKey, Value::stringList(paths));
}
BENCHMARK(settingsWrite)->Arg(1)->Arg(100)->Unit(benchmark::kMicrosecond);

void settingsStart(benchmark::State& state) {
    Scratch scratch;
    sim::RecordingLog log;
    linux_desktop::SystemClock clock;
    {
        linux_desktop::JsonDefaults store(scratch.folder / "settings.json", log, clock);
        fillLikeAUser(store);
    }
    for (auto _ : state) {
        linux_desktop::JsonDefaults store(scratch.folder / "settings.json", log, clock);
        benchmark::DoNotOptimize(store.object(Settings::cutPasteKey));
    }
}
BENCHMARK(settingsStart)->Unit(benchmark::kMicrosecond);

}  // namespace
