#include "platform/qt/Snapshot.h"

#include "app/Application.h"
#include "app/Settings.h"
#include "platform/qt/DisplayListPainter.h"
#include "platform/qt/QtDesktop.h"
#include "platform/sim/Desktop.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
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

// The icon at tray size and large, beside its tooltip as the panel would show it.
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
    int width = 16 + 22 + 16 + 64 + 16 + tip.width() + 16;
    int height = std::max(96, tip.height() + 32);
    QImage sheet(width, height, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(QApplication::palette().color(QPalette::Window));
    QPainter painter(&sheet);
    painter.drawImage(16, (height - 22) / 2, small);
    painter.drawImage(16 + 22 + 16, (height - 64) / 2, large);
    painter.drawPixmap(16 + 22 + 16 + 64 + 16, (height - tip.height()) / 2, tip);
    return sheet;
}

QPalette darkPalette() {
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
    palette.setColor(QPalette::WindowText, QColor(0xe6, 0xe6, 0xe6));
    palette.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    palette.setColor(QPalette::AlternateBase, QColor(0x26, 0x26, 0x26));
    palette.setColor(QPalette::Text, QColor(0xe6, 0xe6, 0xe6));
    palette.setColor(QPalette::Highlight, QColor(0x2f, 0x65, 0xca));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    return palette;
}

// A file-manager window as the simulated one lays it out, with the badge window's content over it.
QImage fileManagerPicture(const sim::SimFinderWindow& window, const OverlayView& view,
                          const QPalette& palette, const TextMetrics& metrics) {
    const auto& bounds = window.bounds;
    QImage image(static_cast<int>(bounds.width), static_cast<int>(bounds.height),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(palette.color(QPalette::Base));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(QRectF(0, 0, bounds.width, sim::SimFinderWindow::toolbarHeight),
                     palette.color(QPalette::Window));
    painter.setPen(palette.color(QPalette::WindowText));
    painter.drawText(QRectF(0, 0, bounds.width, sim::SimFinderWindow::toolbarHeight), Qt::AlignCenter,
                     QString::fromStdString(window.folder.filename().string()));
    for (auto row : window.visibleRows()) {
        auto frame = window.rowFrame(row);
        QRectF rect(frame.x - bounds.x, frame.y - bounds.y, frame.width, frame.height);
        bool selected = window.isSelected(row);
        painter.fillRect(rect, selected ? palette.color(QPalette::Highlight)
                                        : palette.color(row % 2 ? QPalette::AlternateBase : QPalette::Base));
        painter.setPen(palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter.drawText(rect.adjusted(sim::SimFinderWindow::itemInset, 0, 0, 0), Qt::AlignVCenter,
                         QString::fromStdString(window.items[row]));
    }
    paintDisplayList(painter, view.displayList(bounds.height, overlayColors(palette), metrics));
    return image;
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

    // The badge over a file-manager window: three files selected, two others cut.
    const std::string projectFolder = "/Users/anna/Projekt";
    std::vector<std::string> names{"Angebot.pdf",      "Bericht 2026.docx", "Fotos",    "Notizen.txt",
                                   "Präsentation.key", "Tabelle.xlsx",      "Video.mov"};
    std::vector<std::int64_t> sizes{182'000, 1'450'000, 86'300'000, 2'100, 12'800'000, 64'000, 410'000'000};
    for (std::size_t i = 0; i < names.size(); ++i)
        session.files.addFile(projectFolder + "/" + names[i], sizes[i]);
    auto& window = session.fileManager().openWindow(projectFolder, names);
    window.bounds = Rect{0, 0, 560, 240};
    window.select({"Fotos", "Präsentation.key", "Tabelle.xlsx"});
    app->cutPasteMonitor().setCut({projectFolder + "/Angebot.pdf", projectFolder + "/Notizen.txt"});
    auto& overlay = app->finderOverlayController();
    const OverlayView* view = nullptr;
    QElapsedTimer waited;
    waited.start();
    // The sizes arrive from the background; the badge shows them on a later refresh.
    while (waited.elapsed() < 3000) {
        overlay.refresh();
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        auto found = overlay.overlayWindows().find(static_cast<std::uint32_t>(window.number));
        view = found == overlay.overlayWindows().end() ? nullptr : &found->second->overlayView;
        if (view && view->label && view->label->text != FinderOverlayController::computingText) break;
    }
    if (view) {
        save(fileManagerPicture(window, *view, QApplication::palette(), desktop.textMetrics),
             "badge-light.png");
        save(fileManagerPicture(window, *view, darkPalette(), desktop.textMetrics), "badge-dark.png");
    } else {
        result.failed.append(dir.absoluteFilePath("badge-light.png"));
    }
    app->cutPasteMonitor().cancelCut();
    return result;
}

}  // namespace larkspire::qt
