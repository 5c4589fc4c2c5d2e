#include "network/FinderSidebar.h"

#include "network/NetworkFavorite.h"

namespace larkspire::FinderSidebar {

std::string identity(const Url& url) {
    return url.isFileUrl() ? standardizedPath(url.path()) : url.string();
}

bool add(SidebarFavorites& sidebar, const Url& url, const std::optional<std::string>& name) {
    auto items = sidebar.snapshot();
    if (!items) return false;
    auto wanted = identity(url);
    for (const auto& item : *items) {
        auto resolved = sidebar.resolve(item);
        if (resolved && identity(*resolved) == wanted) return true;
    }
    // A new entry goes after the last one; an empty section offers no place to put it.
    if (items->empty()) return false;
    return sidebar.insertAfter(items->back(), url, name);
}

void remove(SidebarFavorites& sidebar, const std::optional<std::string>& identity,
            const std::optional<std::string>& name) {
    auto items = sidebar.snapshot();
    if (!items) return;
    for (const auto& item : *items) {
        auto resolved = sidebar.resolve(item);
        bool matches = resolved ? identity && FinderSidebar::identity(*resolved) == *identity
                                : name && item.displayName == *name;
        if (matches) sidebar.remove(item);
    }
}

}  // namespace larkspire::FinderSidebar
