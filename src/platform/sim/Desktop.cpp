#include "platform/sim/Desktop.h"

namespace larkspire::sim {

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
    };
}

}  // namespace larkspire::sim
