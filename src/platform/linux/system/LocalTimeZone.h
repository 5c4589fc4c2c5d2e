#pragma once

#include "platform/TimeZone.h"

namespace larkspire::linux_desktop {

// The zone of the TZ variable or /etc/localtime, as the C library reads it.
class LocalTimeZone : public TimeZone {
  public:
    double secondsFromGmt(double wallTime) const override;
};

}  // namespace larkspire::linux_desktop
