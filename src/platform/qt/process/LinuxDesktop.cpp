#include "platform/qt/process/LinuxDesktop.h"

#include "app/Settings.h"
#include "platform/qt/windows/QtMountDialog.h"
#include "platform/qt/windows/QtStatusItem.h"
#include "platform/types/Url.h"
#ifdef LARKSPIRE_HAVE_WAYLAND
#include "platform/wayland/DataControlClipboard.h"
#endif

#include <QCoreApplication>
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
          {QCoreApplication::applicationFilePath().toStdString(), "--install-file-manager-entries"})),
      fileManagerWindows(linux_desktop::FileManagerBridge::create(
          qt.main, x11, FinderOverlayController::finderBundleIdentifier)) {
    if (x11.isConnected()) {
        qt.overlaySurfaces.stacking = &x11;
        accessibilityBus =
            std::make_unique<linux_desktop::AccessibilityBusWatcher>(fileManagerWindows->changeHandler());
    }
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
    fileManagers.setReportHandler(
        [this](const linux_desktop::FileManagerIntegrations::InstallReport& report) {
            qt.main.post([this, report] {
                qt.alerts.showWarning(report.succeeded ? "Rechtsklick-Einträge eingerichtet"
                                                       : "Rechtsklick-Einträge nicht eingerichtet",
                                      report.output);
            });
        });
}

void LinuxDesktop::explainInputAccess() {
    qt.main.post([this] {
        qt.alerts.showWarning(linux_desktop::InputAccessibility::permissionMessage,
                              accessibility.explanation());
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
        // File manager
        .finderExtension = fileManagers,
        .clipboard = dataControl ? *dataControl : static_cast<Clipboard&>(clipboard),
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

    application->applicationDidFinishLaunching();
    if (qt.statusBar.item)
        shellLog.info("Statussymbol gesetzt nach " + std::to_string(sinceStart.elapsed()) + " ms");
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        // The status item would be invisible; the settings window gives the user a surface.
        shellLog.error(noTrayMessage);
        std::fprintf(stderr, "%s\n", noTrayMessage);
        application->openSettings();
    }
    if (!urls.empty()) {
        for (const auto& url : urls) shellLog.info("URL: " + loggable(url));
        application->openUrls(urls);
    }
}

}  // namespace larkspire::qt
