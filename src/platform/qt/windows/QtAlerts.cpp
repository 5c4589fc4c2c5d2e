#include "platform/qt/windows/QtAlerts.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace larkspire::qt {

void QtAlerts::showWarning(const std::string& message, const std::string& informativeText) {
    application.activateIgnoringOtherApps();
    QMessageBox box;
    box.setObjectName("larkspireAlert");
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle("Larkspire");
    // The texts carry folder and file names, which are never markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromStdString(message));
    box.setInformativeText(QString::fromStdString(informativeText));
    if (auto* informative = box.findChild<QLabel*>("qt_msgbox_informativelabel"))
        informative->setTextFormat(Qt::PlainText);
    auto* ok = box.addButton("OK", QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.raise();
    box.activateWindow();
    box.exec();
}

}  // namespace larkspire::qt
