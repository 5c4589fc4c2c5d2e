#include "app/Application.h"
#include "app/Settings.h"
#include "platform/types/Url.h"
#include "platform/linux/accessibility/AccessibilityBusWatcher.h"
#include "platform/linux/files/AutostartLoginItem.h"
#include "platform/linux/accessibility/FileManagerBridge.h"
#include "platform/linux/files/FileManagerIntegrations.h"
#include "platform/linux/mounts/GioNetwork.h"
#include "platform/linux/mounts/GtkBookmarks.h"
#include "platform/linux/input/InputAccessibility.h"
#include "platform/linux/files/JsonDefaults.h"
#include "platform/linux/system/LocalTimeZone.h"
#include "platform/linux/accessibility/NoFileManagerConnection.h"
#include "platform/linux/system/ProcHostStatistics.h"
#include "platform/linux/input/ScrollingDevices.h"
#include "platform/linux/system/SessionBusNotifications.h"
#include "platform/linux/system/SystemLog.h"
#include "platform/linux/files/TreeWalk.h"
#include "platform/qt/process/CommandLine.h"
#include "platform/qt/process/FileManagerInstaller.h"
#include "platform/qt/process/HandOver.h"
#include "platform/qt/x11/QtClipboard.h"
#include "platform/qt/process/QtDesktop.h"
#include "platform/qt/drawing/QtImages.h"
#include "platform/qt/windows/QtMountDialog.h"
#include "platform/qt/process/SingleInstance.h"
#include "platform/qt/process/SizeCommand.h"
#include "platform/qt/process/Snapshot.h"
#include "platform/qt/x11/X11Windows.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QScreen>
#include <QSystemTrayIcon>
#include <cstdio>

using namespace larkspire;

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

QtMessageHandler defaultMessageHandler = nullptr;

// Drawing offscreen makes Qt warn about every window operation it cannot do there; only real
// errors are worth showing while taking snapshots.
void quietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtDebugMsg || type == QtInfoMsg || type == QtWarningMsg) return;
    if (defaultMessageHandler) defaultMessageHandler(type, context, message);
}

}  // namespace

int main(int argc, char** argv) {
    if (auto status = qt::runSizeCommand(argc, argv)) return *status;
    QElapsedTimer sinceStart;
    sinceStart.start();
    auto arguments = qt::CommandLine::parse(argc, argv);
    using Task = qt::CommandLine::Task;
    switch (arguments.task) {
    case Task::broken:
        std::fprintf(stderr, "larkspire: %s\n%s", arguments.problem.c_str(), qt::usage);
        return 2;
    case Task::help:
        std::fputs(qt::usage, stdout);
        return 0;
    case Task::version:
        std::puts(qt::versionText);
        return 0;
    case Task::installFileManagerEntries:
        return qt::installFileManagerEntriesFor(
            QFileInfo("/proc/self/exe").canonicalFilePath().toStdString());
    default:
        break;
    }
    if (arguments.task == Task::snapshot) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        defaultMessageHandler = qInstallMessageHandler(quietOffscreen);
    }

    qt::SingleInstance instance;
    if (arguments.task != Task::snapshot)
        if (auto done = qt::handOverBeforeGui(
                instance, arguments.task == Task::chooseMenuItem ? arguments.value : std::string(),
                arguments.urls))
            return *done;

    QApplication qapp(argc, argv);
    QApplication::setApplicationName("Larkspire");
    QApplication::setDesktopFileName("larkspire");
    QApplication::setQuitOnLastWindowClosed(false);  // the status item stays when the window closes
    QApplication::setWindowIcon(qt::namedImage("larkspire"));

    if (arguments.task == Task::snapshot) {
        auto result = qt::writeSnapshots(QString::fromLocal8Bit(arguments.value));
        for (const auto& path : result.written) std::printf("%s\n", qPrintable(path));
        for (const auto& path : result.failed)
            std::fprintf(stderr, "Nicht geschrieben: %s\n", qPrintable(path));
        return result.failed.isEmpty() && !result.written.isEmpty() ? 0 : 1;
    }

    linux_desktop::SystemLog log;
    Logger shellLog(log, "shell");
    linux_desktop::SystemClock clock;
    linux_desktop::JsonDefaults defaults(log, clock);
    linux_desktop::AutostartLoginItem loginItem;
    linux_desktop::InputAccessibility accessibility;
    linux_desktop::TreeWalk folderSizes;  // outlives the work queue, whose walks use it
    qt::QtDesktop desktop(defaults);
    linux_desktop::ScrollingDevices scrolling(desktop.main);
    linux_desktop::SessionBusNotifications sessionBus;
    linux_desktop::FileManagerIntegrations fileManagers(linux_desktop::FileManagerIntegrations::userPlaces(
        {QCoreApplication::applicationFilePath().toStdString(), "--install-file-manager-entries"}));
    // File managers cut by themselves: cut and paste follows their marks on the clipboard.
    qt::QtClipboard clipboard;
    // No file manager is driven from outside; these say so.
    struct {
        linux_desktop::IdleKeyboardHook keyboardHook;
        linux_desktop::NoFrontmostApplication applications;
        linux_desktop::UnavailableUIElements uiElements;
        linux_desktop::NoFilePackages packages;
        linux_desktop::NoFileManagerWindows windows;
        linux_desktop::NoFileManagerApplications fileManagers;
    } noFileManager;
    // Under X11 the badge reads the file managers' windows from the accessibility bus and places
    // itself by the X11 window list; elsewhere the placeholders above say that nothing is connected.
    qt::X11Windows x11;
    auto fileManagerWindows = linux_desktop::FileManagerBridge::create(
        desktop.main, x11, FinderOverlayController::finderBundleIdentifier);
    std::unique_ptr<linux_desktop::AccessibilityBusWatcher> accessibilityBus;
    if (x11.isConnected()) {
        desktop.overlaySurfaces.stacking = &x11;
        accessibilityBus =
            std::make_unique<linux_desktop::AccessibilityBusWatcher>(fileManagerWindows->changeHandler());
    }
    bool readsFileManagers = accessibilityBus != nullptr;
    linux_desktop::ProcHostStatistics host;
    linux_desktop::HwmonTemperatureSensors sensors;
    linux_desktop::LocalTimeZone timeZone;
    linux_desktop::GioNetwork shares(log);
    shares.setMountQuestions(qt::askMountQuestion);  // only for shares the user opened
    linux_desktop::GtkBookmarksSidebar sidebar;
    followPrimaryScreen(scrolling.screen);
    // No system dialog grants input access; the explanation shows once start-up is done. "Erlauben…"
    // asks for the system's settings pane, which on Linux is the same explanation.
    auto explainInputAccess = [&desktop] {
        desktop.main.post([&desktop] {
            desktop.alerts.showWarning(linux_desktop::InputAccessibility::permissionMessage,
                                       linux_desktop::InputAccessibility::permissionExplanation);
        });
    };
    accessibility.setPromptHandler(explainInputAccess);
    desktop.workspace.openSystemSettings = [explainInputAccess](const Url&) {
        explainInputAccess();
        return true;
    };
    // "Aktivieren…" writes or repairs the file-manager entries and says what came of it.
    fileManagers.setReportHandler(
        [&desktop](const linux_desktop::FileManagerIntegrations::InstallReport& report) {
            desktop.main.post([&desktop, report] {
                desktop.alerts.showWarning(report.succeeded ? "Rechtsklick-Einträge eingerichtet"
                                                            : "Rechtsklick-Einträge nicht eingerichtet",
                                           report.output);
            });
        });
    auto application = std::make_shared<Application>(desktop.ports(qt::SessionPorts{
        .log = log,
        .loginItem = loginItem,
        .accessibility = accessibility,
        .finderExtension = fileManagers,
        .distributedNotifications = sessionBus,
        .wheelEvents = scrolling.input,
        .scrollEvents = scrolling.input,
        .displayLinks = scrolling.frames,
        .mainDisplay = scrolling.screen,
        .gameMode = scrolling.gameMode,
        .clipboard = clipboard,
        .eventTaps = noFileManager.keyboardHook,
        .runningApplications =
            either<RunningApplications>(readsFileManagers, *fileManagerWindows, noFileManager.applications),
        .uiElements = either<UIElements>(readsFileManagers, *fileManagerWindows, noFileManager.uiElements),
        .filePackages = noFileManager.packages,
        .folderSizes = folderSizes,
        .windowServer = either<WindowServer>(readsFileManagers, *fileManagerWindows, noFileManager.windows),
        .workspaceApplications =
            either<WorkspaceApplications>(readsFileManagers, *fileManagerWindows, noFileManager.fileManagers),
        .hostStatistics = host,
        .temperatureSensors = sensors,
        .timeZone = timeZone,
        .volumes = shares,
        .shareMounter = shares,
        .workspaceNotifications = shares,
        .networkPath = shares,
        .sidebarFavorites = sidebar,
    }));

    if (accessibilityBus) {
        // The bus is read only while the badge may show something: cut files or the badge switched on.
        fileManagerWindows->followWanted(
            [&defaults, weak = std::weak_ptr<Application>(application)] {
                auto app = weak.lock();
                return app && (!app->cutPasteMonitor().cutPaths().empty() ||
                               defaults.boolForKey(Settings::selectionSizeKey));
            },
            [bus = accessibilityBus.get()](bool wanted) { bus->setWanted(wanted); });
    }

    if (!instance.isListening())
        shellLog.error("Weitere Starts erreichen Larkspire nicht: " + instance.listenError().toStdString());
    instance.setProblemHandler([&shellLog](const std::string& problem) { shellLog.error(problem); });

    auto* statusBar = &desktop.statusBar;
    instance.setHandler(
        [weak = std::weak_ptr<Application>(application), statusBar, &shellLog](const QStringList& received) {
            auto app = weak.lock();
            if (!app || received.isEmpty()) return;
            if (received[0] == "open") {
                std::vector<std::string> urls;
                for (qsizetype i = 1; i < received.size(); ++i) urls.push_back(received[i].toStdString());
                shellLog.info("URL-Anfrage erhalten: " + std::to_string(urls.size()) + " URL(s)");
                for (const auto& url : urls) shellLog.info("URL: " + loggable(url));
                app->openUrls(urls);
            } else if (received[0] == "reopen") {
                shellLog.info("Erneut geöffnet");
                app->applicationShouldHandleReopen();
            } else if (received[0] == "choose" && received.size() == 2 && statusBar->item) {
                statusBar->item->choose(received[1].toStdString());
            }
        });

    application->applicationDidFinishLaunching();
    if (statusBar->item)
        shellLog.info("Statussymbol gesetzt nach " + std::to_string(sinceStart.elapsed()) + " ms");
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        // The status item would be invisible; the settings window gives the user a surface.
        shellLog.error(qt::noTrayMessage);
        std::fprintf(stderr, "%s\n", qt::noTrayMessage);
        application->openSettings();
    }
    if (!arguments.urls.empty()) {
        for (const auto& url : arguments.urls) shellLog.info("URL: " + loggable(url));
        application->openUrls(arguments.urls);
    }
    return QApplication::exec();
}
