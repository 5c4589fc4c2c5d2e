#pragma once

#include "platform/Ports.h"
#include "platform/linux/system/SystemClock.h"
#include "platform/qt/drawing/QtTextMetrics.h"
#include "platform/qt/process/QtApplicationControl.h"
#include "platform/qt/process/QtMainQueue.h"
#include "platform/qt/process/QtWorkQueue.h"
#include "platform/qt/process/QtWorkspace.h"
#include "platform/qt/windows/QtAlerts.h"
#include "platform/qt/windows/QtFolderPicker.h"
#include "platform/qt/windows/QtOverlayWindow.h"
#include "platform/qt/windows/QtSettingsWindow.h"
#include "platform/qt/windows/QtStatusItem.h"
#include "platform/qt/windows/QtWidgetWindow.h"

namespace larkspire::qt {

// The ports of the session that do not come from Qt: Linux adapters in the program, simulated
// ones where tests and snapshots must not touch the real session.
struct SessionPorts {
    // Process
    Log& log;
    LoginItem& loginItem;
    DistributedNotifications& distributedNotifications;
    const Wording& wording;  // the desktop's words in the session's language
    // File manager
    FinderExtension& finderExtension;
    Clipboard& clipboard;
    EventTaps& eventTaps;
    Accessibility& accessibility;
    RunningApplications& runningApplications;
    UIElements& uiElements;
    FilePackages& filePackages;
    FolderSizes& folderSizes;
    WindowServer& windowServer;
    WorkspaceApplications& workspaceApplications;
    // Smooth scrolling
    WheelEventHooks& wheelEvents;
    ScrollEventPoster& scrollEvents;
    DisplayLinks& displayLinks;
    MainDisplay& mainDisplay;
    GameModeNotifications& gameMode;
    ProgramWindows& programWindows;
    // Desktop widgets
    HostStatistics& hostStatistics;
    TemperatureSensors& temperatureSensors;
    TimeZone& timeZone;
    // Network favourites
    Volumes& volumes;
    ShareMounter& shareMounter;
    WorkspaceNotifications& workspaceNotifications;
    NetworkPathMonitor& networkPath;
    SidebarFavorites& sidebarFavorites;

    // The session of another desktop, the simulated one for snapshots and tests.
    static SessionPorts from(const Ports& ports);
};

// The ports on Qt. Create it on the main thread after the QApplication.
class QtDesktop {
  public:
    explicit QtDesktop(DefaultsStore& defaults) : defaults(defaults), settingsWindows(defaults) {}
    Ports ports(const SessionPorts& session);

    DefaultsStore& defaults;
    QtMainQueue main;
    linux_desktop::SystemClock clock;
    QtWorkQueue work;
    QtWorkspace workspace;
    QtApplicationControl application;
    QtAlerts alerts{application};
    QtStatusBar statusBar;
    QtSettingsWindows settingsWindows;
    QtFolderPicker folderPicker{application};
    QtTextMetrics textMetrics;
    QtOverlaySurfaces overlaySurfaces;
    QtScreens screens;
    QtWidgetWindows widgetWindows;
    // Where the session draws widgets and overlays its own way (layer surfaces on Wayland).
    WidgetWindows* sessionWidgetWindows = nullptr;
    OverlaySurfaces* sessionOverlaySurfaces = nullptr;
};

}  // namespace larkspire::qt
