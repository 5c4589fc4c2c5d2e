#include "platform/qt/process/QtDesktop.h"

namespace larkspire::qt {

Ports QtDesktop::ports(const SessionPorts& session) {
    return Ports{
        // Process
        .main = main,
        .clock = clock,
        .work = work,
        .defaults = defaults,
        .log = session.log,
        .application = application,
        .loginItem = session.loginItem,
        .distributedNotifications = session.distributedNotifications,
        // On screen
        .statusBar = statusBar,
        .settingsWindows = settingsWindows,
        .alerts = alerts,
        .folderPicker = folderPicker,
        .textMetrics = textMetrics,
        .workspace = workspace,
        .wording = session.wording,
        // File manager
        .finderExtension = session.finderExtension,
        .clipboard = session.clipboard,
        .eventTaps = session.eventTaps,
        .accessibility = session.accessibility,
        .runningApplications = session.runningApplications,
        .uiElements = session.uiElements,
        .filePackages = session.filePackages,
        .folderSizes = session.folderSizes,
        .windowServer = session.windowServer,
        .workspaceApplications = session.workspaceApplications,
        .overlaySurfaces = sessionOverlaySurfaces ? *sessionOverlaySurfaces : overlaySurfaces,
        // Smooth scrolling
        .wheelEvents = session.wheelEvents,
        .scrollEvents = session.scrollEvents,
        .displayLinks = session.displayLinks,
        .mainDisplay = session.mainDisplay,
        .gameMode = session.gameMode,
        .programWindows = session.programWindows,
        // Desktop widgets
        .hostStatistics = session.hostStatistics,
        .temperatureSensors = session.temperatureSensors,
        .screens = screens,
        .widgetWindows = sessionWidgetWindows ? *sessionWidgetWindows : widgetWindows,
        .timeZone = session.timeZone,
        // Network favourites
        .volumes = session.volumes,
        .shareMounter = session.shareMounter,
        .workspaceNotifications = session.workspaceNotifications,
        .networkPath = session.networkPath,
        .sidebarFavorites = session.sidebarFavorites,
    };
}

SessionPorts SessionPorts::from(const Ports& ports) {
    return SessionPorts{
        // Process
        .log = ports.log,
        .loginItem = ports.loginItem,
        .distributedNotifications = ports.distributedNotifications,
        .wording = ports.wording,
        // File manager
        .finderExtension = ports.finderExtension,
        .clipboard = ports.clipboard,
        .eventTaps = ports.eventTaps,
        .accessibility = ports.accessibility,
        .runningApplications = ports.runningApplications,
        .uiElements = ports.uiElements,
        .filePackages = ports.filePackages,
        .folderSizes = ports.folderSizes,
        .windowServer = ports.windowServer,
        .workspaceApplications = ports.workspaceApplications,
        // Smooth scrolling
        .wheelEvents = ports.wheelEvents,
        .scrollEvents = ports.scrollEvents,
        .displayLinks = ports.displayLinks,
        .mainDisplay = ports.mainDisplay,
        .gameMode = ports.gameMode,
        .programWindows = ports.programWindows,
        // Desktop widgets
        .hostStatistics = ports.hostStatistics,
        .temperatureSensors = ports.temperatureSensors,
        .timeZone = ports.timeZone,
        // Network favourites
        .volumes = ports.volumes,
        .shareMounter = ports.shareMounter,
        .workspaceNotifications = ports.workspaceNotifications,
        .networkPath = ports.networkPath,
        .sidebarFavorites = ports.sidebarFavorites,
    };
}

}  // namespace larkspire::qt
