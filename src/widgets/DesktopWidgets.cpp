#include "widgets/DesktopWidgets.h"

#include "platform/Ports.h"
#include "widgets/ClockView.h"
#include "widgets/SystemMonitorView.h"
#include "widgets/WidgetSettings.h"

namespace larkspire {

DesktopWidgetsPorts DesktopWidgetsPorts::from(const Ports& ports) {
    return DesktopWidgetsPorts{
        .main = ports.main,
        .clock = ports.clock,
        .defaults = ports.defaults,
        .screens = ports.screens,
        .windows = ports.widgetWindows,
        .application = ports.application,
        .textMetrics = ports.textMetrics,
        .host = ports.hostStatistics,
        .sensors = ports.temperatureSensors,
        .timeZone = ports.timeZone,
        .wording = ports.wording,
    };
}

DesktopWidgets::DesktopWidgets(DesktopWidgetsPorts ports)
    : ports(ports),
      stats(SystemStatsPorts{.host = ports.host, .sensors = ports.sensors, .defaults = ports.defaults}),
      clockModel(ports.clock, ports.timeZone, ports.wording) {}

WidgetPorts DesktopWidgets::widgetPorts() const {
    return WidgetPorts{ports.main, ports.defaults, ports.screens, ports.windows, ports.application};
}

DesktopWidget& DesktopWidgets::system() {
    if (!systemWidget) {
        auto& metrics = ports.textMetrics;
        systemWidget = DesktopWidget::create(
            widgetPorts(), Settings::systemMonitorKey, Settings::systemMonitorScaleKey,
            "LarkspireSystemMonitor", ScaleRange{0.4, 2.0},
            [](const Rect& visible, WidgetSize) {
                return Point{visible.x + 40, visible.y + 40};
            },
            [this] { stats.refresh(); },
            [this, &metrics](WidgetState& state) {
                return std::make_unique<SystemMonitorView>(stats, state, metrics, this->ports.wording);
            });
    }
    return *systemWidget;
}

DesktopWidget& DesktopWidgets::clockWidget() {
    if (!clockWindowWidget) {
        auto& metrics = ports.textMetrics;
        clockWindowWidget = DesktopWidget::create(
            widgetPorts(), Settings::clockWidgetKey, Settings::clockWidgetScaleKey, "LarkspireClock",
            ScaleRange{0.2, 1.5},
            [](const Rect& visible, WidgetSize size) {
                return Point{visible.x + 40, visible.y + visible.height - size.height - 20};
            },
            [this] { clockModel.refresh(); },
            [this, &metrics](WidgetState& state) {
                return std::make_unique<ClockView>(clockModel, state, metrics);
            });
    }
    return *clockWindowWidget;
}

void DesktopWidgets::assignEditing(bool value) {
    editing = value;
    editingChanged.notify();
}

void DesktopWidgets::update() {
    system().update();
    clockWidget().update();
    if (!anyEnabled()) assignEditing(false);
}

void DesktopWidgets::setEditing(bool wanted) {
    bool effective = wanted && anyEnabled();
    assignEditing(effective);
    system().setEditing(effective);
    clockWidget().setEditing(effective);
}

}  // namespace larkspire
