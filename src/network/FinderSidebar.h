#pragma once

#include "platform/SidebarFavorites.h"
#include "platform/types/Url.h"

#include <optional>
#include <string>

namespace larkspire::FinderSidebar {

// Makes sure the folder is among the sidebar favourites, at the bottom when it was not;
// false when it could not be put there.
bool add(SidebarFavorites& sidebar, const Url& url, const std::optional<std::string>& name = std::nullopt);

// Removes every entry that resolves to `identity`, and every entry that does not resolve and
// shows `name`. Without an identity, entries that resolve are never touched.
void remove(SidebarFavorites& sidebar, const std::optional<std::string>& identity,
            const std::optional<std::string>& name);

// How entries are compared: the standardised path of a file URL, else the whole URL.
std::string identity(const Url& url);

}  // namespace larkspire::FinderSidebar
