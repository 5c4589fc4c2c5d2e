#pragma once

#include "platform/Clock.h"

namespace larkspire::linux_desktop {

// The kernel's monotonic clock and the wall clock.
class SystemClock : public Clock {
  public:
    double uptime() const override;
    double wallTime() const override;
};

}  // namespace larkspire::linux_desktop
