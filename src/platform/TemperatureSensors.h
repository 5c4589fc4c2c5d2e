#pragma once

#include <cstddef>
#include <optional>

namespace larkspire {

// The CPU die sensors, chosen once when the reader starts.
class TemperatureSensors {
  public:
    virtual ~TemperatureSensors() = default;
    virtual std::size_t count() const = 0;                              // 0 on a machine without one
    virtual std::optional<double> readCelsius(std::size_t sensor) = 0;  // nothing when it does not answer
};

}  // namespace larkspire
