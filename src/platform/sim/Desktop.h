#pragma once

#include "platform/Ports.h"
#include "platform/sim/MemoryDefaults.h"
#include "platform/sim/Recorders.h"
#include "platform/sim/SimDisplay.h"
#include "platform/sim/SimGameMode.h"
#include "platform/sim/SimMainLoop.h"
#include "platform/sim/SimShell.h"
#include "platform/sim/SimSystem.h"
#include "platform/sim/SimWheelInput.h"
#include "platform/sim/SimWorkQueue.h"

namespace larkspire::sim {

// The simulated desktop: every port in memory, time in the test's hands.
class Desktop {
  public:
    Ports ports();

    // Moves the virtual clock, running everything that falls due on the way.
    void advance(double seconds) { loop.advance(seconds); }
    double now() const { return loop.uptime(); }

    SimMainLoop loop;
    SimWorkQueue work{loop};
    MemoryDefaults defaults;
    RecordingLog log;
    RecordingDistributedNotifications distributedNotifications;
    RecordingWorkspace workspace;
    SimLoginItem loginItem;
    SimAccessibility accessibility;
    SimFinderExtension finderExtension;
    RecordingAlerts alerts;
    SimStatusBar statusBar;
    SimApplicationControl application;
    SimSettingsWindows settingsWindows;
    SimFolderPicker folderPicker;
    SimTextMetrics textMetrics;
    SimWheelInput wheel;
    SimDisplayLinks displayLinks{loop};
    SimMainDisplay display;
    SimGameMode gameMode{loop};
};

}  // namespace larkspire::sim
