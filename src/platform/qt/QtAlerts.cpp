#include "platform/qt/QtAlerts.h"

#include <QMessageBox>
#include <QPushButton>

namespace larkspire::qt {

void QtAlerts::showWarning(const std::string& message, const std::string& informativeText) {
    application.activateIgnoringOtherApps();
    QMessageBox box;
    box.setObjectName("larkspireAlert");
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle("Larkspire");
    box.setText(QString::fromStdString(message));
    box.setInformativeText(QString::fromStdString(informativeText));
    auto* ok = box.addButton("OK", QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.raise();
    box.activateWindow();
    box.exec();
}

}  // namespace larkspire::qt
