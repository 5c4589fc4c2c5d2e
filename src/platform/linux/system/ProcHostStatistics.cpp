#include "platform/linux/system/ProcHostStatistics.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <fcntl.h>
#include <set>
#include <sstream>
#include <unistd.h>

namespace larkspire::linux_desktop {

namespace fs = std::filesystem;

namespace {

// Reads a small proc or sysfs file whole; those report a size of 0, so it reads until the end.
bool readInto(const fs::path& path, std::string& out) {
    out.clear();
    std::FILE* file = std::fopen(path.c_str(), "re");
    if (!file) return false;
    char chunk[4096];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) out.append(chunk, got);
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    return !failed;
}

// Reads a proc file from its start through a descriptor kept open, which saves opening it every second.
bool rereadInto(int& descriptor, const fs::path& path, std::string& out) {
    if (descriptor < 0) descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return false;
    out.resize(std::max<std::size_t>(out.capacity(), 8192));
    std::size_t filled = 0;
    for (;;) {
        auto got = ::pread(descriptor, out.data() + filled, out.size() - filled, static_cast<off_t>(filled));
        if (got < 0) {
            ::close(descriptor);
            descriptor = -1;
            out.clear();
            return false;
        }
        filled += static_cast<std::size_t>(got);
        if (got == 0) break;
        if (filled == out.size()) out.resize(out.size() * 2);
    }
    out.resize(filled);
    return true;
}

std::optional<std::string> readText(const fs::path& path) {
    std::string text;
    if (!readInto(path, text)) return std::nullopt;
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

std::optional<long long> readNumber(const fs::path& path) {
    auto text = readText(path);
    if (!text || text->empty()) return std::nullopt;
    long long value = 0;
    auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (error != std::errc{} || end != text->data() + text->size()) return std::nullopt;
    return value;
}

bool parseUnsigned(std::string_view text, std::uint64_t& value) {
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size();
}

// The /proc/meminfo lines read here, in kiB; a field stays empty when its line is missing or garbled.
enum MeminfoField {
    memTotal,
    memAvailable,
    memFree,
    buffers,
    cached,
    sUnreclaim,
    kernelStack,
    pageTables,
    zswap
};
constexpr std::string_view meminfoNames[] = {"MemTotal",   "MemAvailable", "MemFree",    "Buffers", "Cached",
                                             "SUnreclaim", "KernelStack",  "PageTables", "Zswap"};
using MeminfoValues = std::array<std::optional<std::uint64_t>, std::size(meminfoNames)>;

MeminfoValues meminfoFields(std::string_view text) {
    MeminfoValues values;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        auto line = text.substr(start, end - start);
        start = end + 1;
        auto colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        auto rest = line.substr(colon + 1);
        auto first = rest.find_first_not_of(' ');
        if (first == std::string_view::npos) continue;
        rest = rest.substr(first);
        auto key = line.substr(0, colon);
        auto name = std::find(std::begin(meminfoNames), std::end(meminfoNames), key);
        if (name == std::end(meminfoNames)) continue;
        auto& value = values[static_cast<std::size_t>(name - std::begin(meminfoNames))];
        std::uint64_t number = 0;
        if (!value && parseUnsigned(rest.substr(0, rest.find(' ')), number)) value = number;
    }
    return values;
}

fs::path cpuFolder(const fs::path& root, int cpu) {
    return root / "sys/devices/system/cpu" / ("cpu" + std::to_string(cpu));
}

// The CPUs that share this CPU's second-level cache, if sysfs tells.
std::optional<std::vector<int>> secondLevelCache(const fs::path& root, int cpu) {
    for (int index = 0; index < 8; ++index) {
        auto folder = cpuFolder(root, cpu) / "cache" / ("index" + std::to_string(index));
        auto level = readNumber(folder / "level");
        if (!level) {
            if (!fs::exists(folder)) break;
            continue;
        }
        if (*level != 2) continue;
        auto list = readText(folder / "shared_cpu_list");
        return list ? parseCpuList(*list) : std::nullopt;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::vector<int>> parseCpuList(const std::string& text) {
    std::vector<int> cpus;
    std::stringstream parts(text);
    std::string part;
    while (std::getline(parts, part, ',')) {
        while (!part.empty() && std::isspace(static_cast<unsigned char>(part.back()))) part.pop_back();
        while (!part.empty() && std::isspace(static_cast<unsigned char>(part.front()))) part.erase(0, 1);
        if (part.empty()) continue;
        auto dash = part.find('-');
        std::uint64_t first = 0, last = 0;
        if (dash == std::string::npos) {
            if (!parseUnsigned(part, first)) return std::nullopt;
            last = first;
        } else if (!parseUnsigned(std::string_view(part).substr(0, dash), first) ||
                   !parseUnsigned(std::string_view(part).substr(dash + 1), last)) {
            return std::nullopt;
        }
        // The kernel never numbers beyond a few thousand CPUs; a larger number is a broken file.
        if (last < first || last >= 65536) return std::nullopt;
        for (auto cpu = first; cpu <= last; ++cpu) cpus.push_back(static_cast<int>(cpu));
    }
    std::sort(cpus.begin(), cpus.end());
    cpus.erase(std::unique(cpus.begin(), cpus.end()), cpus.end());
    return cpus;
}

ProcHostStatistics::ProcHostStatistics(fs::path rootPath) : root(std::move(rootPath)) {
    // CPUs that are present count even while offline, so the numbering stays the kernel's.
    int highest = -1;
    if (auto present = readText(root / "sys/devices/system/cpu/present")) {
        if (auto cpus = parseCpuList(*present); cpus && !cpus->empty()) highest = cpus->back();
    }
    if (highest < 0) {
        if (auto ticks = processorTicks()) highest = static_cast<int>(ticks->size()) - 1;
        lastTicks.clear();
    }
    processors = std::max(1, highest + 1);

    if (readInto(root / "proc/meminfo", buffer)) {
        if (auto total = meminfoFields(buffer)[memTotal]) installed = *total * 1024;
    }

    // Hybrid Intel names its two kinds of cores; big.LITTLE ARM tells each CPU's relative capacity.
    std::vector<CoreKind> kinds(static_cast<std::size_t>(processors), CoreKind::unknown);
    auto mark = [&](const fs::path& list, CoreKind kind) {
        auto text = readText(list);
        auto cpus = text ? parseCpuList(*text) : std::nullopt;
        if (!cpus) return false;
        for (int cpu : *cpus)
            if (cpu < processors) kinds[static_cast<std::size_t>(cpu)] = kind;
        return true;
    };
    bool hybrid = mark(root / "sys/devices/cpu_core/cpus", CoreKind::performance);
    hybrid = mark(root / "sys/devices/cpu_atom/cpus", CoreKind::efficiency) && hybrid;
    if (!hybrid) {
        std::fill(kinds.begin(), kinds.end(), CoreKind::unknown);
        std::vector<long long> capacities;
        for (int cpu = 0; cpu < processors; ++cpu) {
            auto capacity = readNumber(cpuFolder(root, cpu) / "cpu_capacity");
            if (!capacity || *capacity <= 0) {
                capacities.clear();
                break;
            }
            capacities.push_back(*capacity);
        }
        if (!capacities.empty()) {
            auto [lowest, highestCapacity] = std::minmax_element(capacities.begin(), capacities.end());
            if (*lowest != *highestCapacity) {
                // The least capable CPUs are the efficiency ones; every faster tier counts as performance.
                for (std::size_t cpu = 0; cpu < capacities.size(); ++cpu)
                    kinds[cpu] = capacities[cpu] == *lowest ? CoreKind::efficiency : CoreKind::performance;
            }
        }
    }
    if (std::any_of(kinds.begin(), kinds.end(), [](CoreKind kind) { return kind == CoreKind::unknown; }))
        return;

    topology.resize(kinds.size());
    for (int cpu = 0; cpu < processors; ++cpu) {
        auto& entry = topology[static_cast<std::size_t>(cpu)];
        entry.kind = kinds[static_cast<std::size_t>(cpu)];
        // A cache of one core's own is a group of its own too: each such core is a cluster.
        if (auto cache = secondLevelCache(root, cpu); cache && !cache->empty())
            entry.cacheGroup = cache->front();
    }
}

// Linux keeps ten states; they fold into four so that busy is what a user sees as work:
// user ← user (guest time is already in it), nice ← nice (guest_nice likewise),
// system ← system + irq + softirq + steal (the CPU was taken from the user's programs),
// idle ← idle + iowait (the CPU was free while waiting for a disk).
std::optional<std::vector<CpuTicks>> ProcHostStatistics::processorTicks() {
    if (!rereadInto(statFile, root / "proc/stat", buffer)) return std::nullopt;
    std::vector<CpuTicks> ticks = lastTicks;
    std::vector<bool> seen(ticks.size(), false);
    bool any = false;
    std::size_t start = 0;
    while (start < buffer.size()) {
        auto end = buffer.find('\n', start);
        if (end == std::string::npos) end = buffer.size();
        std::string_view line(buffer.data() + start, end - start);
        start = end + 1;
        if (line.size() < 4 || line.substr(0, 3) != "cpu" || line[3] < '0' || line[3] > '9') continue;
        auto space = line.find(' ');
        if (space == std::string_view::npos) continue;
        std::uint64_t cpu = 0;
        if (!parseUnsigned(line.substr(3, space - 3), cpu) || cpu >= 65536) continue;
        std::uint64_t values[8] = {};
        int columns = 0;
        std::size_t at = space;
        bool broken = false;
        while (at < line.size() && columns < 8) {
            while (at < line.size() && line[at] == ' ') ++at;
            if (at >= line.size()) break;
            auto next = line.find(' ', at);
            if (next == std::string_view::npos) next = line.size();
            if (!parseUnsigned(line.substr(at, next - at), values[columns])) {
                broken = true;
                break;
            }
            ++columns;
            at = next;
        }
        // Older kernels have fewer columns; fewer than the four every kernel has is a broken line.
        if (broken || columns < 4) return std::nullopt;
        auto index = static_cast<std::size_t>(cpu);
        if (index >= ticks.size()) {
            ticks.resize(index + 1);
            seen.resize(index + 1, false);
        }
        // 64-bit counters truncated to 32 bits: the differences stay exact as long as they fit.
        auto low = [](std::uint64_t v) { return static_cast<std::uint32_t>(v); };
        ticks[index] = CpuTicks{.user = low(values[0]),
                                .system = low(values[2] + values[5] + values[6] + values[7]),
                                .idle = low(values[3] + values[4]),
                                .nice = low(values[1])};
        seen[index] = true;
        any = true;
    }
    if (!any) return std::nullopt;
    // Offline CPUs are missing from the file; they keep their last counters until they return.
    if (ticks.size() < static_cast<std::size_t>(processors))
        ticks.resize(static_cast<std::size_t>(processors));
    lastTicks = ticks;
    return ticks;
}

// "Used" is what `free` shows: MemTotal − MemAvailable. It is split into the four counts so the
// sum comes out the same: wired ← SUnreclaim + KernelStack + PageTables, compressed ← Zswap,
// internal ← the rest, purgeable ← 0 (reclaimable caches are already outside MemTotal − MemAvailable).
std::optional<MemoryPages> ProcHostStatistics::memoryPages() {
    if (!rereadInto(meminfoFile, root / "proc/meminfo", buffer)) return std::nullopt;
    auto values = meminfoFields(buffer);
    auto field = [&values](MeminfoField name) { return values[name]; };
    auto total = field(memTotal);
    if (!total || *total == 0) return std::nullopt;
    auto available = field(memAvailable);
    if (!available) {
        // Kernels before 3.14 lack the estimate; free memory and the page cache come closest.
        auto freeMemory = field(memFree);
        if (!freeMemory) return std::nullopt;
        available = *freeMemory + field(buffers).value_or(0) + field(cached).value_or(0);
    }
    std::uint64_t used = *total > *available ? *total - *available : 0;
    std::uint64_t wired =
        field(sUnreclaim).value_or(0) + field(kernelStack).value_or(0) + field(pageTables).value_or(0);
    std::uint64_t compressed = field(zswap).value_or(0);
    wired = std::min(wired, used);
    compressed = std::min(compressed, used - wired);
    return MemoryPages{
        .internal = used - wired - compressed, .purgeable = 0, .wired = wired, .compressed = compressed};
}

ProcHostStatistics::~ProcHostStatistics() {
    if (statFile >= 0) ::close(statFile);
    if (meminfoFile >= 0) ::close(meminfoFile);
}

HwmonTemperatureSensors::HwmonTemperatureSensors(fs::path root) {
    std::error_code error;
    std::vector<fs::path> hwmons;
    for (const auto& entry : fs::directory_iterator(root / "sys/class/hwmon", error))
        hwmons.push_back(entry.path());
    std::sort(hwmons.begin(), hwmons.end());
    auto labelled = [](const fs::path& folder) {
        std::vector<std::pair<std::string, fs::path>> found;
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(folder, ignored)) {
            auto name = entry.path().filename().string();
            if (name.rfind("temp", 0) != 0 || name.size() < 11 || name.substr(name.size() - 6) != "_input")
                continue;
            auto label = readText(folder / (name.substr(0, name.size() - 6) + "_label"));
            found.emplace_back(label.value_or(""), entry.path());
        }
        std::sort(found.begin(), found.end(),
                  [](const auto& a, const auto& b) { return a.second < b.second; });
        return found;
    };
    auto pick = [&](const auto& found, auto matches) {
        std::vector<fs::path> chosen;
        for (const auto& [label, path] : found)
            if (matches(label)) chosen.push_back(path);
        return chosen;
    };
    auto startsWith = [](const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; };
    for (const auto& folder : hwmons) {
        auto name = readText(folder / "name").value_or("");
        auto found = labelled(folder);
        std::vector<fs::path> chosen;
        if (name == "coretemp") {
            chosen = pick(found, [&](const std::string& l) { return startsWith(l, "Package id"); });
            if (chosen.empty())
                chosen = pick(found, [&](const std::string& l) { return startsWith(l, "Core"); });
        } else if (name == "k10temp" || name == "zenpower") {
            // The dies' own sensors first; Tctl carries a fan-control offset on some models.
            chosen = pick(found, [&](const std::string& l) { return startsWith(l, "Tccd"); });
            if (chosen.empty()) chosen = pick(found, [](const std::string& l) { return l == "Tdie"; });
            if (chosen.empty()) chosen = pick(found, [](const std::string& l) { return l == "Tctl"; });
        } else if (name == "cpu_thermal") {
            chosen = pick(found, [](const std::string&) { return true; });
        }
        inputs.insert(inputs.end(), chosen.begin(), chosen.end());
    }
    if (!inputs.empty()) return;
    std::vector<fs::path> zones;
    for (const auto& entry : fs::directory_iterator(root / "sys/class/thermal", error))
        if (entry.path().filename().string().rfind("thermal_zone", 0) == 0) zones.push_back(entry.path());
    std::sort(zones.begin(), zones.end());
    for (const auto& zone : zones) {
        auto type = readText(zone / "type").value_or("");
        if (type == "x86_pkg_temp" || type == "cpu-thermal" || type == "cpu_thermal")
            inputs.push_back(zone / "temp");
    }
}

std::optional<double> HwmonTemperatureSensors::readCelsius(std::size_t sensor) {
    if (sensor >= inputs.size()) return std::nullopt;
    auto millidegrees = readNumber(inputs[sensor]);
    if (!millidegrees) return std::nullopt;
    return static_cast<double>(*millidegrees) / 1000.0;
}

}  // namespace larkspire::linux_desktop
