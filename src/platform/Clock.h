#pragma once

namespace larkspire {

// Time in seconds.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual double uptime() const = 0;    // monotonic, since an arbitrary start
    virtual double wallTime() const = 0;  // seconds since 1970-01-01 UTC
};

}  // namespace larkspire
