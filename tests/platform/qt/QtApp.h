#pragma once

#include "app/Application.h"
#include "platform/qt/process/QtDesktop.h"
#include "platform/sim/Desktop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>
#include <memory>

namespace larkspire::testing {

// Runs Qt's event loop until `done` holds or the time is up; true when it held.
inline bool runUntil(const std::function<bool()>& done, int milliseconds = 3000) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > milliseconds) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

// The Application on the real Qt desktop, with settings in memory.
struct QtApp {
    sim::Desktop session;  // everything that is not Qt: settings, log, login item, input
    sim::MemoryDefaults& defaults = session.defaults;
    qt::QtDesktop desktop{defaults};
    std::shared_ptr<Application> app;

    Application& launch() {
        app = std::make_shared<Application>(desktop.ports(qt::SessionPorts::from(session.ports())));
        app->applicationDidFinishLaunching();
        return *app;
    }
    qt::QtSettingsWindow& openSettings() {
        app->openSettings();
        return *desktop.settingsWindows.window;
    }
    ~QtApp() {
        if (desktop.settingsWindows.window) desktop.settingsWindows.window->widget().hide();
    }
};

}  // namespace larkspire::testing
