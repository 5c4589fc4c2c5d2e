#include "app/Settings.h"
#include "platform/linux/system/ProcHostStatistics.h"
#include "platform/sim/MemoryDefaults.h"
#include "stats/SystemStats.h"
#include "support/TemporaryFolder.h"

#include <benchmark/benchmark.h>
#include <fstream>

using namespace larkspire;

namespace {

// One refresh as the monitor does it every second: /proc/stat, /proc/meminfo and the sensors.
void refreshOn(benchmark::State& state, const std::string& root) {
    linux_desktop::ProcHostStatistics host(root);
    linux_desktop::HwmonTemperatureSensors sensors(root);
    sim::MemoryDefaults defaults;
    defaults.registerDefaults(Settings::registeredDefaults());
    SystemStats stats({.host = host, .sensors = sensors, .defaults = defaults});
    stats.refresh();
    for (auto _ : state) {
        stats.refresh();
        benchmark::DoNotOptimize(stats.totalLoad());
    }
    state.counters["cpus"] = host.processorCount();
}

void BM_RefreshRealProc(benchmark::State& state) {
    refreshOn(state, "/");
}
BENCHMARK(BM_RefreshRealProc);

// A large server's tree: `cpus` CPU lines, the usual meminfo and a coretemp package sensor.
void BM_RefreshFixture(benchmark::State& state) {
    testing::TemporaryFolder tree;
    auto cpus = static_cast<int>(state.range(0));
    std::string stat = "cpu  1 2 3 4 5 6 7 8 0 0\n";
    for (int cpu = 0; cpu < cpus; ++cpu)
        stat += "cpu" + std::to_string(cpu) + " 4477200 120 1630500 78770000 31700 0 12300 0 0 0\n";
    stat += "intr 352385 0 0 0\nctxt 1000\nbtime 1700000000\nprocesses 5000\n";
    tree.file("proc/stat", stat);
    std::ifstream real("/proc/meminfo");
    tree.file("proc/meminfo", std::string(std::istreambuf_iterator<char>(real), {}));
    tree.file("sys/devices/system/cpu/present", "0-" + std::to_string(cpus - 1) + "\n");
    tree.file("sys/class/hwmon/hwmon1/name", "coretemp\n");
    tree.file("sys/class/hwmon/hwmon1/temp1_input", "48000\n");
    tree.file("sys/class/hwmon/hwmon1/temp1_label", "Package id 0\n");
    refreshOn(state, tree.path().string());
}
BENCHMARK(BM_RefreshFixture)->Arg(16)->Arg(32)->Arg(64)->Arg(128);

}  // namespace
