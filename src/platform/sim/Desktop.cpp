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

Ports Desktop::ports() {
    return Ports{
        .main = loop,
        .clock = loop,
        .work = work,
        .defaults = defaults,
        .distributedNotifications = distributedNotifications,
        .workspace = workspace,
        .loginItem = loginItem,
        .accessibility = accessibility,
        .finderExtension = finderExtension,
        .log = log,
        .alerts = alerts,
        .statusBar = statusBar,
        .application = application,
        .settingsWindows = settingsWindows,
        .folderPicker = folderPicker,
        .textMetrics = textMetrics,
        .wheelEvents = wheel,
        .scrollEvents = wheel,
        .displayLinks = displayLinks,
        .mainDisplay = display,
        .gameMode = gameMode,
        .clipboard = clipboard,
        .eventTaps = eventTaps,
        .runningApplications = applications,
        .uiElements = applications,
        .filePackages = filePackages,
        .folderSizes = files,
        .windowServer = windowServer,
        .workspaceApplications = applications,
        .overlaySurfaces = overlaySurfaces,
        .hostStatistics = host,
        .temperatureSensors = sensors,
        .screens = screens,
        .widgetWindows = widgetWindows,
        .timeZone = timeZone,
        .volumes = volumes,
        .shareMounter = volumes,
        .workspaceNotifications = volumes,
        .networkPath = networkPath,
        .sidebarFavorites = sidebar,
    };
}

}  // namespace larkspire::sim
