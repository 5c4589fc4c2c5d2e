#pragma once

#include "platform/DefaultsStore.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace larkspire::Settings {

inline constexpr const char* fileNameKey = "fileName";
inline constexpr const char* openAfterCreateKey = "openAfterCreate";
inline constexpr const char* didSetupLoginKey = "didSetupLoginItem";
inline constexpr const char* cutPasteKey = "finderCutPaste";
inline constexpr const char* didAskAccessibilityKey = "didAskAccessibility";
inline constexpr const char* cutPathsKey = "cutPaths";
inline constexpr const char* selectionSizeKey = "showSelectionSize";
inline constexpr const char* networkFavoritesKey = "networkFavorites";
inline constexpr const char* autoMountKey = "autoMountShares";
inline constexpr const char* smoothScrollKey = "smoothScroll";
inline constexpr const char* didMigrateToLarkspireKey = "didMigrateToLarkspire";
inline constexpr const char* systemMonitorKey = "systemMonitor";
inline constexpr const char* systemMonitorScaleKey = "systemMonitorScale";
inline constexpr const char* systemMonitorTemperatureKey = "systemMonitorTemperature";
inline constexpr const char* clockWidgetKey = "clockWidget";
inline constexpr const char* clockWidgetScaleKey = "clockWidgetScale";

inline constexpr const char* defaultFileName = "Neu.txt";

// The nine registered defaults, in the order they are registered.
std::vector<std::pair<std::string, Value>> registeredDefaults();

// A user-typed file name trimmed of white space, or nothing when it cannot name a file in a folder.
std::optional<std::string> sanitized(const std::optional<std::string>& name);

// The effective new-file name, read afresh from the store; never empty.
std::string fileName(const DefaultsStore& defaults);

}  // namespace larkspire::Settings
