#pragma once

#include "platform/types/Menu.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace larkspire {

// A panel of another program offers an entry for choosing only when choosing it does something.
inline bool choosable(const MenuItem& item) {
    return !item.isSeparator && item.enabled && static_cast<bool>(item.action);
}

// Numbers the entries of a menu that a panel of another program shows. An entry keeps its number
// across rebuilds while its title, tag and represented object stay, so a click on a menu shown a
// moment ago never chooses an entry that took its place; numbers of entries that went are never
// given again.
class MenuIds {
  public:
    // One number per item, in order; all above 0, which stands for the menu itself.
    std::vector<std::int32_t> assign(const Menu& menu);

  private:
    std::map<std::string, std::int32_t> ids;
    std::int32_t next = 1;
};

}  // namespace larkspire
