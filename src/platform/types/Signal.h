#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

namespace larkspire {

// Tells observers that a published value was assigned; main thread only.
class Signal {
  public:
    using Handler = std::function<void()>;

    // The observation lasts as long as the returned token lives.
    [[nodiscard]] std::shared_ptr<void> observe(Handler handler) {
        auto shared = std::make_shared<Handler>(std::move(handler));
        std::erase_if(handlers, [](const auto& weak) { return weak.expired(); });
        handlers.push_back(shared);
        return shared;
    }
    void notify() const {
        // A handler may add or drop observers, so it runs on a copy.
        auto current = handlers;
        for (const auto& weak : current)
            if (auto handler = weak.lock()) (*handler)();
    }

  private:
    std::vector<std::weak_ptr<Handler>> handlers;
};

}  // namespace larkspire
