#include "platform/linux/accessibility/AccessibleObject.h"

#include <algorithm>

namespace larkspire::linux_desktop {

bool AccessibleObject::hasState(const std::string& state) const {
    auto all = states();
    return std::find(all.begin(), all.end(), state) != all.end();
}

}  // namespace larkspire::linux_desktop
