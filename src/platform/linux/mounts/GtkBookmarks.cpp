#include "platform/linux/mounts/GtkBookmarks.h"

#include "platform/linux/files/AtomicFile.h"
#include "platform/linux/files/ConfigHome.h"

namespace larkspire::linux_desktop {

namespace {

// Thousands of entries; anything bigger is no bookmarks file and is not read into memory.
constexpr off_t largestBookmarksFile = 8 * 1024 * 1024;

std::string shownName(const std::string& uri) {
    auto url = Url::parse(uri);
    auto path = url ? url->path() : uri;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    auto name = path.substr(path.find_last_of('/') + 1);
    if (name.empty() || name == "/") return url && url->host() ? *url->host() : uri;
    return isValidUtf8(name) ? name : uri;
}

}  // namespace

GtkBookmarks::Line GtkBookmarks::lineFor(std::string raw) {
    std::string_view content = raw;
    if (content.ends_with('\r')) content.remove_suffix(1);
    if (content.empty() || content.starts_with('#') || !isValidUtf8(content))
        return {std::move(raw), std::nullopt};
    auto space = content.find(' ');
    auto uri = std::string(content.substr(0, space));
    if (uri.find(':') == std::string::npos) return {std::move(raw), std::nullopt};
    std::string label = space == std::string_view::npos ? "" : std::string(content.substr(space + 1));
    return {std::move(raw), SidebarItem{uri, label.empty() ? shownName(uri) : label}};
}

GtkBookmarks GtkBookmarks::parse(std::string_view text) {
    GtkBookmarks bookmarks;
    if (text.empty()) return bookmarks;
    bookmarks.endsWithNewline = text.ends_with('\n');
    if (bookmarks.endsWithNewline) text.remove_suffix(1);
    while (true) {
        auto newline = text.find('\n');
        bookmarks.lines.push_back(lineFor(std::string(text.substr(0, newline))));
        if (newline == std::string_view::npos) break;
        text.remove_prefix(newline + 1);
    }
    return bookmarks;
}

std::string GtkBookmarks::text() const {
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) out += '\n';
        out += lines[i].raw;
    }
    if (endsWithNewline && !lines.empty()) out += '\n';
    return out;
}

std::vector<SidebarItem> GtkBookmarks::items() const {
    std::vector<SidebarItem> out;
    for (const auto& line : lines)
        if (line.item) out.push_back(*line.item);
    return out;
}

std::vector<GtkBookmarks::Line>::iterator GtkBookmarks::find(const SidebarItem& item) {
    for (auto line = lines.begin(); line != lines.end(); ++line)
        if (line->item == item) return line;
    return lines.end();
}

bool GtkBookmarks::insertAfter(const SidebarItem& after, const std::string& uri,
                               const std::optional<std::string>& label) {
    auto position = find(after);
    // A line feed would start a line of its own and a space would end the URI.
    if (position == lines.end() || uri.find_first_of(" \r\n") != std::string::npos) return false;
    auto raw = uri;
    if (label && !label->empty()) {
        if (label->find_first_of("\r\n") != std::string::npos) return false;
        raw += " " + *label;
    }
    lines.insert(position + 1, lineFor(std::move(raw)));
    return true;
}

bool GtkBookmarks::remove(const SidebarItem& item) {
    auto position = find(item);
    if (position == lines.end()) return false;
    lines.erase(position);
    return true;
}

std::filesystem::path GtkBookmarksSidebar::userFile() {
    return configHome() / "gtk-3.0" / "bookmarks";
}

std::optional<GtkBookmarks> GtkBookmarksSidebar::read() const {
    auto contents = readRegularFile(file, largestBookmarksFile);
    if (contents.outcome == FileRead::Outcome::missing) return GtkBookmarks::parse("");
    if (contents.outcome != FileRead::Outcome::read) return std::nullopt;
    return GtkBookmarks::parse(contents.text);
}

bool GtkBookmarksSidebar::write(const GtkBookmarks& bookmarks) const {
    return !replaceUsersFile(file, bookmarks.text(), 0644);
}

std::optional<std::vector<SidebarItem>> GtkBookmarksSidebar::snapshot() {
    auto bookmarks = read();
    if (!bookmarks) return std::nullopt;
    return bookmarks->items();
}

std::optional<Url> GtkBookmarksSidebar::resolve(const SidebarItem& item) {
    auto url = Url::parse(item.target);
    if (!url) return std::nullopt;
    if (url->isFileUrl()) {
        // lstat only: a folder on a share that is not mounted does not resolve, and nothing mounts it.
        std::error_code error;
        if (!std::filesystem::exists(std::filesystem::symlink_status(url->path(), error)))
            return std::nullopt;
    }
    return url;
}

bool GtkBookmarksSidebar::insertAfter(const SidebarItem& after, const Url& url,
                                      const std::optional<std::string>& name) {
    // The file is read again, so lines another program wrote since the snapshot are kept.
    auto bookmarks = read();
    if (!bookmarks || !bookmarks->insertAfter(after, url.string(), name) || !write(*bookmarks)) return false;
    auto path = url.path();
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    KdePlaces::add(kdePlaces, url.string(), name.value_or(path.substr(path.find_last_of('/') + 1)));
    return true;
}

bool GtkBookmarksSidebar::remove(const SidebarItem& item) {
    auto bookmarks = read();
    if (!bookmarks || !bookmarks->remove(item) || !write(*bookmarks)) return false;
    KdePlaces::remove(kdePlaces, item.target);
    return true;
}

}  // namespace larkspire::linux_desktop
