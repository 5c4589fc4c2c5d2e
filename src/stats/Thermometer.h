#pragma once

#include "platform/TemperatureSensors.h"

#include <optional>

namespace larkspire {

// The CPU temperature: the mean of the die sensors' plausible readings.
class Thermometer {
  public:
    explicit Thermometer(TemperatureSensors& sensors) : sensors(sensors) {}
    std::optional<double> read() const;  // nothing without a plausible reading

  private:
    TemperatureSensors& sensors;
};

}  // namespace larkspire
