#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace larkspire::linux_desktop::KdePlaces {

// KDE's places file, $XDG_DATA_HOME/user-places.xbel; Dolphin shows its bookmarks in the sidebar.
std::filesystem::path userFile();

// The file's text with a bookmark for `uri` before the closing </xbel>, or nothing when it has
// one already or no closing tag. Every other byte stays as it was.
std::optional<std::string> withPlace(std::string_view text, const std::string& uri, const std::string& title);
// The file's text without the bookmarks for `uri`, or nothing when it has none.
std::optional<std::string> withoutPlace(std::string_view text, const std::string& uri);

// The same on the file, when it exists; a file that does not exist is never created, and one that
// is read-only, not a regular file or not the user's own is left as it is.
void add(const std::filesystem::path& file, const std::string& uri, const std::string& title);
void remove(const std::filesystem::path& file, const std::string& uri);

}  // namespace larkspire::linux_desktop::KdePlaces
