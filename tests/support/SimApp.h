#pragma once

#include "app/Application.h"
#include "platform/sim/Desktop.h"

#include <memory>

namespace larkspire::testing {

// A simulated desktop with a launched Application, as a user starting the program finds it.
struct SimApp {
    sim::Desktop desktop;
    std::shared_ptr<Application> app;

    // Starts the application; call again after restart() for a second start of the same account.
    Application& launch() {
        app = std::make_shared<Application>(desktop.ports());
        app->applicationDidFinishLaunching();
        return *app;
    }
    // Ends the process: the application goes, the stored settings stay.
    void restart() {
        app.reset();
        desktop.defaults.restart();
    }
    sim::SimStatusItem& statusItem() { return *desktop.statusBar.item; }
};

}  // namespace larkspire::testing
