#pragma once

#include "platform/Accessibility.h"
#include "platform/Alerts.h"
#include "platform/ApplicationControl.h"
#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "platform/DefaultsStore.h"
#include "platform/DisplayLink.h"
#include "platform/DistributedNotifications.h"
#include "platform/FilePackages.h"
#include "platform/FinderExtension.h"
#include "platform/FolderPicker.h"
#include "platform/FolderSizes.h"
#include "platform/GameModeNotifications.h"
#include "platform/HostStatistics.h"
#include "platform/KeyboardTap.h"
#include "platform/Log.h"
#include "platform/LoginItem.h"
#include "platform/MainDisplay.h"
#include "platform/MainQueue.h"
#include "platform/NetworkPathMonitor.h"
#include "platform/OverlaySurfaces.h"
#include "platform/ProgramWindows.h"
#include "platform/RunningApplications.h"
#include "platform/Screens.h"
#include "platform/ScrollEventPoster.h"
#include "platform/SettingsWindow.h"
#include "platform/ShareMounter.h"
#include "platform/SidebarFavorites.h"
#include "platform/StatusItem.h"
#include "platform/TemperatureSensors.h"
#include "platform/TextMetrics.h"
#include "platform/TimeZone.h"
#include "platform/UIElements.h"
#include "platform/Volumes.h"
#include "platform/WheelEventTap.h"
#include "platform/WidgetWindow.h"
#include "platform/WindowServer.h"
#include "platform/Wording.h"
#include "platform/WorkQueue.h"
#include "platform/Workspace.h"
#include "platform/WorkspaceApplications.h"
#include "platform/WorkspaceNotifications.h"

namespace larkspire {

// Everything of the desktop that the features may use, handed to the Application by its desktop.
// Each feature takes its share through its own ports struct's `from`.
struct Ports {
    // Process
    MainQueue& main;
    Clock& clock;
    WorkQueue& work;
    DefaultsStore& defaults;
    Log& log;
    ApplicationControl& application;
    LoginItem& loginItem;
    DistributedNotifications& distributedNotifications;
    // On screen
    StatusBar& statusBar;
    SettingsWindowFactory& settingsWindows;
    Alerts& alerts;
    FolderPicker& folderPicker;
    TextMetrics& textMetrics;
    Workspace& workspace;
    const Wording& wording;
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
    OverlaySurfaces& overlaySurfaces;
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
    Screens& screens;
    WidgetWindows& widgetWindows;
    TimeZone& timeZone;
    // Network favourites
    Volumes& volumes;
    ShareMounter& shareMounter;
    WorkspaceNotifications& workspaceNotifications;
    NetworkPathMonitor& networkPath;
    SidebarFavorites& sidebarFavorites;
};

}  // namespace larkspire
