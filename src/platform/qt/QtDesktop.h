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

// The ports on Qt, with the Linux adapters the caller chose for the rest. Create it on the main
// thread after the QApplication.
class QtDesktop {
  public:
    QtDesktop(DefaultsStore& defaults, Log& log, LoginItem& loginItem, Accessibility& accessibility)
        : defaults(defaults), log(log), loginItem(loginItem), accessibility(accessibility),
          settingsWindows(defaults) {}
    Ports ports();

    DefaultsStore& defaults;
    Log& log;
    LoginItem& loginItem;
    Accessibility& accessibility;
    QtMainQueue main;
    linux_desktop::SystemClock clock;
    QtWorkQueue work;
    DroppedDistributedNotifications distributedNotifications;
    QtWorkspace workspace;
    AbsentFinderExtension finderExtension;
    QtApplicationControl application;
    QtAlerts alerts{application};
    QtStatusBar statusBar;
    QtSettingsWindows settingsWindows;
    QtFolderPicker folderPicker{application};
    QtTextMetrics textMetrics;
};

}  // namespace larkspire::qt
