#pragma once

namespace larkspire::Settings {

inline constexpr const char* cutPasteKey = "finderCutPaste";
inline constexpr const char* cutPathsKey = "cutPaths";  // the files cut now, for other programs to read

}  // namespace larkspire::Settings
