#include "platform/sim/Desktop.h"

namespace larkspire::sim {

Desktop::Desktop() : finder(std::make_shared<SimFinder>(clipboard, applications.nextProcessIdentifier())) {
    applications.add(finder);
    applications.activate(*finder);
    applications.deliver = [this](std::function<void()> work) { loop.post(std::move(work)); };
    windowServer.finder = finder;
}

bool Desktop::press(Key key, std::uint64_t flags, bool autoRepeat) {
    KeyEvent event{.keyCode = static_cast<std::int64_t>(key), .flags = flags, .autoRepeat = autoRepeat};
    if (eventTaps.deliver(event)) return true;
    if (auto* front = applications.frontmost()) front->keyDown(event);
    return false;
}

void Desktop::useWheel(WheelEventHooks& hooks, ScrollEventPoster& poster) {
    inUse.wheelEvents = &hooks;
    inUse.scrollEvents = &poster;
}

void Desktop::useFileManagers(RunningApplications& running, WorkspaceApplications& workspace,
                              UIElements& elements, WindowServer& windows) {
    inUse.runningApplications = &running;
    inUse.workspaceApplications = &workspace;
    inUse.uiElements = &elements;
    inUse.windowServer = &windows;
}

Ports Desktop::ports() {
    return Ports{
        // Process
        .main = loop,
        .clock = loop,
        .work = work,
        .defaults = defaults,
        .log = log,
        .application = application,
        .loginItem = loginItem,
        .distributedNotifications = distributedNotifications,
        // On screen
        .statusBar = statusBar,
        .settingsWindows = settingsWindows,
        .alerts = alerts,
        .folderPicker = folderPicker,
        .textMetrics = textMetrics,
        .workspace = workspace,
        .wording = *inUse.wording,
        // File manager
        .finderExtension = finderExtension,
        .clipboard = clipboard,
        .eventTaps = eventTaps,
        .accessibility = accessibility,
        .runningApplications = *inUse.runningApplications,
        .uiElements = *inUse.uiElements,
        .filePackages = filePackages,
        .folderSizes = files,
        .windowServer = *inUse.windowServer,
        .workspaceApplications = *inUse.workspaceApplications,
        .overlaySurfaces = overlaySurfaces,
        // Smooth scrolling
        .wheelEvents = *inUse.wheelEvents,
        .scrollEvents = *inUse.scrollEvents,
        .displayLinks = displayLinks,
        .mainDisplay = display,
        .gameMode = gameMode,
        .programWindows = programWindows,
        // Desktop widgets
        .hostStatistics = host,
        .temperatureSensors = sensors,
        .screens = screens,
        .widgetWindows = widgetWindows,
        .timeZone = timeZone,
        // Network favourites
        .volumes = volumes,
        .shareMounter = volumes,
        .workspaceNotifications = volumes,
        .networkPath = networkPath,
        .sidebarFavorites = sidebar,
    };
}

}  // namespace larkspire::sim
