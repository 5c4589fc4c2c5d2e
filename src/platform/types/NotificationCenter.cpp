#include "platform/types/NotificationCenter.h"

#include <algorithm>

namespace larkspire {

std::shared_ptr<void> NotificationCenter::observe(const std::string& name, Handler handler) {
    auto owned = std::make_shared<Handler>(std::move(handler));
    observers.push_back({name, owned});
    return owned;
}

void NotificationCenter::post(const std::string& name) {
    std::erase_if(observers, [](const Observer& o) { return o.handler.expired(); });
    // A copy, so a handler may observe or post without invalidating the loop.
    auto current = observers;
    for (const auto& o : current) {
        if (o.name != name) continue;
        if (auto handler = o.handler.lock()) (*handler)();
    }
}

}  // namespace larkspire
