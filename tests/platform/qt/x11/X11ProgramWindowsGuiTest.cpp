#include "platform/qt/x11/X11ProgramWindows.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <gtest/gtest.h>

using larkspire::qt::X11ProgramWindows;

namespace {

// A private X server with openbox, which puts every program's window into a frame of its own, and two
// programs: xmessage on the left and the click recorder on the right.
struct X11Programs : ::testing::Test {
    QProcess server, windowManager, message, recorder;
    std::string display;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();

    void SetUp() override {
#ifndef LARKSPIRE_CLICK_RECORDER
        GTEST_SKIP() << "ohne xcb gebaut: kein zweites Programm für den Test";
#else
        for (const char* tool : {"Xvfb", "openbox", "xmessage", "xdotool"})
            if (QStandardPaths::findExecutable(tool).isEmpty())
                GTEST_SKIP() << tool << " fehlt: das Programm unter dem Mauszeiger ist nicht geprüft";
        server.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1200x800x24", "-nolisten", "tcp"});
        ASSERT_TRUE(server.waitForStarted(10000)) << "Xvfb startet nicht";
        QByteArray number;
        while (!number.endsWith('\n') && server.waitForReadyRead(20000))
            number += server.readAllStandardOutput();
        ASSERT_TRUE(number.endsWith('\n')) << "Xvfb nennt keinen Bildschirm";
        display = ":" + number.trimmed().toStdString();
        environment.insert("DISPLAY", QString::fromStdString(display));
        for (auto* process : {&windowManager, &message, &recorder})
            process->setProcessEnvironment(environment);
        windowManager.start("openbox", {"--sm-disable"});
        ASSERT_TRUE(windowManager.waitForStarted(10000));
        recorder.start(LARKSPIRE_CLICK_RECORDER, {"normal", "700", "200", "300", "200"});
        ASSERT_TRUE(recorder.waitForReadyRead(20000)) << "das zweite Programm zeigt kein Fenster";
        recorderWindow = recorder.readAllStandardOutput().trimmed().split(' ').value(1);
        message.start("xmessage", {"-geometry", "300x200+50+200", "Hallo"});
        ASSERT_TRUE(message.waitForStarted(10000));
        // Asked again and again rather than with --sync, whose wait may end before a loaded machine maps it.
        QElapsedTimer waited;
        waited.start();
        while (messageWindow.isEmpty() && message.state() == QProcess::Running && waited.elapsed() < 60000) {
            messageWindow =
                xdotool({"search", "--onlyvisible", "--class", "Xmessage"}, false).split('\n').value(0);
            if (messageWindow.isEmpty()) QThread::msleep(100);
        }
        ASSERT_FALSE(messageWindow.isEmpty())
            << "xmessage zeigt kein Fenster: " << message.readAllStandardError().data();
#endif
    }
    void TearDown() override {
        for (auto* process : {&message, &recorder, &windowManager, &server}) {
            if (process->state() == QProcess::NotRunning) continue;
            process->terminate();
            process->waitForFinished(10000);
        }
    }
    // A search that finds nothing ends with 1, which only `mustSucceed` counts as a failure.
    QString xdotool(const QStringList& arguments, bool mustSucceed = true) {
        QProcess tool;
        tool.setProcessEnvironment(environment);
        tool.start("xdotool", arguments);
        tool.waitForFinished(20000);
        if (mustSucceed) {
            EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().data();
        }
        return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
    }
    // The program under the pointer once it rests at (x, y) in the window, or on the root without one.
    std::optional<std::string> underPointerAt(X11ProgramWindows& programs, const QString& window, int x,
                                              int y) {
        if (window.isEmpty())
            xdotool({"mousemove", "--sync", QString::number(x), QString::number(y)});
        else
            xdotool({"mousemove", "--window", window, "--sync", QString::number(x), QString::number(y)});
        return programs.programUnderPointer();
    }

    QString recorderWindow, messageWindow;
};

TEST_F(X11Programs, TellsTheClassOfTheProgramUnderThePointerThroughItsFrame) {
    X11ProgramWindows programs(display);
    ASSERT_TRUE(programs.isConnected());
    EXPECT_EQ(underPointerAt(programs, messageWindow, 20, 20), "Xmessage");
    EXPECT_EQ(underPointerAt(programs, recorderWindow, 20, 20), "ClickRecorder");
    EXPECT_EQ(underPointerAt(programs, "", 1150, 750), "");  // the bare desktop
    EXPECT_EQ(underPointerAt(programs, messageWindow, 40, 40), "Xmessage");

    // Both are offered, once each, also when a program shows two windows.
    QProcess second;
    second.setProcessEnvironment(environment);
    second.start("xmessage", {"-geometry", "200x100+50+500", "Noch eins"});
    QElapsedTimer waited;
    waited.start();
    while (xdotool({"search", "--onlyvisible", "--class", "Xmessage"}).split('\n').size() < 2 &&
           waited.elapsed() < 20000)
        QThread::msleep(50);
    EXPECT_EQ(programs.runningPrograms(), (std::vector<std::string>{"ClickRecorder", "Xmessage"}));
    second.terminate();
    second.waitForFinished(10000);
}

TEST_F(X11Programs, AWaylandSessionsX11ServerIsNotAsked) {
    auto oldDisplay = qgetenv("DISPLAY");
    auto oldWayland = qgetenv("WAYLAND_DISPLAY");
    qputenv("DISPLAY", QByteArray::fromStdString(display));
    qputenv("WAYLAND_DISPLAY", "wayland-0");
    X11ProgramWindows onWayland;
    qunsetenv("WAYLAND_DISPLAY");
    X11ProgramWindows onX11;
    qputenv("DISPLAY", oldDisplay);
    if (!oldWayland.isEmpty()) qputenv("WAYLAND_DISPLAY", oldWayland);

    EXPECT_EQ(onWayland.programUnderPointer(), std::nullopt);
    EXPECT_TRUE(onWayland.runningPrograms().empty());
    EXPECT_TRUE(onX11.runningPrograms().size() == 2u);
}

}  // namespace
