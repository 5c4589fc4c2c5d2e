#pragma once

#include "platform/Accessibility.h"
#include "platform/MainQueue.h"

#include <functional>
#include <optional>

namespace larkspire {

// Waits for the accessibility permission: checks every 2 s and, once it is granted, stops and calls
// `granted` (which should hold its feature weakly). Nothing is shown to the user while it waits.
class PermissionWait {
  public:
    static constexpr double interval = 2.0;

    bool isWaiting() const { return timer.has_value(); }
    void start(MainQueue& main, Accessibility& accessibility,
               std::function<void()> granted);  // no-op while waiting
    void stop() { timer.reset(); }

  private:
    std::optional<RepeatingTimer> timer;
};

}  // namespace larkspire
