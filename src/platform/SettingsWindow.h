#pragma once

#include <functional>
#include <memory>

namespace larkspire {

// The settings window as the desktop shows it; its tabs are those the controller describes.
class SettingsWindow {
  public:
    virtual ~SettingsWindow() = default;
    virtual void selectTab(int index) = 0;  // like a click on the tab: the selection callback runs, if set
    virtual void setOnSelect(std::function<void(int index)> onSelect) = 0;  // runs on every tab change
    virtual bool isVisible() const = 0;
    virtual void center() = 0;
    virtual void makeKeyAndOrderFront() = 0;
};

// Creates the one settings window when it is first needed.
class SettingsWindowFactory {
  public:
    virtual ~SettingsWindowFactory() = default;
    virtual std::unique_ptr<SettingsWindow> createSettingsWindow() = 0;
};

}  // namespace larkspire
