#pragma once

#include "platform/types/TabView.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace larkspire {

// A tab of the settings window as its toolbar shows it.
struct SettingsTab {
    std::string label;  // also the accessibility description of its image
    std::string image;  // a named system image
};

// The settings window as the desktop shows it; its tabs are those the controller describes.
class SettingsWindow {
  public:
    virtual ~SettingsWindow() = default;
    virtual void selectTab(int index) = 0;  // like a click on the tab: the selection callback runs, if set
    virtual void setOnSelect(std::function<void(int index)> onSelect) = 0;  // runs on every tab change
    virtual void setOnHide(std::function<void()> onHide) = 0;               // runs when closed or hidden
    virtual int selectedTab() const = 0;                                    // -1 before the first selection
    virtual bool isVisible() const = 0;
    virtual void center() = 0;
    virtual void makeKeyAndOrderFront() = 0;
    virtual void setFrameAutosaveName(const std::string& name) = 0;     // restores the frame saved under it
    virtual void setTabContent(int index, const TabView& content) = 0;  // drawn again, focus and cursor kept
};

// Creates the one settings window when it is first needed.
class SettingsWindowFactory {
  public:
    virtual ~SettingsWindowFactory() = default;
    virtual std::unique_ptr<SettingsWindow> createSettingsWindow(const std::vector<SettingsTab>& tabs) = 0;
};

}  // namespace larkspire
