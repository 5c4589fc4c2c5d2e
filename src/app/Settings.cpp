#include "app/Settings.h"

namespace larkspire::Settings {

std::vector<std::pair<std::string, Value>> registeredDefaults() {
    return {
        {cutPasteKey, true},      {selectionSizeKey, true},   {autoMountKey, true},
        {smoothScrollKey, false}, {systemMonitorKey, false},  {systemMonitorScaleKey, 1.0},
        {clockWidgetKey, false},  {clockWidgetScaleKey, 0.6}, {systemMonitorTemperatureKey, true},
    };
}

}  // namespace larkspire::Settings
