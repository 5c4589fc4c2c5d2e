#pragma once

#include "platform/HostStatistics.h"
#include "platform/TemperatureSensors.h"

#include <filesystem>
#include <string>
#include <vector>

namespace larkspire::linux_desktop {

// "0-3,8,10-11" as CPU numbers, ascending; nothing for a list that does not parse.
std::optional<std::vector<int>> parseCpuList(const std::string& text);

// Counters from /proc/stat and /proc/meminfo, topology from sysfs; `root` stands for "/" in tests.
class ProcHostStatistics : public HostStatistics {
  public:
    explicit ProcHostStatistics(std::filesystem::path root = "/");
    ~ProcHostStatistics() override;
    ProcHostStatistics(const ProcHostStatistics&) = delete;
    ProcHostStatistics& operator=(const ProcHostStatistics&) = delete;

    int processorCount() const override { return processors; }
    std::uint64_t physicalMemory() const override { return installed; }
    std::vector<LogicalCpu> processorTopology() const override { return topology; }
    std::optional<std::vector<CpuTicks>> processorTicks() override;
    std::optional<MemoryPages> memoryPages() override;
    double pageSize() const override { return 1024; }  // /proc/meminfo counts in KiB, so a KiB is the page

  private:
    std::filesystem::path root;
    int processors = 1;
    std::uint64_t installed = 0;
    std::vector<LogicalCpu> topology;
    std::vector<CpuTicks>
        lastTicks;  // kept for CPUs that go offline, so they show no load rather than vanish
    std::string buffer;
    int statFile = -1;  // kept open: the kernel writes the file afresh on every read from its start
    int meminfoFile = -1;
};

// The CPU package or die sensors of hwmon, else a CPU thermal zone.
class HwmonTemperatureSensors : public TemperatureSensors {
  public:
    explicit HwmonTemperatureSensors(std::filesystem::path root = "/");
    std::size_t count() const override { return inputs.size(); }
    std::optional<double> readCelsius(std::size_t sensor) override;
    const std::vector<std::filesystem::path>& sensorFiles() const { return inputs; }

  private:
    std::vector<std::filesystem::path> inputs;  // each reads millidegrees Celsius
};

}  // namespace larkspire::linux_desktop
