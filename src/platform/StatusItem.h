#pragma once

#include "platform/types/Menu.h"

#include <functional>
#include <memory>
#include <string>

namespace larkspire {

// What the status item's button shows.
struct StatusIcon {
    std::string image;  // a named system image
    std::string accessibilityDescription;
    std::string title;
    std::string tooltip;
    bool operator==(const StatusIcon&) const = default;
};

// The application's item in the menu bar or system tray.
class StatusItem {
  public:
    virtual ~StatusItem() = default;
    virtual bool hasButton() const = 0;  // false where the desktop shows no item
    virtual void setImageLeading() = 0;  // the image stands before the title
    virtual void setIcon(const StatusIcon& icon) = 0;
    virtual void
    setMenuProvider(std::function<Menu()> menuNeedsUpdate) = 0;  // called each time the menu opens
    virtual void menuContentChanged() = 0;                       // an open menu asks the provider again
};

// Creates status items.
class StatusBar {
  public:
    virtual ~StatusBar() = default;
    virtual std::unique_ptr<StatusItem> createStatusItem() = 0;  // variable length
};

}  // namespace larkspire
