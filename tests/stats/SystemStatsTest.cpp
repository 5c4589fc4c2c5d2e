#include "stats/SystemStats.h"

#include "app/Settings.h"
#include "platform/sim/MemoryDefaults.h"
#include "platform/sim/SimHost.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace larkspire;

namespace {

struct Machine {
    sim::SimHostStatistics host;
    sim::SimTemperatureSensors sensors;
    sim::MemoryDefaults defaults;
    Machine() { defaults.registerDefaults(Settings::registeredDefaults()); }
    SystemStats stats() { return SystemStats({.host = host, .sensors = sensors, .defaults = defaults}); }
};

TEST(SystemStats, FirstSampleShowsZerosThenTheTickWeightedLoads) {
    Machine machine;
    machine.host.processors = 2;
    machine.host.ticks = std::vector<CpuTicks>(2);
    auto stats = machine.stats();
    stats.refresh();
    EXPECT_EQ(stats.coreLoads(), (std::vector<double>{0, 0}));
    EXPECT_EQ(stats.totalLoad(), 0);

    auto& ticks = *machine.host.ticks;
    ticks[0] = {.user = 30, .system = 10, .idle = 50, .nice = 10};
    ticks[1] = {.user = 0, .system = 0, .idle = 300, .nice = 0};
    stats.refresh();
    EXPECT_EQ(stats.coreLoads(), (std::vector<double>{0.5, 0.0}));
    EXPECT_DOUBLE_EQ(stats.totalLoad(), 50.0 / 400.0);  // not the mean of the loads, 0.25

    stats.refresh();  // no ticks elapsed
    EXPECT_EQ(stats.coreLoads(), (std::vector<double>{0, 0}));
    EXPECT_EQ(stats.totalLoad(), 0);
}

TEST(SystemStats, ACounterThatWrappedCountsItsTrueIncrease) {
    Machine machine;
    machine.host.processors = 1;
    machine.host.ticks = std::vector<CpuTicks>{{.user = 4294967290u, .idle = 100}};
    auto stats = machine.stats();
    stats.refresh();
    (*machine.host.ticks)[0] = {.user = 5, .idle = 111};
    stats.refresh();
    EXPECT_DOUBLE_EQ(stats.coreLoads()[0], 11.0 / 22.0);
}

TEST(SystemStats, ACpuCountThatChangedGivesZerosOnceAndKeepsTheTotal) {
    Machine machine;
    machine.host.processors = 2;
    machine.host.ticks = std::vector<CpuTicks>(2);
    auto stats = machine.stats();
    stats.refresh();
    machine.host.run(0.25);
    stats.refresh();
    ASSERT_DOUBLE_EQ(stats.totalLoad(), 0.25);

    machine.host.ticks->push_back(CpuTicks{.user = 7, .idle = 9});  // a CPU came online
    stats.refresh();
    EXPECT_EQ(stats.coreLoads(), (std::vector<double>{0, 0, 0}));
    EXPECT_DOUBLE_EQ(stats.totalLoad(), 0.25);
    for (auto& cpu : *machine.host.ticks) cpu.user += 10, cpu.idle += 10;
    stats.refresh();
    EXPECT_EQ(stats.coreLoads(), (std::vector<double>{0.5, 0.5, 0.5}));
}

TEST(SystemStats, AFailedCounterReadKeepsTheLoadsButStillReadsMemoryAndTemperature) {
    Machine machine;
    machine.host.processors = 1;
    machine.host.ticks = std::vector<CpuTicks>(1);
    machine.sensors.readings = {50.0};
    auto stats = machine.stats();
    stats.refresh();
    machine.host.run(0.4);
    stats.refresh();

    machine.host.ticks.reset();
    machine.host.pages = MemoryPages{.internal = 10};
    machine.sensors.readings = {70.0};
    stats.refresh();
    EXPECT_EQ(stats.coreLoads(), (std::vector<double>{0.4}));
    EXPECT_DOUBLE_EQ(stats.totalLoad(), 0.4);
    EXPECT_EQ(stats.memoryUsed(), 10 * 16384.0);
    EXPECT_EQ(stats.temperature(), 70.0);

    // The next good sample is measured against the last good one.
    machine.host.ticks = std::vector<CpuTicks>{{.user = 40 + 90, .idle = 60 + 10}};
    stats.refresh();
    EXPECT_DOUBLE_EQ(stats.coreLoads()[0], 0.9);
}

TEST(SystemStats, MemoryInUseIsInternalLessPurgeablePlusWiredAndCompressed) {
    Machine machine;
    machine.host.pages =
        MemoryPages{.internal = 200000, .purgeable = 50000, .wired = 100000, .compressed = 30000};
    auto stats = machine.stats();
    stats.refresh();
    EXPECT_EQ(stats.memoryUsed(), 4587520000.0);
    EXPECT_EQ(stats.memoryTotal(), 17179869184.0);

    machine.host.pages = MemoryPages{.internal = 10, .purgeable = 30};  // cannot wrap
    stats.refresh();
    EXPECT_EQ(stats.memoryUsed(), -20 * 16384.0);

    machine.host.pages.reset();
    stats.refresh();
    EXPECT_EQ(stats.memoryUsed(), -20 * 16384.0);
}

TEST(SystemStats, ObserversHearEveryAssignmentAlsoOfEqualValues) {
    Machine machine;
    auto stats = machine.stats();
    int heard = 0;
    auto observation = stats.observe([&] { ++heard; });
    stats.refresh();  // loads, memory, temperature
    EXPECT_EQ(heard, 3);
    stats.refresh();  // loads, total, memory, temperature, although nothing moved
    EXPECT_EQ(heard, 7);
    observation.reset();
    stats.refresh();
    EXPECT_EQ(heard, 7);
}

struct ClusterCase {
    std::string name;
    int processors;
    std::vector<LogicalCpu> topology;
    std::vector<CoreCluster> expected;
};

class Clusters : public ::testing::TestWithParam<ClusterCase> {};

TEST_P(Clusters, FollowTheRealNumberingAndFallBackToOneUnlabelledGroup) {
    sim::SimHostStatistics host;
    host.processors = GetParam().processors;
    host.topology = GetParam().topology;
    EXPECT_EQ(SystemStats::detectClusters(host), GetParam().expected);
}

constexpr auto E = CoreKind::efficiency;
constexpr auto P = CoreKind::performance;

INSTANTIATE_TEST_SUITE_P(
    Topologies, Clusters,
    ::testing::Values(
        ClusterCase{"EfficiencyFirstThenTwoSharedCaches",
                    10,
                    {{E, 0}, {E, 0}, {P, 2}, {P, 2}, {P, 2}, {P, 2}, {P, 6}, {P, 6}, {P, 6}, {P, 6}},
                    {{"E", 0, 2}, {"P", 2, 6}, {"P", 6, 10}}},
        ClusterCase{"PerformanceFirstWithPrivateCaches",
                    8,
                    {{P, 0}, {P, 1}, {P, 2}, {P, 3}, {E, 4}, {E, 4}, {E, 6}, {E, 6}},
                    {{"P", 0, 1}, {"P", 1, 2}, {"P", 2, 3}, {"P", 3, 4}, {"E", 4, 8}}},
        ClusterCase{"CachesNotKnownGiveOnePerformanceCluster",
                    6,
                    {{E, -1}, {E, -1}, {P, -1}, {P, -1}, {P, -1}, {P, -1}},
                    {{"E", 0, 2}, {"P", 2, 6}}},
        ClusterCase{"InterleavedKindsStayInTheirRealPlaces",
                    4,
                    {{E, -1}, {P, -1}, {E, -1}, {P, -1}},
                    {{"E", 0, 1}, {"P", 1, 2}, {"E", 2, 3}, {"P", 3, 4}}},
        ClusterCase{"NoTopology", 6, {}, {{"", 0, 6}}},
        ClusterCase{"OneKindOnly", 3, {{P, -1}, {P, -1}, {P, -1}}, {{"", 0, 3}}},
        ClusterCase{"AnUnknownCpu", 3, {{P, -1}, {E, -1}, {CoreKind::unknown, -1}}, {{"", 0, 3}}},
        ClusterCase{"TopologyOfAnotherCount", 3, {{P, -1}, {E, -1}}, {{"", 0, 3}}}),
    [](const auto& info) { return info.param.name; });

struct TemperatureCase {
    std::string name;
    std::vector<std::optional<double>> readings;
    std::optional<double> expected;
};

class Temperature : public ::testing::TestWithParam<TemperatureCase> {};

TEST_P(Temperature, IsTheMeanOfThePlausibleReadings) {
    Machine machine;
    machine.sensors.readings = GetParam().readings;
    auto stats = machine.stats();
    stats.refresh();
    EXPECT_EQ(stats.temperature(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Readings, Temperature,
    ::testing::Values(TemperatureCase{"TwoSensors", {45.0, 55.0}, 50.0},
                      TemperatureCase{"ZeroIsDropped", {0.0, 60.0}, 60.0},
                      TemperatureCase{"OneHundredFiftyIsAbsurd", {150.0}, std::nullopt},
                      TemperatureCase{"NegativeAndUnreadableAreSkipped", {-40.0, std::nullopt, 41.0}, 41.0},
                      TemperatureCase{"NotANumber", {std::nan("")}, std::nullopt},
                      TemperatureCase{"NoSensor", {}, std::nullopt}),
    [](const auto& info) { return info.param.name; });

TEST(Temperature, TheSettingIsReadOnEveryRefresh) {
    Machine machine;
    machine.sensors.readings = {48.0};
    auto stats = machine.stats();
    stats.refresh();
    EXPECT_EQ(stats.temperature(), 48.0);
    machine.defaults.setBool(Settings::systemMonitorTemperatureKey, false);
    stats.refresh();
    EXPECT_EQ(stats.temperature(), std::nullopt);
    machine.defaults.setBool(Settings::systemMonitorTemperatureKey, true);
    stats.refresh();
    EXPECT_EQ(stats.temperature(), 48.0);
}

}  // namespace
