#pragma once

#include "platform/Ports.h"
#include "platform/linux/SystemClock.h"
#include "platform/qt/QtAlerts.h"
#include "platform/qt/QtApplicationControl.h"
#include "platform/qt/QtFolderPicker.h"
#include "platform/qt/QtMainQueue.h"
#include "platform/qt/QtSettingsWindow.h"
#include "platform/qt/QtStatusItem.h"
#include "platform/qt/QtTextMetrics.h"
#include "platform/qt/QtWorkQueue.h"
#include "platform/qt/StandIns.h"

namespace larkspire::qt {

// The real desktop: every port on Qt and Linux. Create it on the main thread after the QApplication.
class QtDesktop {
  public:
    QtDesktop(DefaultsStore& defaults, Log& log) : defaults(defaults), log(log), settingsWindows(defaults) {}
    Ports ports();

    DefaultsStore& defaults;
    Log& log;
    QtMainQueue main;
    linux_desktop::SystemClock clock;
    QtWorkQueue work;
    DroppedDistributedNotifications distributedNotifications;
    QtWorkspace workspace;
    UnavailableLoginItem loginItem;
    UntrustedAccessibility accessibility;
    AbsentFinderExtension finderExtension;
    QtApplicationControl application;
    QtAlerts alerts{application};
    QtStatusBar statusBar;
    QtSettingsWindows settingsWindows;
    QtFolderPicker folderPicker{application};
    QtTextMetrics textMetrics;
};

}  // namespace larkspire::qt
