// Arbitrary bytes as a stored favourites list, a GTK bookmarks file and a mountinfo table:
// nothing may crash, and what is read must survive being written back.
#include "network/NetworkFavorite.h"
#include "network/NetworkFavorites.h"
#include "platform/linux/mounts/GtkBookmarks.h"
#include "platform/linux/mounts/MountInfo.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace larkspire;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Data bytes{{data, data + size}};
    if (auto favorites = decodeFavorites(bytes)) {
        // Decoded text is valid UTF-8, so it always encodes, and reads back the same.
        auto encoded = encodeFavorites(*favorites);
        if (!encoded || decodeFavorites(*encoded) != favorites) std::abort();
        for (const auto& favorite : *favorites) (void)NetworkFavorites::key(favorite.shareURL);
    }

    std::string_view text(reinterpret_cast<const char*>(data), size);
    auto bookmarks = linux_desktop::GtkBookmarks::parse(text);
    if (bookmarks.text() != text) std::abort();  // no line is ever lost or changed
    auto items = bookmarks.items();
    if (!items.empty()) {
        auto copy = bookmarks;
        if (!copy.insertAfter(items.back(), "file:///neu", std::nullopt)) std::abort();
        if (!copy.remove(items.front())) std::abort();
        if (copy.items().size() != items.size()) std::abort();
    }

    for (const auto& entry : linux_desktop::parseMountInfo(text)) {
        if (auto url = linux_desktop::remountUrl(entry)) (void)NetworkFavorites::key(*url);
    }
    return 0;
}
