#include "platform/linux/system/ProcHostStatistics.h"

#include "app/Settings.h"
#include "platform/sim/MemoryDefaults.h"
#include "stats/SystemStats.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace larkspire;
using larkspire::linux_desktop::HwmonTemperatureSensors;
using larkspire::linux_desktop::parseCpuList;
using larkspire::linux_desktop::ProcHostStatistics;
using larkspire::testing::TemporaryFolder;

namespace {

const std::string meminfo16G = "MemTotal:       16384000 kB\n"
                               "MemFree:         8000000 kB\n"
                               "MemAvailable:   10384000 kB\n"
                               "Buffers:          100000 kB\n"
                               "Cached:          2000000 kB\n"
                               "KernelStack:       20000 kB\n"
                               "PageTables:        30000 kB\n"
                               "SUnreclaim:       150000 kB\n"
                               "Zswap:             50000 kB\n";

// A /proc and /sys tree of a machine, as the kernel lays it out.
struct Tree {
    TemporaryFolder folder;
    explicit Tree(int cpus, const std::string& meminfo = meminfo16G) {
        std::string stat = "cpu  1 2 3 4 5 6 7 8 0 0\n";
        for (int cpu = 0; cpu < cpus; ++cpu)
            stat += "cpu" + std::to_string(cpu) + " 100 5 40 800 20 3 2 1 0 0\n";
        stat += "intr 1 2 3\nctxt 99\n";
        folder.file("proc/stat", stat);
        folder.file("proc/meminfo", meminfo);
        folder.file("sys/devices/system/cpu/present", "0-" + std::to_string(cpus - 1) + "\n");
    }
    void cpu(int number, const std::string& file, const std::string& content) {
        folder.file("sys/devices/system/cpu/cpu" + std::to_string(number) + "/" + file, content + "\n");
    }
    void secondLevelCache(int number, const std::string& shared, const std::string& siblings) {
        cpu(number, "cache/index0/level", "1");
        cpu(number, "cache/index1/level", "1");
        cpu(number, "cache/index2/level", "2");
        cpu(number, "cache/index2/shared_cpu_list", shared);
        cpu(number, "topology/thread_siblings_list", siblings);
    }
    void sensor(const std::string& hwmon, const std::string& input, const std::string& label,
                const std::string& value) {
        folder.file("sys/class/hwmon/" + hwmon + "/" + input + "_input", value + "\n");
        if (!label.empty()) folder.file("sys/class/hwmon/" + hwmon + "/" + input + "_label", label + "\n");
    }
    std::string path() const { return folder.path().string(); }
};

std::vector<CoreCluster> clustersOf(const Tree& tree) {
    ProcHostStatistics host(tree.path());
    return SystemStats::detectClusters(host);
}

TEST(LinuxHost, AVirtualMachineWithTwoCpusHasOneUnlabelledGroupAndNoSensor) {
    Tree vm(2);
    vm.secondLevelCache(0, "0", "0");
    vm.secondLevelCache(1, "1", "1");
    ProcHostStatistics host(vm.path());
    EXPECT_EQ(host.processorCount(), 2);
    EXPECT_EQ(host.physicalMemory(), 16384000ULL * 1024);
    EXPECT_EQ(SystemStats::detectClusters(host), (std::vector<CoreCluster>{{"", 0, 2}}));
    auto ticks = host.processorTicks();
    ASSERT_TRUE(ticks);
    // user, system + irq + softirq + steal, idle + iowait, nice
    EXPECT_EQ(*ticks,
              (std::vector<CpuTicks>(2, CpuTicks{.user = 100, .system = 46, .idle = 820, .nice = 5})));
    EXPECT_EQ(HwmonTemperatureSensors(vm.path()).count(), 0u);
}

TEST(LinuxHost, UsedMemoryIsWhatFreeShowsSplitIntoTheFourCounts) {
    Tree tree(1);
    ProcHostStatistics host(tree.path());
    auto pages = host.memoryPages();
    ASSERT_TRUE(pages);
    EXPECT_EQ(pages->wired, 200000u);
    EXPECT_EQ(pages->compressed, 50000u);
    EXPECT_EQ(pages->purgeable, 0u);
    double used = (double(pages->internal) - double(pages->purgeable) + double(pages->wired) +
                   double(pages->compressed)) *
                  host.pageSize();
    EXPECT_EQ(used, (16384000.0 - 10384000.0) * 1024);  // MemTotal − MemAvailable
}

TEST(LinuxHost, AHybridIntelLaptopNumbersItsPerformanceCpusFirst) {
    Tree laptop(24);
    laptop.folder.file("sys/devices/cpu_core/cpus", "0-15\n");
    laptop.folder.file("sys/devices/cpu_atom/cpus", "16-23\n");
    for (int cpu = 0; cpu < 16; ++cpu) {
        auto pair = std::to_string(cpu / 2 * 2) + "-" + std::to_string(cpu / 2 * 2 + 1);
        laptop.secondLevelCache(cpu, pair, pair);  // each P core has its own cache for its two threads
    }
    for (int cpu = 16; cpu < 24; ++cpu)
        laptop.secondLevelCache(cpu, cpu < 20 ? "16-19" : "20-23", std::to_string(cpu));
    laptop.sensor("hwmon3", "temp1", "Package id 0", "52000");
    laptop.sensor("hwmon3", "temp2", "Core 0", "61000");
    laptop.folder.file("sys/class/hwmon/hwmon3/name", "coretemp\n");
    laptop.folder.file("sys/class/hwmon/hwmon0/name", "acpitz\n");
    laptop.sensor("hwmon0", "temp1", "", "27800");

    // Each performance core has a cache of its own, shared by its two threads only.
    std::vector<CoreCluster> expected;
    for (int core = 0; core < 8; ++core) expected.push_back({"P", 2 * core, 2 * core + 2});
    expected.push_back({"E", 16, 24});
    EXPECT_EQ(clustersOf(laptop), expected);
    HwmonTemperatureSensors sensors(laptop.path());
    ASSERT_EQ(sensors.count(), 1u);  // the package, not its cores nor the board
    EXPECT_EQ(sensors.readCelsius(0), 52.0);
}

TEST(LinuxHost, ABigLittleArmBoardTellsItsKindsByCapacity) {
    Tree board(8);
    for (int cpu = 0; cpu < 8; ++cpu) {
        board.cpu(cpu, "cpu_capacity", cpu < 4 ? "414" : "1024");
        board.secondLevelCache(cpu, std::to_string(cpu), std::to_string(cpu));
    }
    board.folder.file("sys/class/thermal/thermal_zone0/type", "soc-thermal\n");
    board.folder.file("sys/class/thermal/thermal_zone0/temp", "40000\n");
    board.folder.file("sys/class/thermal/thermal_zone1/type", "cpu-thermal\n");
    board.folder.file("sys/class/thermal/thermal_zone1/temp", "47500\n");

    EXPECT_EQ(clustersOf(board),
              (std::vector<CoreCluster>{{"E", 0, 4}, {"P", 4, 5}, {"P", 5, 6}, {"P", 6, 7}, {"P", 7, 8}}));
    HwmonTemperatureSensors sensors(board.path());
    ASSERT_EQ(sensors.count(), 1u);
    EXPECT_EQ(sensors.readCelsius(0), 47.5);
}

TEST(LinuxHost, AnAmdDesktopReadsItsDiesAndSkipsBrokenReadings) {
    Tree desktop(16);
    desktop.folder.file("sys/class/hwmon/hwmon2/name", "k10temp\n");
    desktop.sensor("hwmon2", "temp1", "Tctl", "75000");
    desktop.sensor("hwmon2", "temp3", "Tccd1", "58000");
    desktop.sensor("hwmon2", "temp4", "Tccd2", "-273000");
    desktop.sensor("hwmon2", "temp5", "Tccd3", "garbage");

    EXPECT_EQ(clustersOf(desktop), (std::vector<CoreCluster>{{"", 0, 16}}));
    HwmonTemperatureSensors sensors(desktop.path());
    ASSERT_EQ(sensors.count(), 3u);  // the dies, not the fan-control value
    EXPECT_EQ(sensors.readCelsius(0), 58.0);
    EXPECT_EQ(sensors.readCelsius(1), -273.0);
    EXPECT_EQ(sensors.readCelsius(2), std::nullopt);
    EXPECT_EQ(sensors.readCelsius(9), std::nullopt);

    sim::MemoryDefaults defaults;
    defaults.registerDefaults(Settings::registeredDefaults());
    ProcHostStatistics host(desktop.path());
    SystemStats stats({.host = host, .sensors = sensors, .defaults = defaults});
    stats.refresh();
    EXPECT_EQ(stats.temperature(), 58.0);
}

TEST(LinuxHost, ACpuThatGoesOfflineKeepsItsPlaceAndShowsNoLoad) {
    Tree tree(4);
    ProcHostStatistics host(tree.path());
    ASSERT_TRUE(host.processorTicks());
    tree.folder.file("proc/stat", "cpu  1 1 1 1\n"
                                  "cpu0 200 5 40 900 20 3 2 1 0 0\n"
                                  "cpu1 200 5 40 900 20 3 2 1 0 0\n"
                                  "cpu3 200 5 40 900 20 3 2 1 0 0\n");
    auto ticks = host.processorTicks();
    ASSERT_TRUE(ticks);
    ASSERT_EQ(ticks->size(), 4u);
    EXPECT_EQ((*ticks)[2], (CpuTicks{.user = 100, .system = 46, .idle = 820, .nice = 5}));
    EXPECT_EQ((*ticks)[3].user, 200u);
}

struct StatCase {
    std::string name;
    std::string stat;
    bool readable;
};

class BrokenStat : public ::testing::TestWithParam<StatCase> {};

TEST_P(BrokenStat, GivesCountersOnlyWhenEveryCpuLineHasItsFourColumns) {
    Tree tree(2);
    ProcHostStatistics host(tree.path());
    tree.folder.file("proc/stat", GetParam().stat);
    EXPECT_EQ(host.processorTicks().has_value(), GetParam().readable);
}

INSTANTIATE_TEST_SUITE_P(
    Files, BrokenStat,
    ::testing::Values(StatCase{"OldKernelWithFourColumns", "cpu0 1 2 3 4\ncpu1 1 2 3 4\n", true},
                      StatCase{"ExtraColumns", "cpu0 1 2 3 4 5 6 7 8 9 10 11 12\n", true},
                      StatCase{"ThreeColumns", "cpu0 1 2 3\ncpu1 1 2 3 4\n", false},
                      StatCase{"Letters", "cpu0 1 2 x 4\n", false},
                      StatCase{"NegativeNumber", "cpu0 1 -2 3 4\n", false}, StatCase{"Empty", "", false},
                      StatCase{"NoCpuLines", "intr 5\nctxt 7\n", false}),
    [](const auto& info) { return info.param.name; });

TEST(LinuxHost, AnEmptyOrGarbledMeminfoGivesNoCounts) {
    for (std::string text : {"", "MemTotal: lots\n", "garbage without colons\n", "MemFree: 10 kB\n"}) {
        Tree tree(1, text);
        ProcHostStatistics host(tree.path());
        EXPECT_FALSE(host.memoryPages()) << text;
    }
    Tree old(1, "MemTotal: 1000 kB\nMemFree: 200 kB\nBuffers: 100 kB\nCached: 300 kB\n");
    auto pages = ProcHostStatistics(old.path()).memoryPages();
    ASSERT_TRUE(pages);
    EXPECT_EQ(pages->internal + pages->wired + pages->compressed, 400u);
}

TEST(LinuxHost, CpuListsParseRangesAndRejectNonsense) {
    EXPECT_EQ(parseCpuList("0-3,8,10-11\n"), (std::vector<int>{0, 1, 2, 3, 8, 10, 11}));
    EXPECT_EQ(parseCpuList(""), (std::vector<int>{}));
    EXPECT_EQ(parseCpuList("5,1-2"), (std::vector<int>{1, 2, 5}));
    for (auto text : {"3-1", "a", "1-", "-1", "0-99999999", "1,,x"}) EXPECT_FALSE(parseCpuList(text)) << text;
}

TEST(LinuxHost, AHybridListThatDoesNotParseGivesOneUnlabelledGroup) {
    Tree tree(4);
    tree.folder.file("sys/devices/cpu_core/cpus", "0-1\n");
    tree.folder.file("sys/devices/cpu_atom/cpus", "2-x\n");
    EXPECT_EQ(clustersOf(tree), (std::vector<CoreCluster>{{"", 0, 4}}));
}

TEST(LinuxHost, ThisMachinesRealFilesGiveLoadsAndMemoryInRange) {
    ProcHostStatistics host;
    EXPECT_GE(host.processorCount(), static_cast<int>(::sysconf(_SC_NPROCESSORS_ONLN)));
    EXPECT_GT(host.physicalMemory(), 0u);
    HwmonTemperatureSensors sensors;
    sim::MemoryDefaults defaults;
    defaults.registerDefaults(Settings::registeredDefaults());
    SystemStats stats({.host = host, .sensors = sensors, .defaults = defaults});
    stats.refresh();
    stats.refresh();
    ASSERT_EQ(stats.coreLoads().size(), static_cast<std::size_t>(host.processorCount()));
    for (double load : stats.coreLoads()) EXPECT_TRUE(load >= 0 && load <= 1) << load;
    EXPECT_GT(stats.memoryUsed(), 0);
    EXPECT_LT(stats.memoryUsed(), stats.memoryTotal());
    if (sensors.count() == 0) {
        EXPECT_EQ(stats.temperature(), std::nullopt);
    }
}

}  // namespace
