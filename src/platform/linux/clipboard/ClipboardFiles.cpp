#include "platform/linux/clipboard/ClipboardFiles.h"

#include <string_view>
#include <utility>

namespace larkspire {

namespace {

// Splits at line feeds; a carriage return before one belongs to the line end. A last empty line
// (the text ended with a line feed) is not a line.
std::vector<std::string_view> lines(std::string_view text) {
    std::vector<std::string_view> found;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        auto line = text.substr(start, end - start);
        if (line.ends_with('\r')) line.remove_suffix(1);
        found.push_back(line);
        start = end + 1;
    }
    return found;
}

std::optional<Url> localFileUrl(std::string_view line) {
    auto url = Url::parse(line);
    if (!url || !url->isFileUrl()) return std::nullopt;
    if (url->host() && *url->host() != "localhost") return std::nullopt;  // a file of another machine
    const auto& path = url->path();
    // The path ends up in the settings file and in other programs' hands: text only, no NUL.
    if (!path.starts_with('/') || !isValidUtf8(path) || path.find('\0') != std::string::npos)
        return std::nullopt;
    return url;
}

void appendUrls(std::vector<Url>& urls, const std::vector<std::string_view>& candidates) {
    urls.reserve(urls.size() + candidates.size());
    for (auto line : candidates) {
        if (line.starts_with('#')) continue;  // a comment in text/uri-list
        if (auto url = localFileUrl(line)) urls.push_back(std::move(*url));
    }
}

// "copy" or "cut" on the first line, then one URL per line.
std::optional<ClipboardFiles> markedFiles(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    auto all = lines(*text);
    if (all.empty()) return std::nullopt;
    ClipboardFiles files;
    if (all.front() == "copy")
        files.operation = FileOperation::copy;
    else if (all.front() == "cut")
        files.operation = FileOperation::cut;
    else
        return std::nullopt;
    all.erase(all.begin());
    appendUrls(files.urls, all);
    return files;
}

}  // namespace

ClipboardFiles parseClipboardFiles(const FileClipboardContent& content) {
    return readClipboardFiles([&content](const char* type) -> const std::optional<std::string>& {
        static const std::optional<std::string> none;
        for (const auto& format : clipboardFileFormats)
            if (std::string_view(format.type) == type) return content.*(format.bytes);
        return none;
    });
}

std::optional<std::string> localFilePath(const Url& fileUrl) {
    if (!fileUrl.isFileUrl() || !fileUrl.path().starts_with('/')) return std::nullopt;
    return fileUrl.path();
}

ClipboardFiles readClipboardFiles(const FetchClipboardFormat& fetch) {
    if (auto files = markedFiles(fetch(ClipboardFormat::gnomeCopiedFiles))) return std::move(*files);
    if (auto files = markedFiles(fetch(ClipboardFormat::mateCopiedFiles))) return std::move(*files);
    ClipboardFiles files;
    if (const auto& uriList = fetch(ClipboardFormat::uriList)) appendUrls(files.urls, lines(*uriList));
    if (const auto& mark = fetch(ClipboardFormat::kdeCutSelection))
        files.operation = mark->starts_with('1') ? FileOperation::cut : FileOperation::copy;
    return files;
}

FileClipboardContent clipboardContentFor(const std::vector<std::string>& paths, FileOperation operation) {
    std::string uriList;
    std::string urls;
    for (const auto& path : paths) {
        auto url = Url::fileUrl(path).string();
        uriList += url + "\r\n";
        urls += "\n" + url;
    }
    bool cut = operation == FileOperation::cut;
    std::string marked = (cut ? "cut" : "copy") + urls;
    return FileClipboardContent{
        .uriList = uriList,
        .gnomeCopiedFiles = marked,
        .mateCopiedFiles = marked,
        .kdeCutSelection = std::string(cut ? "1" : "0"),
    };
}

}  // namespace larkspire
