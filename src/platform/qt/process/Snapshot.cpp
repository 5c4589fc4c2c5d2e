#include "platform/qt/process/Snapshot.h"

#include "app/Application.h"
#include "app/Settings.h"
#include "platform/qt/drawing/DisplayListPainter.h"
#include "platform/qt/process/QtDesktop.h"
#include "platform/sim/Desktop.h"
#include "widgets/ClockView.h"
#include "widgets/SystemMonitorView.h"
#include "widgets/WidgetChrome.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPainter>
#include <QToolTip>
#include <cmath>

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

// A dim desktop behind the light faces, as they stand on a wallpaper.
QImage onDesktop(const QImage& face, int margin = 36) {
    QImage sheet(face.width() + 2 * margin, face.height() + 2 * margin, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&sheet);
    QLinearGradient wallpaper(0, 0, sheet.width(), sheet.height());
    wallpaper.setColorAt(0, QColor(38, 52, 78));
    wallpaper.setColorAt(1, QColor(74, 58, 96));
    painter.fillRect(sheet.rect(), wallpaper);
    painter.drawImage(margin, margin, face);
    return sheet;
}

QImage drawn(const RenderedView& view) {
    QImage image(static_cast<int>(std::ceil(view.width)), static_cast<int>(std::ceil(view.height)),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paintDisplayList(painter, view.items);
    return image;
}

struct FixedWallClock : Clock {
    double uptime() const override { return 0; }
    double wallTime() const override { return 1796515200 + 13 * 3600 + 5 * 60; }  // Sunday, 6 December, 14:05
};

// The faces at both ends of their scale, the monitor on three kinds of machine.
void writeWidgetFaces(const std::function<void(const QImage&, const QString&)>& save, const Wording& words) {
    QtTextMetrics metrics;
    Color accent{0.0, 0.48, 1.0, 1};
    FixedWallClock wallClock;
    sim::SimTimeZone zone;
    ClockModel clock(wallClock, zone, words);
    for (double scale : {1.0, 1.5}) {
        WidgetState state(scale);
        WidgetChrome face(std::make_unique<ClockView>(clock, state, metrics), state, accent);
        save(onDesktop(drawn(face.render())), QString("widget-clock-%1.png").arg(scale, 0, 'f', 1));
    }

    struct Machine {
        const char* name;
        int cpus;
        std::vector<LogicalCpu> topology;
        std::optional<double> celsius;
        double scale;
    };
    auto kinds = [](std::initializer_list<std::pair<int, CoreKind>> runs) {
        std::vector<LogicalCpu> cpus;
        int group = 0;
        for (auto [count, kind] : runs) {
            for (int i = 0; i < count; ++i) cpus.push_back(LogicalCpu{kind, group});
            group += 100;
        }
        return cpus;
    };
    constexpr auto E = CoreKind::efficiency, P = CoreKind::performance;
    std::vector<Machine> machines{
        {"2-cpus-no-temperature", 2, {}, std::nullopt, 1.0},
        {"10-cpus-warm", 10, kinds({{2, E}, {4, P}, {4, P}}), 71.0, 1.0},
        {"24-cpus-hot", 24, kinds({{16, P}, {4, E}, {4, E}}), 88.4, 1.0},
        {"10-cpus-cool-largest", 10, kinds({{2, E}, {4, P}, {4, P}}), 46.0, 2.0},
    };
    for (const auto& machine : machines) {
        sim::SimHostStatistics host;
        sim::SimTemperatureSensors sensors;
        sim::MemoryDefaults defaults;
        defaults.registerDefaults(Settings::registeredDefaults());
        host.processors = machine.cpus;
        host.topology = machine.topology;
        host.ticks = std::vector<CpuTicks>(static_cast<std::size_t>(machine.cpus));
        host.installed = 16ULL << 30;
        host.pages = MemoryPages{.internal = 6807355392ULL / 16384};
        if (machine.celsius) sensors.readings = {*machine.celsius};
        SystemStats stats({.host = host, .sensors = sensors, .defaults = defaults});
        stats.refresh();
        for (int cpu = 0; cpu < machine.cpus; ++cpu) {
            // A believable spread: a few busy CPUs, most of them light.
            auto busy = static_cast<std::uint32_t>((cpu * 37 + 11) % 100);
            if (cpu % 3) busy /= 3;
            (*host.ticks)[static_cast<std::size_t>(cpu)].user += busy;
            (*host.ticks)[static_cast<std::size_t>(cpu)].idle += 100 - busy;
        }
        stats.refresh();
        WidgetState state(machine.scale);
        WidgetChrome face(std::make_unique<SystemMonitorView>(stats, state, metrics, words), state, accent);
        save(onDesktop(drawn(face.render())), QString("widget-monitor-%1.png").arg(machine.name));
    }
}

}  // namespace

SnapshotResult writeSnapshots(const QString& folder, const Wording& words, const QString& language) {
    SnapshotResult result;
    QDir dir(folder);
    if (!dir.mkpath(".")) {
        result.failed.append(folder);
        return result;
    }
    auto save = [&](const QImage& image, QString name) {
        if (!language.isEmpty()) name.insert(name.lastIndexOf('.'), "-" + language);
        auto path = dir.absoluteFilePath(name);
        if (!image.isNull() && image.save(path, "PNG"))
            result.written.append(path);
        else
            result.failed.append(path);
    };

    sim::Desktop session;
    session.useWording(words);
    session.accessibility.trusted = true;  // no permission explanation over the pictures
    QtDesktop desktop(session.defaults);
    auto app = std::make_shared<Application>(desktop.ports(SessionPorts::from(session.ports())));
    app->applicationDidFinishLaunching();
    QApplication::processEvents();

    // The icon states come from the data the core hands the status item.
    save(iconSheet(desktop.statusBar.item->icon()), "status-icon-nothing-cut.png");
    const auto& tabs = SettingsWindowController::tabs();
    auto& settings = app->settingsWindowController();
    // Hidden first, so the tab reads the platform's state as it is now rather than at its last poll.
    auto shootTab = [&](int index, const QString& state) {
        if (auto* window = desktop.settingsWindows.window) window->widget().hide();
        settings.show(index);
        settings.refreshTabs();  // the store has no observer; a tab reads it when described again
        QApplication::processEvents();
        auto name =
            QString("settings-%1-%2").arg(index).arg(fileLabel(tabs[static_cast<std::size_t>(index)].label));
        if (!state.isEmpty()) name += "-" + state;
        auto* window = desktop.settingsWindows.window;
        if (window)
            save(window->widget().grab().toImage(), name + ".png");
        else
            result.failed.append(dir.absoluteFilePath(name + ".png"));
    };
    auto waitFor = [](const std::function<bool()>& done) {
        QElapsedTimer waited;
        waited.start();
        while (!done() && waited.elapsed() < 3000) QApplication::processEvents(QEventLoop::AllEvents, 50);
    };

    // Every tab as a new user with everything granted sees it.
    session.finderExtension.enabled = true;
    for (int index = 0; index < static_cast<int>(tabs.size()); ++index) shootTab(index, "");

    // Nothing granted yet, and the login item waiting for the user's approval.
    session.accessibility.trusted = false;
    session.finderExtension.enabled = false;
    session.loginItem.state = LoginItemStatus::requiresApproval;
    shootTab(SettingsTabs::generalTab, "ohne-freigaben");
    const std::string projectFolder = "/Users/anna/Projekt";
    app->cutPasteMonitor().setCut({projectFolder + "/Angebot.pdf", projectFolder + "/Bericht 2026.docx",
                                   projectFolder + "/Fotos", projectFolder + "/Notizen.txt",
                                   projectFolder + "/Tabelle.xlsx"});
    shootTab(SettingsTabs::finderTab, "fuenf-ausgeschnitten");
    session.defaults.setBool(Settings::smoothScrollKey, true);
    session.gameMode.setState(1);
    session.advance(0);  // the game-mode notification reaches the scroller
    shootTab(SettingsTabs::scrollTab, "spielemodus");
    session.gameMode.setState(0);
    session.advance(0);
    app->cutPasteMonitor().cancelCut();
    session.accessibility.trusted = true;
    session.finderExtension.enabled = true;
    session.loginItem.state = LoginItemStatus::enabled;

    auto fileName = session.defaults.stringForKey(Settings::fileNameKey);
    session.defaults.set(Settings::fileNameKey, Value(std::string("Berichte/2026.txt")));
    shootTab(SettingsTabs::newFileTab, "ungueltiger-name");
    session.defaults.set(Settings::fileNameKey, Value(fileName.value_or("Neu.txt")));

    // Three favourites on three shares, only the first of them mounted.
    struct Share {
        std::string url, folder;
    };
    std::vector<Share> shares{{"smb://nas/Team", "Projekte"},
                              {"smb://nas/Archiv", "Rechnungen 2025"},
                              {"smb://fotobox/Fotos", "Urlaub"}};
    auto& favorites = app->networkFavorites();
    std::vector<sim::SimShare*> added;
    for (const auto& share : shares) {
        added.push_back(&session.volumes.addShare(share.url, {share.folder}));
        session.volumes.mountShare(share.url);
        favorites.add(Url::fileUrl((session.volumes.mountPathOf(share.url) / share.folder).string()));
    }
    for (std::size_t i = 1; i < shares.size(); ++i) {
        session.volumes.unmountShare(shares[i].url);
        added[i]->reachable = false;  // stays unmounted whatever retries
    }
    auto mountedOnlyFirst = [&] {
        const auto& list = favorites.favorites();
        return list.size() == 3 && favorites.isMounted(list[0]) && !favorites.isMounted(list[1]) &&
               !favorites.isMounted(list[2]);
    };
    // A check while the refresh started by adding still runs does nothing, so it is asked again.
    waitFor([&] {
        favorites.check();
        return mountedOnlyFirst();
    });
    if (!mountedOnlyFirst())
        result.failed.append(dir.absoluteFilePath("settings-3-netzwerk-drei-favoriten.png"));
    shootTab(SettingsTabs::networkTab, "drei-favoriten");

    session.defaults.setBool(Settings::systemMonitorKey, true);
    session.defaults.setBool(Settings::clockWidgetKey, true);
    app->desktopWidgets().update();
    app->desktopWidgets().setEditing(true);
    shootTab(SettingsTabs::widgetsTab, "anordnen");
    if (auto* window = desktop.settingsWindows.window) window->widget().hide();

    // The menu with every section: two files cut, two favourites, smooth scrolling and one widget on.
    app->desktopWidgets().setEditing(false);
    session.defaults.setBool(Settings::clockWidgetKey, false);
    app->desktopWidgets().update();
    favorites.remove(favorites.favorites().back());
    app->cutPasteMonitor().setCut({"/tmp/1.txt", "/tmp/2.txt"});
    QApplication::processEvents();
    save(iconSheet(desktop.statusBar.item->icon()), "status-icon-two-cut.png");
    auto& menu = desktop.statusBar.item->menu();
    menu.popup(QPoint(0, 0));
    QApplication::processEvents();
    save(menu.grab().toImage(), "status-menu.png");
    menu.hide();
    app->cutPasteMonitor().cancelCut();

    // The badge over a file-manager window: three files selected, two others cut.
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
        if (view && view->label && view->label->text != words.shown(FinderOverlayController::computingText))
            break;
    }
    if (view) {
        save(fileManagerPicture(window, *view, QApplication::palette(), desktop.textMetrics),
             "badge-light.png");
        save(fileManagerPicture(window, *view, darkPalette(), desktop.textMetrics), "badge-dark.png");
    } else {
        result.failed.append(dir.absoluteFilePath("badge-light.png"));
    }
    app->cutPasteMonitor().cancelCut();
    writeWidgetFaces(save, words);
    // A real widget window in arrangement mode, with its outline and handle.
    session.defaults.setBool(Settings::systemMonitorKey, true);
    app->desktopWidgets().update();
    app->desktopWidgets().setEditing(true);
    QApplication::processEvents();
    if (!desktop.widgetWindows.created.empty()) {
        auto& view = desktop.widgetWindows.created.front()->widget();
        QImage face(view.size(), QImage::Format_ARGB32_Premultiplied);
        face.fill(Qt::transparent);
        view.render(&face, QPoint(), QRegion(), QWidget::DrawChildren);
        save(onDesktop(face), "widget-arranging.png");
        view.hide();
    }
    return result;
}

}  // namespace larkspire::qt
