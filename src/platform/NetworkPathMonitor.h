#pragma once

#include <functional>

namespace larkspire {

// Reports whether the network is usable.
class NetworkPathMonitor {
  public:
    virtual ~NetworkPathMonitor() = default;
    // Reports the current state soon after, then every change; `handler` may run on any thread.
    virtual void start(std::function<void(bool satisfied)> handler) = 0;
};

}  // namespace larkspire
