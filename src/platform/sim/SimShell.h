#pragma once

#include "platform/ApplicationControl.h"
#include "platform/FolderPicker.h"
#include "platform/SettingsWindow.h"
#include "platform/StatusItem.h"
#include "platform/TextMetrics.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace larkspire::sim {

class SimStatusItem : public StatusItem {
  public:
    bool hasButton() const override { return true; }
    void setImageLeading() override { imageLeading = true; }
    void setIcon(const StatusIcon& newIcon) override { icon = newIcon; }
    void setMenuProvider(std::function<Menu()> provider) override { menuProvider = std::move(provider); }
    void menuContentChanged() override { ++menuChanges; }

    // What the user sees when clicking the item.
    Menu openMenu() const { return menuProvider ? menuProvider() : Menu{}; }
    // Opens the menu and chooses the first item with this title; false when there is none.
    bool choose(const std::string& title);

    StatusIcon icon;
    bool imageLeading = false;
    int menuChanges = 0;

  private:
    std::function<Menu()> menuProvider;
};

class SimStatusBar : public StatusBar {
  public:
    std::unique_ptr<StatusItem> createStatusItem() override;
    SimStatusItem* item = nullptr;  // the last item created; owned by the application
};

class SimApplicationControl : public ApplicationControl {
  public:
    void terminate() override { terminated = true; }
    void activateIgnoringOtherApps() override { ++activations; }
    bool terminated = false;
    int activations = 0;
};

class SimSettingsWindow : public SettingsWindow {
  public:
    void selectTab(int index) override;
    void setOnSelect(std::function<void(int)> callback) override { onSelect = std::move(callback); }
    bool isVisible() const override { return visible; }
    void center() override { ++centred; }
    void makeKeyAndOrderFront() override {
        visible = true;
        ++broughtToFront;
    }
    void setOnHide(std::function<void()> callback) override { onHide = std::move(callback); }
    int selectedTab() const override { return selected.value_or(-1); }
    void close() {  // closing only hides
        visible = false;
        if (onHide) onHide();
    }
    void setFrameAutosaveName(const std::string& name) override { frameAutosaveName = name; }
    void setTabContent(int index, const TabView& content) override { tabContents[index] = content; }

    std::optional<int> selected;
    bool visible = false;
    int centred = 0;
    int broughtToFront = 0;
    std::vector<SettingsTab> tabs;
    std::string frameAutosaveName;
    std::map<int, TabView> tabContents;  // what each tab shows, as last described

  private:
    std::function<void(int)> onSelect;
    std::function<void()> onHide;
};

class SimSettingsWindows : public SettingsWindowFactory {
  public:
    std::unique_ptr<SettingsWindow> createSettingsWindow(const std::vector<SettingsTab>& tabs) override;
    SimSettingsWindow* window = nullptr;  // owned by the application
    int created = 0;
};

// Answers the folder panel with the folders a test put in `answer`; empty is a cancel.
class SimFolderPicker : public FolderPicker {
  public:
    std::vector<Url> chooseFolders(const FolderPickerOptions& options) override {
        requests.push_back(options);
        return answer;
    }
    std::vector<Url> answer;
    std::vector<FolderPickerOptions> requests;
};

// A predictable stand-in for font measurement: every character is 0.6 em wide (0.5 em compressed),
// 5 % more when bold or heavier.
class SimTextMetrics : public TextMetrics {
  public:
    TextSize measure(std::string_view text, const FontDescription& font) const override;
    mutable int measurements = 0;  // how often a face was laid out shows here
};

}  // namespace larkspire::sim
