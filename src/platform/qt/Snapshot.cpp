#include "platform/qt/Snapshot.h"

#include "app/Application.h"
#include "app/Settings.h"
#include "platform/qt/QtDesktop.h"
#include "platform/sim/Desktop.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QToolTip>

namespace larkspire::qt {

namespace {

QString fileLabel(const std::string& label) {
    auto name = QString::fromStdString(label).toLower();
    name.replace(u'ü', "ue").replace(u'ä', "ae").replace(u'ö', "oe").replace(u'ß', "ss").replace(' ', '-');
    return name;
}

// The icon at tray size and large on a light and on a dark panel, beside its tooltip.
QImage iconSheet(const StatusIcon& icon) {
    QLabel tooltip(QString::fromStdString(icon.tooltip));
    tooltip.setPalette(QToolTip::palette());
    tooltip.setAutoFillBackground(true);
    tooltip.setMargin(6);
    tooltip.setFrameShape(QFrame::Box);
    tooltip.adjustSize();
    QPixmap tip = tooltip.grab();

    auto tint = QApplication::palette().color(QPalette::WindowText);
    QImage small = QtStatusItem::renderIcon(icon, 22, tint);
    QImage large = QtStatusItem::renderIcon(icon, 64, tint);
    int panel = 16 + 22 + 16 + 64 + 16;
    int width = 2 * panel + tip.width() + 16;
    int height = std::max(96, tip.height() + 32);
    QImage sheet(width, height, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(QApplication::palette().color(QPalette::Window));
    QPainter painter(&sheet);
    for (int side = 0; side < 2; ++side) {
        int left = side * panel;
        painter.fillRect(left, 0, panel, height,
                         side == 0 ? QColor(0xf2, 0xf2, 0xf2) : QColor(0x24, 0x24, 0x24));
        painter.drawImage(left + 16, (height - 22) / 2, small);
        painter.drawImage(left + 16 + 22 + 16, (height - 64) / 2, large);
    }
    painter.drawPixmap(2 * panel, (height - tip.height()) / 2, tip);
    return sheet;
}

}  // namespace

SnapshotResult writeSnapshots(const QString& folder) {
    SnapshotResult result;
    QDir dir(folder);
    if (!dir.mkpath(".")) {
        result.failed.append(folder);
        return result;
    }
    auto save = [&](const QImage& image, const QString& name) {
        auto path = dir.absoluteFilePath(name);
        if (!image.isNull() && image.save(path, "PNG"))
            result.written.append(path);
        else
            result.failed.append(path);
    };

    sim::Desktop session;
    session.accessibility.trusted = true;  // no permission explanation over the pictures
    QtDesktop desktop(session.defaults);
    auto app = std::make_shared<Application>(desktop.ports(simulatedSession(session)));
    app->applicationDidFinishLaunching();
    QApplication::processEvents();

    // The icon states come from the data the core hands the status item.
    save(iconSheet(desktop.statusBar.item->icon()), "status-icon-nothing-cut.png");
    // Two files cut and smooth scrolling on, so the icon and the menu show every entry and its check mark.
    app->cutPasteMonitor().setCut({"/tmp/1.txt", "/tmp/2.txt"});
    session.defaults.set(Settings::smoothScrollKey, Value(true));
    QApplication::processEvents();
    save(iconSheet(desktop.statusBar.item->icon()), "status-icon-two-cut.png");

    auto& menu = desktop.statusBar.item->menu();
    menu.popup(QPoint(0, 0));
    QApplication::processEvents();
    save(menu.grab().toImage(), "status-menu.png");
    menu.hide();
    app->cutPasteMonitor().cancelCut();

    const auto& tabs = SettingsWindowController::tabs();
    for (int index = 0; index < static_cast<int>(tabs.size()); ++index) {
        app->settingsWindowController().show(index);
        QApplication::processEvents();
        auto* window = desktop.settingsWindows.window;
        if (!window) break;
        save(window->widget().grab().toImage(),
             QString("settings-%1-%2.png")
                 .arg(index)
                 .arg(fileLabel(tabs[static_cast<std::size_t>(index)].label)));
    }
    if (auto* window = desktop.settingsWindows.window) window->widget().hide();
    return result;
}

}  // namespace larkspire::qt
