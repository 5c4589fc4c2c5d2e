#include "platform/linux/mounts/KdePlaces.h"

#include "platform/linux/files/AtomicFile.h"
#include "platform/linux/files/ConfigHome.h"

namespace larkspire::linux_desktop::KdePlaces {

namespace {

// Far more places than anyone keeps; anything bigger is not read into memory.
constexpr off_t largestPlacesFile = 8 * 1024 * 1024;

std::string escaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string hrefOf(const std::string& uri) {
    return "href=\"" + escaped(uri) + "\"";
}

std::optional<std::string> read(const std::filesystem::path& file) {
    auto contents = readRegularFile(file, largestPlacesFile);
    if (contents.outcome != FileRead::Outcome::read) return std::nullopt;
    return std::move(contents.text);
}

}  // namespace

std::filesystem::path userFile() {
    return dataHome() / "user-places.xbel";
}

std::optional<std::string> withPlace(std::string_view text, const std::string& uri,
                                     const std::string& title) {
    if (text.find(hrefOf(uri)) != std::string_view::npos) return std::nullopt;
    auto end = text.rfind("</xbel>");
    if (end == std::string_view::npos) return std::nullopt;
    auto lineStart = text.rfind('\n', end);
    auto at = lineStart == std::string_view::npos ? end : lineStart + 1;
    std::string out(text.substr(0, at));
    out += " <bookmark " + hrefOf(uri) + ">\n  <title>" + escaped(title) + "</title>\n </bookmark>\n";
    out += text.substr(at);
    return out;
}

std::optional<std::string> withoutPlace(std::string_view text, const std::string& uri) {
    std::string out;
    bool removed = false;
    while (true) {
        auto href = text.find(hrefOf(uri));
        if (href == std::string_view::npos) break;
        auto open = text.rfind("<bookmark", href);
        auto close = text.find("</bookmark>", href);
        if (open == std::string_view::npos || close == std::string_view::npos) break;
        close += std::string_view("</bookmark>").size();
        // The element's own line goes with it, so no blank line is left behind.
        auto lineStart = text.rfind('\n', open);
        auto from = lineStart == std::string_view::npos ? open : lineStart + 1;
        if (text.substr(from, open - from).find_first_not_of(" \t") != std::string_view::npos) from = open;
        if (close < text.size() && text[close] == '\n') ++close;
        out += text.substr(0, from);
        text.remove_prefix(close);
        removed = true;
    }
    if (!removed) return std::nullopt;
    out += text;
    return out;
}

void add(const std::filesystem::path& file, const std::string& uri, const std::string& title) {
    auto text = read(file);
    if (!text) return;
    if (auto changed = withPlace(*text, uri, title)) replaceUsersFile(file, *changed, 0644);
}

void remove(const std::filesystem::path& file, const std::string& uri) {
    auto text = read(file);
    if (!text) return;
    if (auto changed = withoutPlace(*text, uri)) replaceUsersFile(file, *changed, 0644);
}

}  // namespace larkspire::linux_desktop::KdePlaces
