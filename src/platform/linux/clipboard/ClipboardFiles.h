#pragma once

#include "platform/Clipboard.h"
#include "platform/types/Url.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace larkspire {

// The clipboard formats in which Linux file managers offer files, by MIME type.
namespace ClipboardFormat {
inline constexpr const char* uriList = "text/uri-list";
inline constexpr const char* gnomeCopiedFiles = "x-special/gnome-copied-files";
inline constexpr const char* mateCopiedFiles = "x-special/mate-copied-files";
inline constexpr const char* kdeCutSelection = "application/x-kde-cutselection";
}  // namespace ClipboardFormat

// The raw bytes of each format; absent when the clipboard does not offer it.
struct FileClipboardContent {
    std::optional<std::string> uriList;
    std::optional<std::string> gnomeCopiedFiles;
    std::optional<std::string> mateCopiedFiles;
    std::optional<std::string> kdeCutSelection;
    bool operator==(const FileClipboardContent&) const = default;
};

struct ClipboardFiles {
    FileOperation operation = FileOperation::unmarked;
    std::vector<Url> urls;  // local file URLs with absolute UTF-8 paths, in the order offered
};

// Reads what the clipboard holds. Lines that are no local file URL are skipped; a marker line
// other than "copy" or "cut" makes its format count as not offered.
ClipboardFiles parseClipboardFiles(const FileClipboardContent& content);

// The same, asking `fetch` for the bytes of a format (nothing when it is not offered) only as far as
// needed: the marked lists first, so a long list usually crosses from its owner once. Each answer is
// used up before the next question, so `fetch` may answer every time in the same place.
using FetchClipboardFormat = std::function<const std::optional<std::string>&(const char* type)>;
ClipboardFiles readClipboardFiles(const FetchClipboardFormat& fetch);

// The content a file manager would offer for these absolute paths: every format above, so GNOME-,
// MATE- and KDE-style managers alike paste it with the given operation.
FileClipboardContent clipboardContentFor(const std::vector<std::string>& paths, FileOperation operation);

}  // namespace larkspire
