#pragma once

#include "platform/types/Url.h"

#include <optional>
#include <string>
#include <vector>

namespace larkspire {

// One entry of the file manager's sidebar favourites, as read at the time of a snapshot.
struct SidebarItem {
    std::string target;       // the entry's stored location, as the list holds it
    std::string displayName;  // the name the sidebar shows
    bool operator==(const SidebarItem&) const = default;
};

// The file manager's persistent, ordered list of sidebar favourites.
class SidebarFavorites {
  public:
    virtual ~SidebarFavorites() = default;
    virtual std::optional<std::vector<SidebarItem>> snapshot() = 0;  // nothing when there is no list
    // Where the entry leads, without asking the user and without mounting; nothing when it does not resolve.
    virtual std::optional<Url> resolve(const SidebarItem& item) = 0;
    // Puts `url` right after `after`; false when the list refused or `after` is gone.
    virtual bool insertAfter(const SidebarItem& after, const Url& url,
                             const std::optional<std::string>& name) = 0;
    virtual bool remove(const SidebarItem& item) = 0;  // false when it was not there
};

}  // namespace larkspire
