#pragma once

#include "platform/Ports.h"
#include "platform/sim/Keyboard.h"
#include "platform/sim/MemoryDefaults.h"
#include "platform/sim/Recorders.h"
#include "platform/sim/SimApplications.h"
#include "platform/sim/SimClipboard.h"
#include "platform/sim/SimDisplay.h"
#include "platform/sim/SimEventTaps.h"
#include "platform/sim/SimFilePackages.h"
#include "platform/sim/SimFinder.h"
#include "platform/sim/SimGameMode.h"
#include "platform/sim/SimHost.h"
#include "platform/sim/SimMainLoop.h"
#include "platform/sim/SimNetwork.h"
#include "platform/sim/SimProgramWindows.h"
#include "platform/sim/SimShell.h"
#include "platform/sim/SimSystem.h"
#include "platform/sim/SimWheelInput.h"
#include "platform/sim/SimWindows.h"
#include "platform/sim/SimWorkQueue.h"

#include <memory>

namespace larkspire::sim {

// The simulated desktop: every port in memory, time in the test's hands.
class Desktop {
  public:
    Desktop();
    // Background work reads the simulated devices it was given; it ends before they go.
    ~Desktop() { work.join(); }
    Ports ports();

    // Moves the virtual clock, running everything that falls due on the way.
    void advance(double seconds) { loop.advance(seconds); }
    double now() const { return loop.uptime(); }

    SimMainLoop loop;
    SimFileTree files;  // before the work queue: walks still running at the end read it
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
    SimProgramWindows programWindows;
    SimClipboard clipboard{loop};
    SimEventTaps eventTaps;
    SimApplications applications;
    SimFilePackages filePackages;
    SimWindowServer windowServer;
    SimOverlaySurfaces overlaySurfaces;
    SimHostStatistics host;
    SimTemperatureSensors sensors;
    SimScreens screens;
    SimWidgetWindows widgetWindows;
    SimTimeZone timeZone;
    SimVolumes volumes{loop};
    SimNetworkPath networkPath;
    SimSidebar sidebar;

    // A real adapter a test puts in place of simulated ones: ports() hands it out from then on.
    void useWheel(WheelEventHooks& hooks, ScrollEventPoster& poster);
    void useFileManagers(RunningApplications& running, WorkspaceApplications& workspace, UIElements& elements,
                         WindowServer& windows);
    // Another desktop's words in place of the German texts as the features write them.
    void useWording(const Wording& words) { inUse.wording = &words; }

    // The file manager runs from the start and is in front.
    SimFinder& fileManager() { return *finder; }
    // The user presses a key: the taps see it first; what they let pass reaches the frontmost
    // application. True when a tap swallowed it.
    bool press(Key key, std::uint64_t flags = NoModifiers, bool autoRepeat = false);

  private:
    std::shared_ptr<SimFinder> finder;
    // What ports() hands out where a test may put a real adapter in place of a simulated one.
    struct {
        WheelEventHooks* wheelEvents;
        ScrollEventPoster* scrollEvents;
        RunningApplications* runningApplications;
        WorkspaceApplications* workspaceApplications;
        UIElements* uiElements;
        WindowServer* windowServer;
        const Wording* wording;
    } inUse{&wheel, &wheel, &applications, &applications, &applications, &windowServer, &sourceWording()};
};

}  // namespace larkspire::sim
