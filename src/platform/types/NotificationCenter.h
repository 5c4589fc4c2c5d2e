#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace larkspire {

// The in-process notification centre: named notifications without payload, main thread only.
class NotificationCenter {
  public:
    using Handler = std::function<void()>;

    // The observation lasts as long as the returned token lives.
    [[nodiscard]] std::shared_ptr<void> observe(const std::string& name, Handler handler);
    void post(const std::string& name);

  private:
    struct Observer {
        std::string name;
        std::weak_ptr<Handler> handler;
    };
    std::vector<Observer> observers;
};

}  // namespace larkspire
