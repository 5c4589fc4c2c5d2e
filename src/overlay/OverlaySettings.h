#pragma once

namespace larkspire::Settings {

inline constexpr const char* selectionSizeKey = "showSelectionSize";

}  // namespace larkspire::Settings
