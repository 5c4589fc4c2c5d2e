#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace larkspire {

// Tick counters of one logical CPU; each only grows, modulo 2^32.
struct CpuTicks {
    std::uint32_t user = 0;
    std::uint32_t system = 0;
    std::uint32_t idle = 0;
    std::uint32_t nice = 0;
    bool operator==(const CpuTicks&) const = default;
};

// Page counts whose combination is the memory in use: internal − purgeable + wired + compressed.
struct MemoryPages {
    std::uint64_t internal = 0;
    std::uint64_t purgeable = 0;
    std::uint64_t wired = 0;
    std::uint64_t compressed = 0;
};

enum class CoreKind { unknown, efficiency, performance };

struct LogicalCpu {
    CoreKind kind = CoreKind::unknown;
    int cacheGroup = -1;  // CPUs with the same number share a second-level cache; -1: not known
    bool operator==(const LogicalCpu&) const = default;
};

// The host's processors and memory as the operating system counts them.
class HostStatistics {
  public:
    virtual ~HostStatistics() = default;
    virtual int processorCount() const = 0;                         // logical CPUs, at least 1
    virtual std::uint64_t physicalMemory() const = 0;               // installed bytes, 0 when unknown
    virtual std::vector<LogicalCpu> processorTopology() const = 0;  // by CPU number; empty when unknown
    virtual std::optional<std::vector<CpuTicks>>
    processorTicks() = 0;                                  // by CPU number; nothing when unreadable
    virtual std::optional<MemoryPages> memoryPages() = 0;  // nothing when unreadable
    virtual double pageSize() const = 0;                   // bytes per counted page
};

}  // namespace larkspire
