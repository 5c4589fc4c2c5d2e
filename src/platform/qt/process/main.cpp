#include "platform/qt/drawing/QtImages.h"
#include "platform/qt/process/CommandLine.h"
#include "platform/qt/process/FileManagerInstaller.h"
#include "platform/qt/process/HandOver.h"
#include "platform/qt/process/LinuxDesktop.h"
#include "platform/qt/process/SingleInstance.h"
#include "platform/qt/process/SizeCommand.h"
#include "platform/qt/process/Snapshot.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>

using namespace larkspire;

namespace {

QtMessageHandler defaultMessageHandler = nullptr;

// Drawing offscreen makes Qt warn about every window operation it cannot do there; only real
// errors are worth showing while taking snapshots.
void quietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtDebugMsg || type == QtInfoMsg || type == QtWarningMsg) return;
    if (defaultMessageHandler) defaultMessageHandler(type, context, message);
}

bool onGnomeWayland() {
    auto desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(':');
    return desktops.contains("GNOME", Qt::CaseInsensitive) &&
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && !qEnvironmentVariableIsEmpty("DISPLAY");
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
    } else if (onGnomeWayland() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        // GNOME Shell offers no layer surfaces: widgets stay below other windows only as X11 windows.
        qputenv("QT_QPA_PLATFORM", "xcb");
    }

    // Hand over to the running instance, or become it.
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
        // The pictures show what this session would show: Linux words, in its language.
        linux_desktop::LinuxWording linuxWords;
        qt::SessionWording words(linuxWords, qt::sessionLanguage());
        auto result = qt::writeSnapshots(QString::fromLocal8Bit(arguments.value), words);
        for (const auto& path : result.written) std::printf("%s\n", qPrintable(path));
        for (const auto& path : result.failed)
            std::fprintf(stderr, "Nicht geschrieben: %s\n", qPrintable(path));
        return result.failed.isEmpty() && !result.written.isEmpty() ? 0 : 1;
    }

    // Start, and run.
    qt::LinuxDesktop desktop;
    auto application = std::make_shared<Application>(desktop.ports());
    desktop.launch(application, instance, arguments.urls, sinceStart);
    return QApplication::exec();
}
