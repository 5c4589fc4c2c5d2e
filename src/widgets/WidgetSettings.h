#pragma once

namespace larkspire::Settings {

inline constexpr const char* systemMonitorKey = "systemMonitor";
inline constexpr const char* systemMonitorScaleKey = "systemMonitorScale";
inline constexpr const char* clockWidgetKey = "clockWidget";
inline constexpr const char* clockWidgetScaleKey = "clockWidgetScale";

}  // namespace larkspire::Settings
