#include "platform/linux/input/EvdevWheelInput.h"
#include "platform/qt/x11/X11HeldModifiers.h"
#include "platform/sim/Recorders.h"
#include "platform/sim/SimMainLoop.h"
#include "support/FakeEventDevices.h"

#include <QProcess>
#include <QStandardPaths>
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>

using namespace larkspire;
using namespace larkspire::testing;
using linux_desktop::EvdevWheelInput;
using qt::X11HeldModifiers;

namespace {

// A private X server on a free display, and xdotool holding keys on it as a keyboard would.
struct X11Modifiers : ::testing::Test {
    QProcess server;
    std::string display;

    void SetUp() override {
        for (const char* tool : {"Xvfb", "xdotool"})
            if (QStandardPaths::findExecutable(tool).isEmpty())
                GTEST_SKIP() << tool << " fehlt: das X11-Lesen der Sondertasten ist nicht geprüft";
        server.start("Xvfb", {"-displayfd", "1", "-screen", "0", "640x480x24", "-nolisten", "tcp"});
        ASSERT_TRUE(server.waitForStarted(10000)) << "Xvfb startet nicht";
        QByteArray number;
        while (!number.endsWith('\n') && server.waitForReadyRead(20000))
            number += server.readAllStandardOutput();
        ASSERT_TRUE(number.endsWith('\n'))
            << "Xvfb nennt keinen Bildschirm: " << server.readAllStandardError().data();
        display = ":" + number.trimmed().toStdString();
    }
    void TearDown() override {
        if (server.state() == QProcess::NotRunning) return;
        server.terminate();
        server.waitForFinished(10000);
    }
    void xdotool(const QStringList& arguments) {
        QProcess tool;
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DISPLAY", QString::fromStdString(display));
        tool.setProcessEnvironment(environment);
        tool.start("xdotool", arguments);
        ASSERT_TRUE(tool.waitForFinished(20000));
        ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().data();
    }
};

TEST_F(X11Modifiers, TellsEachModifierHeldOnTheServer) {
    X11HeldModifiers modifiers(display);
    ASSERT_TRUE(modifiers.isConnected());
    EXPECT_EQ(modifiers.held(), 0u);
    const std::pair<const char*, std::uint64_t> keys[] = {
        {"ctrl", WheelEvent::controlMask},    {"Control_R", WheelEvent::controlMask},
        {"alt", WheelEvent::alternateMask},   {"super", WheelEvent::commandMask},
        {"Super_R", WheelEvent::commandMask}, {"shift", WheelEvent::shiftMask},
    };
    for (const auto& [key, mask] : keys) {
        xdotool({"keydown", key});
        EXPECT_EQ(modifiers.held(), mask) << key;
        xdotool({"keyup", key});
        EXPECT_EQ(modifiers.held(), 0u) << key;
    }
    xdotool({"keydown", "shift", "keydown", "ctrl"});
    EXPECT_EQ(modifiers.held(), WheelEvent::shiftMask | WheelEvent::controlMask);
    xdotool({"keyup", "ctrl", "keyup", "shift"});
    // Caps Lock and Num Lock are modifiers to X11, but none that leaves the wheel alone.
    xdotool({"key", "Caps_Lock", "key", "Num_Lock"});
    EXPECT_EQ(modifiers.held(), 0u);
}

// The keyboards stay closed, as the udev rule leaves them; the server alone says Ctrl is down.
TEST_F(X11Modifiers, TheWheelPassesUntouchedWhileCtrlIsHeldOnTheServer) {
    X11HeldModifiers modifiers(display);
    sim::SimMainLoop loop;
    sim::RecordingLog log;
    FakeEventDevices io;
    auto mouse = io.plug(wheelMouse());
    auto keys = io.plug(keyboard());
    io.plugged[keys].refused = true;
    EvdevWheelInput input(io, loop, EvdevWheelInput::Reading::byPump, &log);
    input.readModifiersFrom(modifiers);
    std::vector<WheelEvent> seen;
    auto tap = input.createWheelTap([&](TapEventType, const WheelEvent& event) {
        seen.push_back(event);
        return TapDecision::swallow;
    });
    ASSERT_NE(tap, nullptr);
    tap->addToMainRunLoop();
    tap->setEnabled(true);
    auto clone = io.virtualNamed("Wheel Mouse").value();
    const std::vector<input_event> notch = {inputEvent(EV_REL, REL_WHEEL, -1), report()};
    auto turn = [&] {
        io.send(mouse, notch);
        input.pump();
        loop.runPending();
    };

    turn();
    ASSERT_EQ(seen.size(), 1u);  // smoothed
    EXPECT_TRUE(io.take(clone).empty());

    xdotool({"keydown", "ctrl"});
    turn();
    EXPECT_EQ(seen.size(), 1u);  // the program zooms with the wheel itself
    EXPECT_EQ(io.take(clone).size(), notch.size());

    xdotool({"keyup", "ctrl"});
    turn();
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_TRUE(log.lines.empty());  // the modifiers were known throughout
}

// XWayland hears of keys only while one of its windows has the focus: in a Wayland session it would
// report nothing held, so it is not asked at all.
TEST_F(X11Modifiers, AWaylandSessionsX11ServerIsNotAsked) {
    auto keep = [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    };
    auto restore = [](const char* name, const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name, value->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    };
    auto oldDisplay = keep("DISPLAY"), oldWayland = keep("WAYLAND_DISPLAY"),
         oldType = keep("XDG_SESSION_TYPE");
    ::setenv("DISPLAY", display.c_str(), 1);
    ::setenv("WAYLAND_DISPLAY", "wayland-0", 1);
    ::unsetenv("XDG_SESSION_TYPE");
    std::optional<std::uint64_t> onWayland = X11HeldModifiers().held();
    ::unsetenv("WAYLAND_DISPLAY");
    ::setenv("XDG_SESSION_TYPE", "wayland", 1);
    std::optional<std::uint64_t> typedWayland = X11HeldModifiers().held();
    ::setenv("XDG_SESSION_TYPE", "x11", 1);
    std::optional<std::uint64_t> onX11 = X11HeldModifiers().held();
    restore("DISPLAY", oldDisplay);
    restore("WAYLAND_DISPLAY", oldWayland);
    restore("XDG_SESSION_TYPE", oldType);

    EXPECT_EQ(onWayland, std::nullopt);
    EXPECT_EQ(typedWayland, std::nullopt);
    EXPECT_EQ(onX11, 0u);
}

}  // namespace
