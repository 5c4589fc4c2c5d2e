#pragma once

#include "platform/DefaultsStore.h"
#include "platform/SettingsWindow.h"

#include <QTimer>
#include <QWidget>
#include <memory>
#include <vector>

class QFrame;
class QToolButton;

namespace larkspire::qt {

class TabRenderer;

// The top-level widget; closing it only hides it, and its position is saved when it moves or hides.
class SettingsWindowWidget : public QWidget {
    Q_OBJECT
  public:
    SettingsWindowWidget();
    std::function<void()> onFrameChanged;
    std::function<void()> onHidden;

  protected:
    void moveEvent(QMoveEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    QTimer saveSoon;
};

// The settings window: a row of tab buttons above the page of the selected tab. Each page is 460
// points wide; the window fits the page's height and keeps its top edge when the tab changes.
class QtSettingsWindow : public SettingsWindow {
  public:
    static constexpr int tabWidth = 460;

    QtSettingsWindow(const std::vector<SettingsTab>& tabs, DefaultsStore& defaults);
    ~QtSettingsWindow() override;

    void selectTab(int index) override;  // an index outside the tabs is ignored
    void setOnSelect(std::function<void(int index)> onSelect) override {
        this->onSelect = std::move(onSelect);
    }
    void setOnHide(std::function<void()> onHide) override { window->onHidden = std::move(onHide); }
    int selectedTab() const override { return selected; }
    bool isVisible() const override;
    void center() override;
    void makeKeyAndOrderFront() override;
    void setFrameAutosaveName(const std::string& name) override;
    void setTabContent(int index, const TabView& content) override;

    QWidget& widget() { return *window; }
    int selectedIndex() const { return selected; }
    const std::vector<QToolButton*>& tabButtons() const { return buttons; }
    QWidget* page(int index) const;
    TabRenderer* renderer(int index) const;

  private:
    void fitToTab();
    void saveFrame();
    void restoreFrame();

    DefaultsStore& defaults;
    std::unique_ptr<SettingsWindowWidget> window;
    std::vector<SettingsTab> tabs;
    std::vector<QToolButton*> buttons;
    std::vector<QWidget*> pages;
    std::vector<TabRenderer*> renderers;
    QWidget* tabBar = nullptr;
    QFrame* separator = nullptr;
    std::function<void(int)> onSelect;
    std::string autosaveName;
    int selected = -1;
};

class QtSettingsWindows : public SettingsWindowFactory {
  public:
    explicit QtSettingsWindows(DefaultsStore& defaults) : defaults(defaults) {}
    std::unique_ptr<SettingsWindow> createSettingsWindow(const std::vector<SettingsTab>& tabs) override;
    QtSettingsWindow* window = nullptr;  // the last window created; owned by the application

  private:
    DefaultsStore& defaults;
};

}  // namespace larkspire::qt
