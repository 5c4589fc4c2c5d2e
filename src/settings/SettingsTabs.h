#pragma once

#include "platform/TabView.h"

namespace larkspire {

// What the settings tab at `index` shows. Tabs whose features have not filled them show their title.
TabView settingsTabContent(int index);

}  // namespace larkspire
