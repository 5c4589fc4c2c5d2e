#pragma once

namespace larkspire::Settings {

inline constexpr const char* systemMonitorTemperatureKey = "systemMonitorTemperature";

}  // namespace larkspire::Settings
