#pragma once

namespace larkspire {

// The user's time zone.
class TimeZone {
  public:
    virtual ~TimeZone() = default;
    virtual double secondsFromGmt(double wallTime) const = 0;  // at that moment, daylight saving included
};

}  // namespace larkspire
