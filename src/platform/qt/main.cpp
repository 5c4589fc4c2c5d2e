#include "app/Application.h"
#include "platform/Url.h"
#include "platform/linux/AutostartLoginItem.h"
#include "platform/linux/FileManagerIntegrations.h"
#include "platform/linux/GioNetwork.h"
#include "platform/linux/GtkBookmarks.h"
#include "platform/linux/InputAccessibility.h"
#include "platform/linux/JsonDefaults.h"
#include "platform/linux/NoFileManagerConnection.h"
#include "platform/linux/ScrollingDevices.h"
#include "platform/linux/SessionBusNotifications.h"
#include "platform/linux/SystemLog.h"
#include "platform/qt/QtDesktop.h"
#include "platform/qt/QtImages.h"
#include "platform/qt/SingleInstance.h"
#include "platform/qt/Snapshot.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QScreen>
#include <cstdio>
#include <cstring>

using namespace larkspire;

namespace {

struct Arguments {
    QString snapshotFolder;  // --snapshot DIR
    QString chooseMenuItem;  // --choose-menu-item TITLE: a hook for tests, handed to the running instance
    std::vector<std::string> urls;
    bool broken = false;
};

Arguments parse(int argc, char** argv) {
    Arguments arguments;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--snapshot") == 0 || std::strcmp(argv[i], "--choose-menu-item") == 0) {
            if (i + 1 >= argc) {
                arguments.broken = true;
                break;
            }
            auto value = QString::fromLocal8Bit(argv[i + 1]);
            (argv[i][2] == 's' ? arguments.snapshotFolder : arguments.chooseMenuItem) = value;
            ++i;
            continue;
        }
        arguments.urls.emplace_back(argv[i]);
    }
    return arguments;
}

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

// The source tree's installer for the file-manager entries, while Larkspire runs from its build folder.
std::vector<std::string> integrationsInstaller(const std::string& program) {
#ifdef LARKSPIRE_INTEGRATIONS_INSTALLER
    if (QFileInfo(LARKSPIRE_INTEGRATIONS_INSTALLER).isExecutable())
        return {LARKSPIRE_INTEGRATIONS_INSTALLER, program};
#endif
    (void)program;
    return {};
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
    QElapsedTimer sinceStart;
    sinceStart.start();
    auto arguments = parse(argc, argv);
    if (arguments.broken) {
        std::fprintf(stderr, "Aufruf: larkspire [URL …] | larkspire --snapshot ORDNER\n");
        return 2;
    }
    if (!arguments.snapshotFolder.isEmpty()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        defaultMessageHandler = qInstallMessageHandler(quietOffscreen);
    }

    QApplication qapp(argc, argv);
    QApplication::setApplicationName("Larkspire");
    QApplication::setDesktopFileName("larkspire");
    QApplication::setQuitOnLastWindowClosed(false);  // the status item stays when the window closes
    QApplication::setWindowIcon(qt::namedImage("larkspire"));

    if (!arguments.snapshotFolder.isEmpty()) {
        auto result = qt::writeSnapshots(arguments.snapshotFolder);
        for (const auto& path : result.written) std::printf("%s\n", qPrintable(path));
        for (const auto& path : result.failed)
            std::fprintf(stderr, "Nicht geschrieben: %s\n", qPrintable(path));
        return result.failed.isEmpty() && !result.written.isEmpty() ? 0 : 1;
    }

    qt::SingleInstance instance;
    if (!arguments.chooseMenuItem.isEmpty()) {
        auto delivery = instance.forward({"choose", arguments.chooseMenuItem});
        if (delivery == qt::SingleInstance::Delivery::delivered) return 0;
        std::fprintf(stderr, "Larkspire läuft nicht oder antwortet nicht.\n");
        return 1;
    }
    QStringList request{arguments.urls.empty() ? "reopen" : "open"};
    for (const auto& url : arguments.urls) request.append(QString::fromStdString(url));
    switch (instance.claimOrForward(request)) {
    case qt::SingleInstance::Claim::forwarded:
        return 0;
    case qt::SingleInstance::Claim::noAnswer:
        std::fprintf(stderr, "Larkspire läuft bereits, antwortet aber nicht.\n");
        return 1;
    case qt::SingleInstance::Claim::primary:
        break;
    }

    linux_desktop::SystemLog log;
    Logger shellLog(log, "shell");
    linux_desktop::SystemClock clock;
    linux_desktop::JsonDefaults defaults(log, clock);
    linux_desktop::AutostartLoginItem loginItem;
    linux_desktop::InputAccessibility accessibility;
    qt::QtDesktop desktop(defaults);
    linux_desktop::ScrollingDevices scrolling(desktop.main);
    linux_desktop::SessionBusNotifications sessionBus;
    linux_desktop::FileManagerIntegrations fileManagers(linux_desktop::FileManagerIntegrations::userPlaces(
        integrationsInstaller(QCoreApplication::applicationFilePath().toStdString())));
    // No file manager is connected to cut and paste yet; these say so and keep the feature idle.
    struct {
        linux_desktop::IdleKeyboardHook keyboardHook;
        linux_desktop::NoFrontmostApplication applications;
        linux_desktop::UnavailableUIElements uiElements;
        linux_desktop::NoFileClipboard clipboard;
        linux_desktop::NoFilePackages packages;
    } noFileManager;
    linux_desktop::GioNetwork shares(log);
    linux_desktop::GtkBookmarksSidebar sidebar;
    followPrimaryScreen(scrolling.screen);
    // No system dialog grants input access; the explanation shows once start-up is done.
    accessibility.setPromptHandler([&desktop] {
        desktop.main.post([&desktop] {
            desktop.alerts.showWarning(linux_desktop::InputAccessibility::permissionMessage,
                                       linux_desktop::InputAccessibility::permissionExplanation);
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
        .clipboard = noFileManager.clipboard,
        .eventTaps = noFileManager.keyboardHook,
        .runningApplications = noFileManager.applications,
        .uiElements = noFileManager.uiElements,
        .filePackages = noFileManager.packages,
        .volumes = shares,
        .shareMounter = shares,
        .workspaceNotifications = shares,
        .networkPath = shares,
        .sidebarFavorites = sidebar,
    }));

    if (!instance.isListening())
        shellLog.error("Weitere Starts erreichen Larkspire nicht: " + instance.listenError().toStdString());

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
    if (!arguments.urls.empty()) {
        for (const auto& url : arguments.urls) shellLog.info("URL: " + loggable(url));
        application->openUrls(arguments.urls);
    }
    return QApplication::exec();
}
