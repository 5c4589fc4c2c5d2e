#pragma once

#include "platform/ApplicationControl.h"
#include "platform/DefaultsStore.h"
#include "platform/MainQueue.h"
#include "platform/Screens.h"
#include "platform/StatusItem.h"
#include "platform/WidgetWindow.h"
#include "widgets/ResizeHandle.h"
#include "widgets/WidgetState.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace larkspire {

struct WidgetPorts {
    MainQueue& main;
    DefaultsStore& defaults;
    Screens& screens;
    WidgetWindows& windows;
    ApplicationControl& application;
};

struct WidgetSize {
    double width = 0;
    double height = 0;
};

// One desktop widget: its window, placement, arrangement mode and one-second refresh.
class DesktopWidget : public std::enable_shared_from_this<DesktopWidget> {
  public:
    using DefaultOrigin = std::function<Point(const Rect& visibleFrame, WidgetSize size)>;
    using ContentBuilder = std::function<std::unique_ptr<WidgetContent>(WidgetState&)>;

    static std::shared_ptr<DesktopWidget> create(WidgetPorts ports, std::string enabledKey,
                                                 std::string scaleKey, std::string frameName,
                                                 ScaleRange scaleRange, DefaultOrigin defaultOrigin,
                                                 std::function<void()> refresh, ContentBuilder content);

    bool isEnabled() const { return ports.defaults.boolForKey(enabledKey); }
    void update();
    void show();
    void setEditing(bool editing);
    void savePosition();
    void scheduleFit();

    WidgetState& state() { return *widgetState; }
    WidgetWindow* window() { return widgetWindow.get(); }
    std::string positionKey() const { return frameName + ".topLeft"; }
    const ResizeHandle& handle() const { return resizeHandle; }

    DesktopWidget(WidgetPorts ports, std::string enabledKey, std::string scaleKey, std::string frameName,
                  ScaleRange scaleRange, DefaultOrigin defaultOrigin, std::function<void()> refresh,
                  ContentBuilder content);

  private:
    void makeWindow();
    const RenderedView& layout();
    void redraw();
    void scheduleRedraw();
    std::optional<Point> storedPosition() const;

    WidgetPorts ports;
    std::shared_ptr<WidgetState> widgetState;
    std::string enabledKey;
    std::string scaleKey;
    std::string frameName;
    ScaleRange scaleRange;
    DefaultOrigin defaultOrigin;
    std::function<void()> refresh;
    ContentBuilder content;
    std::unique_ptr<WidgetWindow> widgetWindow;
    ResizeHandle resizeHandle;
    std::unique_ptr<WidgetContent> host;
    std::optional<RenderedView> laidOut;  // the content's last layout, until a value it shows changes
    RepeatingTimer timer;
    std::vector<std::shared_ptr<void>> subscriptions;
    TaskToken scaleStore;
    bool redrawPending = false;
    bool fitting = false;  // inside a fit, which does not ask for another
};

}  // namespace larkspire
