#pragma once

#include "cutpaste/CutPasteSettings.h"
#include "network/NetworkSettings.h"
#include "newfile/NewFileSettings.h"
#include "overlay/OverlaySettings.h"
#include "platform/types/Value.h"
#include "scroll/ScrollSettings.h"
#include "stats/StatsSettings.h"
#include "widgets/WidgetSettings.h"

#include <string>
#include <utility>
#include <vector>

// The features' keys live with their features; these are the application's own.
namespace larkspire::Settings {

inline constexpr const char* didSetupLoginKey = "didSetupLoginItem";
inline constexpr const char* didAskAccessibilityKey = "didAskAccessibility";
inline constexpr const char* didMigrateToLarkspireKey = "didMigrateToLarkspire";

// The nine registered defaults, in the order they are registered.
std::vector<std::pair<std::string, Value>> registeredDefaults();

}  // namespace larkspire::Settings
