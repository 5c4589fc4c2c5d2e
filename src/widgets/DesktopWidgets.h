#pragma once

#include "platform/Clock.h"
#include "platform/HostStatistics.h"
#include "platform/TemperatureSensors.h"
#include "platform/TextMetrics.h"
#include "stats/SystemStats.h"
#include "widgets/ClockModel.h"
#include "widgets/DesktopWidget.h"

#include <memory>
#include <vector>

namespace larkspire {

struct Ports;

struct DesktopWidgetsPorts {
    MainQueue& main;
    Clock& clock;
    DefaultsStore& defaults;
    Screens& screens;
    WidgetWindows& windows;
    ApplicationControl& application;
    TextMetrics& textMetrics;
    HostStatistics& host;
    TemperatureSensors& sensors;
    TimeZone& timeZone;
    const Wording& wording;

    static DesktopWidgetsPorts from(const Ports& ports);  // its share of the application's ports
};

// The two desktop widgets, the system monitor and the clock, and their arrangement mode.
class DesktopWidgets {
  public:
    explicit DesktopWidgets(DesktopWidgetsPorts ports);

    SystemStats& systemStats() { return stats; }
    ClockModel& clock() { return clockModel; }
    DesktopWidget& system();
    DesktopWidget& clockWidget();
    std::vector<DesktopWidget*> all() { return {&system(), &clockWidget()}; }

    bool anyEnabled() { return system().isEnabled() || clockWidget().isEnabled(); }
    bool isEditing() const { return editing; }
    void update();
    void setEditing(bool editing);
    [[nodiscard]] std::shared_ptr<void> observeEditing(Signal::Handler handler) {
        return editingChanged.observe(std::move(handler));
    }

  private:
    void assignEditing(bool value);
    WidgetPorts widgetPorts() const;  // what each widget uses of these ports

    DesktopWidgetsPorts ports;
    SystemStats stats;
    ClockModel clockModel;
    bool editing = false;
    Signal editingChanged;
    std::shared_ptr<DesktopWidget> systemWidget;
    std::shared_ptr<DesktopWidget> clockWindowWidget;
};

}  // namespace larkspire
