#pragma once

namespace larkspire::Settings {

inline constexpr const char* smoothScrollKey = "smoothScroll";
// The programs (window classes) in which the wheel is left alone: a list of strings.
inline constexpr const char* smoothScrollExcludedProgramsKey = "smoothScrollExcludedPrograms";

}  // namespace larkspire::Settings
