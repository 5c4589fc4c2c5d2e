#pragma once

#include "platform/DefaultsStore.h"
#include "platform/HostStatistics.h"
#include "platform/TemperatureSensors.h"
#include "platform/types/Signal.h"
#include "stats/Thermometer.h"

#include <optional>
#include <string>
#include <vector>

namespace larkspire {

// CPUs drawn as one group: numbers first ..< end.
struct CoreCluster {
    std::string label;  // "E", "P", or empty on a machine without the split
    int first = 0;
    int end = 0;
    bool operator==(const CoreCluster&) const = default;
};

struct SystemStatsPorts {
    HostStatistics& host;
    TemperatureSensors& sensors;
    DefaultsStore& defaults;
};

// The statistics behind the system monitor; `refresh` samples, observers hear every assignment.
class SystemStats {
  public:
    explicit SystemStats(SystemStatsPorts ports);

    void refresh();

    const std::vector<double>& coreLoads() const { return loads; }
    double totalLoad() const { return total; }
    std::optional<double> temperature() const { return celsius; }
    double memoryUsed() const { return used; }
    double memoryTotal() const { return installed; }
    const std::vector<CoreCluster>& clusters() const { return groups; }

    [[nodiscard]] std::shared_ptr<void> observe(Signal::Handler handler) {
        return changed.observe(std::move(handler));
    }

    static std::vector<CoreCluster> detectClusters(const HostStatistics& host);

  private:
    void sampleLoads();
    void sampleMemory();
    void sampleTemperature();

    SystemStatsPorts ports;
    std::vector<double> loads;
    double total = 0;
    std::optional<double> celsius;
    double used = 0;
    double installed = 0;
    std::vector<CoreCluster> groups;
    std::vector<CpuTicks> previousTicks;
    Thermometer thermometer;
    Signal changed;
};

}  // namespace larkspire
