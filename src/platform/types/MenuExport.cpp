#include "platform/types/MenuExport.h"

namespace larkspire {

std::vector<std::int32_t> MenuIds::assign(const Menu& menu) {
    std::map<std::string, std::int32_t> kept;
    std::vector<std::int32_t> assigned;
    assigned.reserve(menu.size());
    int separators = 0;
    for (const auto& item : menu) {
        // Separators have no title; the how-manieth one they are tells them apart.
        std::string key = item.isSeparator
                              ? "\x01" + std::to_string(separators++)
                              : item.title + '\0' + std::to_string(item.tag) + '\0' +
                                    (item.representedObject ? "\x01" + *item.representedObject : "");
        // A second entry with the same key (two favourites of one name and tag) gets its own number.
        while (kept.count(key)) key += '\0';
        auto found = ids.find(key);
        std::int32_t id = found != ids.end() ? found->second : next++;
        kept.emplace(key, id);
        assigned.push_back(id);
    }
    // Only the entries shown now are remembered, so a long session keeps no list of old counts.
    ids = std::move(kept);
    return assigned;
}

}  // namespace larkspire
