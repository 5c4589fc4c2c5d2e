#pragma once

#include <optional>
#include <string>

namespace larkspire::linux_desktop {

// One argument of a desktop entry's Exec value, as it stands in the file. A plain path is written
// bare: xdg-open's generic fallback splits Exec at spaces and takes quotes literally, so only a bare
// word reaches it intact. Anything else is quoted and escaped by the desktop-entry rules. Nothing
// for text an entry cannot hold (not UTF-8, control characters).
std::optional<std::string> desktopExecArgument(const std::string& argument);

// `text` as one POSIX shell word in single quotes.
std::string shellWord(const std::string& text);

}  // namespace larkspire::linux_desktop
