#include "platform/qt/process/QtApplicationControl.h"

#include <QApplication>
#include <QWidget>

namespace larkspire::qt {

void QtApplicationControl::terminate() {
    // Queued, so the menu action that asked for it finishes first.
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void QtApplicationControl::activateIgnoringOtherApps() {
    for (auto* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible()) continue;
        window->raise();
        window->activateWindow();
    }
}

}  // namespace larkspire::qt
