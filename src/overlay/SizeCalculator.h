#pragma once

#include "platform/Clock.h"
#include "platform/FolderSizes.h"
#include "platform/MainQueue.h"
#include "platform/WorkQueue.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace larkspire {

struct SizeCalculatorPorts {
    MainQueue& main;
    Clock& clock;
    WorkQueue& work;
    const FolderSizes& folderSizes;
};

// Sizes of selected files and folders for the badge: computed in the background, cached with their
// time, refreshed when older than 15 seconds. Main thread only, apart from the walk itself.
class SizeCalculator : public std::enable_shared_from_this<SizeCalculator> {
  public:
    static constexpr double refreshAfter = 15.0;
    static constexpr std::size_t cacheLimit = 2000;

    struct Entry {
        std::int64_t size = 0;
        double date = 0;  // wall-clock seconds
    };

    explicit SizeCalculator(SizeCalculatorPorts ports) : ports(ports) {}

    // The sum over `paths`, or nothing while any of them has no size yet; asks for missing and old ones.
    std::optional<std::int64_t> total(const std::vector<std::string>& paths);

    std::function<void()> onUpdate;  // called on the main thread after each new result

    const std::map<std::string, Entry>& cache() const { return cached; }
    const std::set<std::string>& pending() const { return running; }

  private:
    void compute(const std::string& path);
    void store(const std::string& path, std::int64_t size);

    SizeCalculatorPorts ports;
    std::map<std::string, Entry> cached;
    std::set<std::string> running;
};

}  // namespace larkspire
