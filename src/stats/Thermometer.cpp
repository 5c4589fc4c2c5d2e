#include "stats/Thermometer.h"

namespace larkspire {

std::optional<double> Thermometer::read() const {
    double sum = 0;
    int kept = 0;
    for (std::size_t sensor = 0; sensor < sensors.count(); ++sensor) {
        auto value = sensors.readCelsius(sensor);
        // A sensor that is not yet up reads 0 or below, a broken one absurdly high; NaN fails both tests.
        if (!value || !(*value > 0 && *value < 150)) continue;
        sum += *value;
        ++kept;
    }
    if (kept == 0) return std::nullopt;
    return sum / kept;
}

}  // namespace larkspire
