#include "overlay/SizeCalculator.h"

namespace larkspire {

std::optional<std::int64_t> SizeCalculator::total(const std::vector<std::string>& paths) {
    bool complete = true;
    std::int64_t sum = 0;
    double now = ports.clock.wallTime();
    for (const auto& path : paths) {
        auto found = cached.find(path);
        if (found != cached.end()) {
            sum += found->second.size;  // the old size still answers; a fresh one follows in the background
        } else {
            complete = false;
        }
        bool stale = found == cached.end() || now - found->second.date > refreshAfter;
        if (stale && !running.contains(path)) compute(path);
    }
    if (!complete) return std::nullopt;
    return sum;
}

void SizeCalculator::compute(const std::string& path) {
    running.insert(path);
    // The work keeps the calculator alive until its result is stored: nothing is cancelled.
    auto self = shared_from_this();
    auto& main = ports.main;
    const auto& sizes = ports.folderSizes;
    ports.work.runConcurrent([self, &main, &sizes, path] {
        std::int64_t size = sizes.sizeAtPath(path);
        main.postFromAnyThread([self, path, size] { self->store(path, size); });
    });
}

void SizeCalculator::store(const std::string& path, std::int64_t size) {
    running.erase(path);
    if (cached.size() > cacheLimit) cached.clear();
    cached[path] = Entry{.size = size, .date = ports.clock.wallTime()};
    if (onUpdate) onUpdate();
}

}  // namespace larkspire
