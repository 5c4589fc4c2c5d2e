#include "stats/SystemStats.h"

#include "stats/StatsSettings.h"

namespace larkspire {

SystemStats::SystemStats(SystemStatsPorts ports)
    : ports(ports), installed(static_cast<double>(ports.host.physicalMemory())),
      groups(detectClusters(ports.host)), thermometer(ports.sensors) {}

std::vector<CoreCluster> SystemStats::detectClusters(const HostStatistics& host) {
    int count = std::max(1, host.processorCount());
    std::vector<CoreCluster> single{CoreCluster{.label = "", .first = 0, .end = count}};
    auto topology = host.processorTopology();
    if (static_cast<int>(topology.size()) != count) return single;
    bool efficiency = false, performance = false;
    for (const auto& cpu : topology) {
        if (cpu.kind == CoreKind::unknown) return single;
        (cpu.kind == CoreKind::efficiency ? efficiency : performance) = true;
    }
    if (!efficiency || !performance) return single;

    // Walks the real numbering, so performance CPUs that come first are labelled as such.
    std::vector<CoreCluster> clusters;
    for (int cpu = 0; cpu < count; ++cpu) {
        const auto& here = topology[static_cast<std::size_t>(cpu)];
        const auto* before = cpu > 0 ? &topology[static_cast<std::size_t>(cpu - 1)] : nullptr;
        // Efficiency CPUs form one cluster; performance CPUs one per second-level cache, or one in all
        // where the caches are not known.
        bool joins = before && before->kind == here.kind &&
                     (here.kind == CoreKind::efficiency || before->cacheGroup == here.cacheGroup);
        if (joins) {
            clusters.back().end = cpu + 1;
        } else {
            clusters.push_back(CoreCluster{
                .label = here.kind == CoreKind::efficiency ? "E" : "P", .first = cpu, .end = cpu + 1});
        }
    }
    return clusters;
}

void SystemStats::refresh() {
    sampleLoads();
    sampleMemory();
    sampleTemperature();
}

void SystemStats::sampleLoads() {
    auto ticks = ports.host.processorTicks();
    if (!ticks) return;
    if (ticks->size() == previousTicks.size()) {
        std::vector<double> next;
        next.reserve(ticks->size());
        double sumBusy = 0, sumTotal = 0;
        for (std::size_t cpu = 0; cpu < ticks->size(); ++cpu) {
            const auto& now = (*ticks)[cpu];
            const auto& before = previousTicks[cpu];
            // Unsigned subtraction: a counter that wrapped past 2^32 still gives its true small increase.
            auto delta = [](std::uint32_t a, std::uint32_t b) {
                return static_cast<double>(std::uint32_t(a - b));
            };
            double user = delta(now.user, before.user), system = delta(now.system, before.system);
            double idle = delta(now.idle, before.idle), nice = delta(now.nice, before.nice);
            double cpuTotal = user + system + idle + nice;
            double busy = cpuTotal - idle;
            next.push_back(cpuTotal > 0 ? busy / cpuTotal : 0);
            sumBusy += busy;
            sumTotal += cpuTotal;
        }
        loads = std::move(next);
        changed.notify();
        total = sumTotal > 0 ? sumBusy / sumTotal : 0;
        changed.notify();
    } else {
        loads.assign(ticks->size(), 0.0);
        changed.notify();
    }
    previousTicks = std::move(*ticks);
}

void SystemStats::sampleMemory() {
    auto pages = ports.host.memoryPages();
    if (!pages) return;
    // In doubles, so purgeable pages above the internal ones cannot wrap around.
    double value = static_cast<double>(pages->internal) - static_cast<double>(pages->purgeable);
    value += static_cast<double>(pages->wired);
    value += static_cast<double>(pages->compressed);
    used = value * ports.host.pageSize();
    changed.notify();
}

void SystemStats::sampleTemperature() {
    celsius =
        ports.defaults.boolForKey(Settings::systemMonitorTemperatureKey) ? thermometer.read() : std::nullopt;
    changed.notify();
}

}  // namespace larkspire
