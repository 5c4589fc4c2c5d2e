#pragma once

#include "platform/SidebarFavorites.h"
#include "platform/linux/mounts/KdePlaces.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace larkspire::linux_desktop {

// The GTK bookmarks file: one "URI[ label]" a line. Lines that are not entries (blank, comments,
// bytes that are not text) are kept exactly as they were.
class GtkBookmarks {
  public:
    static GtkBookmarks parse(std::string_view text);
    std::string text() const;  // every line as read, with the changes made since

    std::vector<SidebarItem>
    items() const;  // the entries in file order; unlabelled ones show their last name
    bool insertAfter(const SidebarItem& after, const std::string& uri,
                     const std::optional<std::string>& label);
    bool remove(const SidebarItem& item);

  private:
    struct Line {
        std::string raw;
        std::optional<SidebarItem> item;
    };
    static Line lineFor(std::string raw);
    std::vector<Line>::iterator find(const SidebarItem& item);

    std::vector<Line> lines;
    bool endsWithNewline = true;
};

// The sidebar of the GTK file managers and file dialogs, read and written through the bookmarks file.
// Entries added and removed are mirrored into KDE's places file when that exists. A file that is no
// regular file is no list; one that is read-only or not the user's own is never replaced.
class GtkBookmarksSidebar : public SidebarFavorites {
  public:
    static std::filesystem::path userFile();  // $XDG_CONFIG_HOME/gtk-3.0/bookmarks
    explicit GtkBookmarksSidebar(std::filesystem::path file = userFile(),
                                 std::filesystem::path kdePlaces = KdePlaces::userFile())
        : file(std::move(file)), kdePlaces(std::move(kdePlaces)) {}

    std::optional<std::vector<SidebarItem>> snapshot() override;  // a missing file is an empty list
    std::optional<Url> resolve(const SidebarItem& item) override;
    bool insertAfter(const SidebarItem& after, const Url& url,
                     const std::optional<std::string>& name) override;
    bool remove(const SidebarItem& item) override;

  private:
    std::optional<GtkBookmarks> read() const;
    bool write(const GtkBookmarks& bookmarks) const;
    std::filesystem::path file;
    std::filesystem::path kdePlaces;
};

}  // namespace larkspire::linux_desktop
