#include "platform/qt/process/LinuxDesktop.h"

#include "app/Settings.h"
#include "platform/qt/compositor/CompositorWindows.h"
#include "platform/qt/tray/StatusNotifierItem.h"
#include "platform/qt/windows/QtMountDialog.h"
#include "platform/qt/windows/QtStatusItem.h"
#include "platform/types/Url.h"
#ifdef LARKSPIRE_HAVE_WAYLAND
#include "platform/qt/windows/LayerShellWindows.h"
#include "platform/wayland/DataControlClipboard.h"
#endif

#include <QCoreApplication>
#include <QDBusConnection>
#include <QGuiApplication>
#include <QScreen>
#include <QSystemTrayIcon>
#include <cstdio>

namespace larkspire::qt {

namespace {

// Smooth scrolling sizes its steps by the primary screen and times its frames by its refresh rate.
void followPrimaryScreen(linux_desktop::ScreenInfo& info) {
    auto report = [&info] {
        auto* screen = QGuiApplication::primaryScreen();
        if (!screen) return;
        // The logical size, as scaled display modes report it, so a 200 % screen scrolls like its look.
        auto size = screen->geometry().size();
        info.setPixelSize(size.width(), size.height());
        info.setRefreshRate(screen->refreshRate());
    };
    report();
    auto watch = [report](QScreen* screen) {
        if (!screen) return;
        QObject::connect(screen, &QScreen::geometryChanged, qApp, report);
        QObject::connect(screen, &QScreen::refreshRateChanged, qApp, report);
    };
    watch(QGuiApplication::primaryScreen());
    QObject::connect(qApp, &QGuiApplication::primaryScreenChanged, qApp, [report, watch](QScreen* screen) {
        watch(screen);
        report();
    });
}

// Received URLs are logged by scheme and host only; the rest holds the user's paths.
std::string loggable(const std::string& text) {
    auto url = Url::parse(text);
    return url ? url->scheme() + "://" + url->host().value_or("") : "(kein gültiger URL)";
}

template <class Port> Port& either(bool first, Port& one, Port& other) {
    return first ? one : other;
}

}  // namespace

LinuxDesktop::LinuxDesktop()
    : fileManagers(linux_desktop::FileManagerIntegrations::userPlaces(
          {QCoreApplication::applicationFilePath().toStdString(), "--install-file-manager-entries"})) {
#ifdef LARKSPIRE_HAVE_WAYLAND
    std::string noLayers;
    if ((layerShell = QtLayerShell::open(log, noLayers))) {
        layerWidgets = std::make_unique<LayerWidgetWindows>(*layerShell);
        layerOverlays = std::make_unique<LayerOverlaySurfaces>(*layerShell);
        qt.sessionWidgetWindows = layerWidgets.get();
        qt.sessionOverlaySurfaces = layerOverlays.get();
        shellLog.info("Widgets und Auswahlgröße auf Ebenen des Wayland-Compositors (zwlr_layer_shell_v1 " +
                      std::to_string(layerShell->connection().version()) + ")");
    } else {
        shellLog.info("Widgets und Auswahlgröße in Qt-Fenstern: " + noLayers);
    }
#else
    shellLog.info("Widgets und Auswahlgröße in Qt-Fenstern: ohne Wayland-Ebenen gebaut");
#endif
    linux_desktop::DesktopWindows* windowList = nullptr;
    if (x11.isConnected()) {
        // On GNOME Shell, where Larkspire runs on XWayland, X11 sees only the programs there; the
        // extension, once attached, reports all windows and takes over.
        shellWindows = std::make_unique<GnomeShellWindows>(log, x11, x11);
        qt.overlaySurfaces.stacking = shellWindows.get();
        windowList = shellWindows.get();
        shellLog.info("Fensterliste: X11");
    } else if (QGuiApplication::platformName() == "wayland" && !qt.sessionOverlaySurfaces) {
        // Without layer surfaces the overlay is a Qt window, which on Qt's Wayland platform becomes an
        // ordinary window that the compositor tiles and focuses.
        shellLog.info("Keine Fensterliste, kein Auswahl-Schild: auf Qts Wayland-Plattform kann das Schild "
                      "nicht über anderen Fenstern liegen");
    } else {
        auto listed = qt::compositorWindows(log);
        compositorWindows = std::move(listed.windows);
        windowList = compositorWindows.get();
        shellLog.info((windowList ? "Fensterliste: " : "Keine Fensterliste, kein Auswahl-Schild: ") +
                      listed.description);
    }
    fileManagerWindows = linux_desktop::FileManagerBridge::create(
        qt.main, windowList ? *windowList : x11, FinderOverlayController::finderBundleIdentifier);
    if (windowList)
        accessibilityBus =
            std::make_unique<linux_desktop::AccessibilityBusWatcher>(fileManagerWindows->changeHandler());
#ifdef LARKSPIRE_HAVE_WAYLAND
    std::string noDataControl;
    if (auto followed = wayland::DataControlClipboard::connect(qt.main, log, clipboard, noDataControl)) {
        shellLog.info("Zwischenablage über die Datensteuerung des Compositors (" + followed->protocolName() +
                      ")");
        dataControl = std::move(followed);
    } else {
        shellLog.info("Zwischenablage über Qt: " + noDataControl);
    }
#else
    shellLog.info("Zwischenablage über Qt: ohne Wayland-Datensteuerung gebaut");
#endif
    if (!dataControl) linkShellExtension();
    exportStatusItemOnWayland();
    shares.setMountQuestions(askMountQuestion);  // only for shares the user opened
    followPrimaryScreen(scrolling.screen);
    scrolling.input.readModifiersFrom(heldModifiers);  // the keyboards stay closed where X11 tells
    // No system dialog grants input access; the explanation shows once start-up is done. "Erlauben…"
    // asks for the system's settings pane, which on Linux is the same explanation.
    accessibility.setPromptHandler([this] { explainInputAccess(); });
    qt.workspace.openSystemSettings = [this](const Url&) {
        explainInputAccess();
        return true;
    };
    // "Aktivieren…" writes or repairs the file-manager entries and says what came of it.
    fileManagers.setReportHandler([this](
                                      const linux_desktop::FileManagerIntegrations::InstallReport& report) {
        qt.main.post([this, report] {
            // On GNOME Shell the same button switches Larkspire's extension on.
            if (shellExtension && !shellExtension->isAttached()) shellExtension->enableExtension();
            qt.alerts.showWarning(report.succeeded ? words.shown("Rechtsklick-Einträge eingerichtet")
                                                   : words.shown("Rechtsklick-Einträge nicht eingerichtet"),
                                  report.output);
        });
    });
}

void LinuxDesktop::linkShellExtension() {
    std::string noBus;
    shellExtension = gnome::ShellExtensionLink::connect(
        log, LARKSPIRE_VERSION,
        {
            .attachedChanged =
                [this] {
                    if (shellClipboard) shellClipboard->attachedChanged();
                    if (shellWindows && shellExtension && !shellExtension->isAttached())
                        shellWindows->detached();
                },
            .clipboardChanged =
                [this](const FileClipboardContent& content) {
                    if (shellClipboard) shellClipboard->fileListsChanged(content);
                },
            .windowsChanged =
                [this](const std::string& report) {
                    if (shellWindows) shellWindows->report(report);
                },
            .tray =
                [this] {
                    gnome::ShellExtensionLink::Tray tray;
                    if (auto* item = qt.statusBar.item) {
                        tray.iconName = QtStatusItem::themeIconName(item->icon().image);
                        tray.tooltip = item->icon().tooltip;
                    }
                    if (auto app = launched.lock())
                        tray.count = static_cast<unsigned>(app->cutPasteMonitor().cutPaths().size());
                    return tray;
                },
            .menu = [this] { return qt.statusBar.item ? qt.statusBar.item->currentMenu() : Menu{}; },
            .menuItemChosen =
                [this](const std::string& title) {
                    if (qt.statusBar.item) qt.statusBar.item->choose(title);
                },
        },
        noBus);
    if (!shellExtension) {
        shellLog.info("Keine Verbindung zu GNOME Shell: " + noBus);
        return;
    }
    shellClipboard = std::make_unique<gnome::ShellClipboard>(clipboard, *shellExtension);
    if (shellWindows)
        shellWindows->stackOverlaysWith([this](std::uint32_t overlay, const std::string& windowId) {
            return shellExtension->stackOverlay(overlay, windowId);
        });
}

void LinuxDesktop::exportStatusItemOnWayland() {
    // Qt's item tells the panel it is no menu, and a left click then asks Larkspire for a menu of its
    // own, which on Wayland opens as a window anywhere but at the icon. An item of Larkspire's own lets
    // the panel show the menu on either click.
    auto bus = QDBusConnection::sessionBus();
    if (!qEnvironmentVariableIsSet("WAYLAND_DISPLAY") || !bus.isConnected()) return;
    auto exportNow = [this, bus] {
        qt.statusBar.exportItemsTo(bus, [this](const QString& problem) {
            if (problem.isEmpty())
                shellLog.info("Statussymbol beim StatusNotifier-Dienst angemeldet");
            else
                shellLog.error("Statussymbol nicht beim StatusNotifier-Dienst angemeldet: " +
                               problem.toStdString());
        });
        shellLog.info("Statussymbol als eigenes StatusNotifierItem, sein Menü über com.canonical.dbusmenu");
    };
    if (StatusNotifierItem::watcherRunning(bus)) {
        exportNow();
        return;
    }
    // Started before the panel, as a login may do: Qt's item is kept until a panel's watcher comes,
    // since Qt looks for one only once.
    shellLog.info("Noch kein StatusNotifier-Dienst: das Statussymbol erscheint, sobald eine Leiste startet");
    trayWatcher = std::make_unique<QDBusServiceWatcher>(StatusNotifierItem::watcherService, bus,
                                                        QDBusServiceWatcher::WatchForRegistration);
    QObject::connect(trayWatcher.get(), &QDBusServiceWatcher::serviceRegistered, trayWatcher.get(),
                     [this, exportNow] {
                         trayWatcher.release()->deleteLater();
                         exportNow();
                     });
}

void LinuxDesktop::explainInputAccess() {
    qt.main.post([this] {
        qt.alerts.showWarning(words.shown(linux_desktop::InputAccessibility::permissionMessage),
                              accessibility.explanation(words));
    });
}

Ports LinuxDesktop::ports() {
    return qt.ports(session());
}

SessionPorts LinuxDesktop::session() {
    bool bus = readsFileManagers();
    return SessionPorts{
        // Process
        .log = log,
        .loginItem = loginItem,
        .distributedNotifications = sessionBus,
        .wording = words,
        // File manager
        .finderExtension = fileManagers,
        .clipboard = dataControl      ? *dataControl
                     : shellClipboard ? static_cast<Clipboard&>(*shellClipboard)
                                      : static_cast<Clipboard&>(clipboard),
        .eventTaps = keyboardHook,
        .accessibility = accessibility,
        .runningApplications = either<RunningApplications>(bus, *fileManagerWindows, noApplications),
        .uiElements = either<UIElements>(bus, *fileManagerWindows, noUiElements),
        .filePackages = noPackages,
        .folderSizes = folderSizes,
        .windowServer = either<WindowServer>(bus, *fileManagerWindows, noWindows),
        .workspaceApplications = either<WorkspaceApplications>(bus, *fileManagerWindows, noFileManagers),
        // Smooth scrolling
        .wheelEvents = scrolling.input,
        .scrollEvents = scrolling.input,
        .displayLinks = scrolling.frames,
        .mainDisplay = scrolling.screen,
        .gameMode = scrolling.gameMode,
        .programWindows = programWindows,
        // Desktop widgets
        .hostStatistics = host,
        .temperatureSensors = sensors,
        .timeZone = timeZone,
        // Network favourites
        .volumes = shares,
        .shareMounter = shares,
        .workspaceNotifications = shares,
        .networkPath = shares,
        .sidebarFavorites = sidebar,
    };
}

void LinuxDesktop::launch(const std::shared_ptr<Application>& application, SingleInstance& instance,
                          const std::vector<std::string>& urls, const QElapsedTimer& sinceStart) {
    std::weak_ptr<Application> weak = application;
    if (accessibilityBus) {
        // The bus is read only while the badge may show something: cut files or the badge switched on.
        fileManagerWindows->followWanted(
            [this, weak] {
                auto app = weak.lock();
                return app && (!app->cutPasteMonitor().cutPaths().empty() ||
                               defaults.boolForKey(Settings::selectionSizeKey));
            },
            [bus = accessibilityBus.get()](bool wanted) { bus->setWanted(wanted); });
        // Cut files are greyed wherever they are shown, also in lists scrolled without an event.
        cutObservation = application->notificationCenter().observe(
            CutPasteMonitor::cutStateChanged, [bus = accessibilityBus.get(), weak] {
                if (auto app = weak.lock()) bus->setWatchClosely(!app->cutPasteMonitor().cutPaths().empty());
            });
    }

    if (!instance.isListening())
        shellLog.error("Weitere Starts erreichen Larkspire nicht: " + instance.listenError().toStdString());
    instance.setProblemHandler([this](const std::string& problem) { shellLog.error(problem); });
    instance.setHandler([this, weak](const QStringList& received) {
        auto app = weak.lock();
        if (!app || received.isEmpty()) return;
        if (received[0] == "open") {
            std::vector<std::string> opened;
            for (qsizetype i = 1; i < received.size(); ++i) opened.push_back(received[i].toStdString());
            shellLog.info("URL-Anfrage erhalten: " + std::to_string(opened.size()) + " URL(s)");
            for (const auto& url : opened) shellLog.info("URL: " + loggable(url));
            app->openUrls(opened);
        } else if (received[0] == "reopen") {
            shellLog.info("Erneut geöffnet");
            app->applicationShouldHandleReopen();
        } else if (received[0] == "choose" && received.size() == 2 && qt.statusBar.item) {
            qt.statusBar.item->choose(received[1].toStdString());
        }
    });

    launched = application;
    application->applicationDidFinishLaunching();
    if (qt.statusBar.item) {
        shellLog.info("Statussymbol gesetzt nach " + std::to_string(sinceStart.elapsed()) + " ms");
        if (shellExtension)
            qt.statusBar.item->setOnIconSet([link = shellExtension.get()] { link->trayChanged(); });
    }
    auto withoutTray = [this, weak] {
        // The status item would be invisible; the settings window gives the user a surface.
        shellLog.error(noTrayMessage);
        std::fprintf(stderr, "%s\n", noTrayMessage);
        if (auto app = weak.lock()) app->openSettings();
    };
    if (shellExtension && shellExtension->shellRunning()) {
        // On GNOME Shell the extension shows the icon once it attached, which takes a moment.
        shellExtension->checkAttachedSoon(3.0, [withoutTray] {
            if (!QSystemTrayIcon::isSystemTrayAvailable()) withoutTray();
        });
    } else if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        withoutTray();
    }
    if (!urls.empty()) {
        for (const auto& url : urls) shellLog.info("URL: " + loggable(url));
        application->openUrls(urls);
    }
}

}  // namespace larkspire::qt
