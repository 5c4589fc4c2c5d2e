#include "platform/qt/QtDesktop.h"

namespace larkspire::qt {

Ports QtDesktop::ports(const SessionPorts& session) {
    return Ports{
        .main = main,
        .clock = clock,
        .work = work,
        .defaults = defaults,
        .distributedNotifications = session.distributedNotifications,
        .workspace = workspace,
        .loginItem = session.loginItem,
        .accessibility = session.accessibility,
        .finderExtension = session.finderExtension,
        .log = session.log,
        .alerts = alerts,
        .statusBar = statusBar,
        .application = application,
        .settingsWindows = settingsWindows,
        .folderPicker = folderPicker,
        .textMetrics = textMetrics,
        .wheelEvents = session.wheelEvents,
        .scrollEvents = session.scrollEvents,
        .displayLinks = session.displayLinks,
        .mainDisplay = session.mainDisplay,
        .gameMode = session.gameMode,
        .clipboard = session.clipboard,
        .eventTaps = session.eventTaps,
        .runningApplications = session.runningApplications,
        .uiElements = session.uiElements,
        .filePackages = session.filePackages,
        .volumes = session.volumes,
        .shareMounter = session.shareMounter,
        .workspaceNotifications = session.workspaceNotifications,
        .networkPath = session.networkPath,
        .sidebarFavorites = session.sidebarFavorites,
    };
}

SessionPorts simulatedSession(sim::Desktop& session) {
    return SessionPorts{
        .log = session.log,
        .loginItem = session.loginItem,
        .accessibility = session.accessibility,
        .finderExtension = session.finderExtension,
        .distributedNotifications = session.distributedNotifications,
        .wheelEvents = session.wheel,
        .scrollEvents = session.wheel,
        .displayLinks = session.displayLinks,
        .mainDisplay = session.display,
        .gameMode = session.gameMode,
        .clipboard = session.clipboard,
        .eventTaps = session.eventTaps,
        .runningApplications = session.applications,
        .uiElements = session.applications,
        .filePackages = session.filePackages,
        .volumes = session.volumes,
        .shareMounter = session.volumes,
        .workspaceNotifications = session.volumes,
        .networkPath = session.networkPath,
        .sidebarFavorites = session.sidebar,
    };
}

}  // namespace larkspire::qt
