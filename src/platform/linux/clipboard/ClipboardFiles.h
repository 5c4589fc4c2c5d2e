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

// Each format with the member that holds its bytes, for adapters that move every format alike.
struct ClipboardFileFormat {
    const char* type;
    std::optional<std::string> FileClipboardContent::*bytes;
};
inline constexpr ClipboardFileFormat clipboardFileFormats[] = {
    {ClipboardFormat::uriList, &FileClipboardContent::uriList},
    {ClipboardFormat::gnomeCopiedFiles, &FileClipboardContent::gnomeCopiedFiles},
    {ClipboardFormat::mateCopiedFiles, &FileClipboardContent::mateCopiedFiles},
    {ClipboardFormat::kdeCutSelection, &FileClipboardContent::kdeCutSelection},
};

struct ClipboardFiles {
    FileOperation operation = FileOperation::unmarked;
    std::vector<Url> urls;  // local file URLs with absolute UTF-8 paths, in the order offered

    // What the clipboard says of these files: unmarked where it holds none.
    FileOperation operationOfFiles() const { return urls.empty() ? FileOperation::unmarked : operation; }
};

// The path of a local file URL with an absolute path, as the clipboard adapters hand it out.
std::optional<std::string> localFilePath(const Url& fileUrl);

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
