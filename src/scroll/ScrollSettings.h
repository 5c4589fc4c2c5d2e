#pragma once

namespace larkspire::Settings {

inline constexpr const char* smoothScrollKey = "smoothScroll";

}  // namespace larkspire::Settings
