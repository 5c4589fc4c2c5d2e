#include "platform/qt/QtDesktop.h"

namespace larkspire::qt {

Ports QtDesktop::ports() {
    return Ports{
        .main = main,
        .clock = clock,
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
    };
}

}  // namespace larkspire::qt
