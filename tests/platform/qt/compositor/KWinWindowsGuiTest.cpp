#include "platform/qt/QtApp.h"
#include "platform/qt/compositor/KWinWindows.h"
#include "platform/sim/Recorders.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QThread>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

using namespace larkspire;
using larkspire::qt::KWinReport;
using larkspire::qt::KWinWindows;
using larkspire::testing::runUntil;

namespace {

// What the script sends, as KWin 5.27 filled it in for a Wayland Thunar, an XWayland program, a
// panel and a minimised window.
const std::string reported = R"({"active":"{b}","windows":[
  {"id":"{a}","pid":10,"caption":"Unten","stackingOrder":0,"frame":{"x":0,"y":0,"width":800,"height":600},
   "client":{"x":0,"y":30,"width":800,"height":570},"onScreen":true,"desktopElement":false,"x11":true},
  {"id":"{b}","pid":20,"caption":"Projekt - Thunar","stackingOrder":3,"frame":{"x":320,"y":120,"width":640,"height":480},
   "client":{"x":320,"y":150,"width":640,"height":450},"onScreen":true,"desktopElement":false,"x11":false},
  {"id":"{c}","pid":30,"caption":"Leiste","stackingOrder":5,"frame":{"x":0,"y":680,"width":1280,"height":40},
   "onScreen":true,"desktopElement":true,"x11":false},
  {"id":"{d}","pid":40,"caption":"Klein","stackingOrder":2,"frame":{"x":5,"y":5,"width":50,"height":50},
   "onScreen":false,"desktopElement":false,"x11":false}]})";

std::vector<std::string> titles(const KWinReport& report) {
    std::vector<std::string> listed;
    for (const auto& window : report.windows) listed.push_back(window.title);
    return listed;
}

TEST(KWinReport, ListsTheWindowsTopDownAndKeepsTheirNumbersFromReportToReport) {
    std::map<std::string, std::uint32_t> numbers;
    auto report = KWinReport::parse(reported, numbers);
    ASSERT_TRUE(report);
    EXPECT_EQ(titles(*report), (std::vector<std::string>{"Leiste", "Projekt - Thunar", "Klein", "Unten"}));
    const auto& thunar = report->windows[1];
    EXPECT_EQ(report->active, thunar.number);
    EXPECT_EQ(thunar.processIdentifier, 20);
    EXPECT_EQ(thunar.client, (Rect{320, 150, 640, 450}));
    EXPECT_EQ(thunar.frame, (Rect{320, 120, 640, 480}));
    EXPECT_TRUE(thunar.windowRelativeExtents);
    EXPECT_FALSE(report->windows[3].windowRelativeExtents);  // X11 programs place theirs on the screen
    EXPECT_TRUE(report->windows[0].desktopElement);
    EXPECT_EQ(report->windows[0].client, report->windows[0].frame);  // no surface told: the frame
    EXPECT_FALSE(report->windows[2].onScreen);

    // Thunar raised, the panel gone, a new window: the others keep their numbers, the new one gets
    // one no window had.
    auto again = KWinReport::parse(R"({"active":"{e}","windows":[
      {"id":"{b}","pid":20,"caption":"Projekt - Thunar","stackingOrder":9,"frame":{"x":0,"y":0,"width":9,"height":9}},
      {"id":"{e}","pid":50,"caption":"Neu","stackingOrder":1,"frame":{"x":0,"y":0,"width":9,"height":9}},
      {"id":"{a}","pid":10,"caption":"Unten","stackingOrder":0,"frame":{"x":0,"y":0,"width":9,"height":9}}]})",
                                   numbers);
    ASSERT_TRUE(again);
    EXPECT_EQ(titles(*again), (std::vector<std::string>{"Projekt - Thunar", "Neu", "Unten"}));
    EXPECT_EQ(again->windows[0].number, thunar.number);
    EXPECT_EQ(again->windows[2].number, report->windows[3].number);
    for (const auto& before : report->windows) EXPECT_NE(again->windows[1].number, before.number);
    EXPECT_EQ(again->active, again->windows[1].number);
}

TEST(KWinReport, GarbageIsNoReportAndUnsoundWindowsAreLeftOut) {
    std::map<std::string, std::uint32_t> numbers;
    for (std::string garbage : {"", "kein JSON", "[]", R"({"windows":{}})", R"({"windows":[)"})
        EXPECT_FALSE(KWinReport::parse(garbage, numbers)) << garbage;
    std::string huge = R"({"windows":[],"pad":")" + std::string(9 * 1024 * 1024, 'x') + "\"}";
    EXPECT_FALSE(KWinReport::parse(huge, numbers));

    auto report = KWinReport::parse(R"({"active":7,"windows":[
      7, {"caption":"ohne id","frame":{"x":0,"y":0,"width":1,"height":1}},
      {"id":"{x}","caption":"ohne Rahmen"},
      {"id":"{y}","frame":{"x":0,"y":0,"width":-1,"height":1}},
      {"id":"{z}","pid":-3,"caption":5,"stackingOrder":"oben","frame":{"x":1,"y":2,"width":3,"height":4}},
      {"id":"{z}","pid":8,"caption":"doppelt","frame":{"x":1,"y":2,"width":3,"height":4}}]})",
                                    numbers);
    ASSERT_TRUE(report);
    ASSERT_EQ(report->windows.size(), 1u);
    EXPECT_FALSE(report->windows[0].processIdentifier);
    EXPECT_EQ(report->windows[0].title, "");
    EXPECT_FALSE(report->active);
}

// KWin's scripting interface on a private session bus, answered on a thread of its own since the
// window list waits for its answers: loadScript gives `scriptNumber` (-1: refused), /0 runs it.
class FakeKWin : public QDBusVirtualObject {
  public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        QDBusMessage reply;
        if (message.member() == "loadScript") {
            scriptPath = message.arguments().value(0).toString();
            reply = message.createReply(QVariant(scriptNumber.load()));
        } else if (message.member() == "isScriptLoaded" || message.member() == "unloadScript") {
            reply = message.createReply(QVariant(false));
        } else if (message.member() == "run" && message.path() == "/0" && scriptNumber == 0) {
            ++runs;
            reply = message.createReply();
        } else {
            reply = message.createErrorReply(QDBusError::UnknownObject, "No such object path");
        }
        connection.send(reply);
        return true;
    }
    std::atomic<int> scriptNumber = 0;
    std::atomic<int> runs = 0;
    QString scriptPath;
};

class KWinWindowsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        FILE* started = popen("dbus-daemon --session --fork --print-address=1 --print-pid=1", "r");
        char address[512] = {}, pid[32] = {};
        if (!started || !fgets(address, sizeof address, started) || !fgets(pid, sizeof pid, started)) {
            if (started) pclose(started);
            GTEST_SKIP() << "dbus-daemon startet nicht";
        }
        pclose(started);
        busPid = std::atoi(pid);
        QString bus = QString::fromUtf8(address).trimmed();
        // The window list takes the session bus, which this process has not opened before.
        setenv("DBUS_SESSION_BUS_ADDRESS", bus.toUtf8().constData(), 1);
        kwinBus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(bus, "fake-kwin"));
        // Registered before it moves: the bus gives it a child object (SubPath has the value of
        // ExportAdaptors), which must be made on its own thread and then moves along with it.
        ASSERT_TRUE(kwinBus->registerVirtualObject("/", &fake, QDBusConnection::SubPath));
        fake.moveToThread(&thread);
        thread.start();
        ASSERT_TRUE(kwinBus->registerService("org.kde.KWin"));
    }
    void TearDown() override {
        if (kwinBus) QDBusConnection::disconnectFromBus("fake-kwin");
        thread.quit();
        thread.wait();
        if (busPid > 0) kill(busPid, SIGTERM);
    }
    void report(QDBusConnection& from, const std::string& json) {
        auto message = QDBusMessage::createMethodCall(QDBusConnection::sessionBus().baseService(),
                                                      "/org/larkspire/KWinWindows",
                                                      "org.larkspire.KWinWindows", "Report");
        message.setArguments({QString::fromStdString(json)});
        from.call(message, QDBus::NoBlock);
    }
    int logged(const std::string& start) const {
        int found = 0;
        for (const auto& line : log.lines) found += line.message.starts_with(start);
        return found;
    }

    int busPid = 0;
    QThread thread;
    FakeKWin fake;
    std::unique_ptr<QDBusConnection> kwinBus;
    sim::RecordingLog log;
};

TEST_F(KWinWindowsTest, ARefusedScriptIsSaidOnceAndListsNothing) {
    fake.scriptNumber = -1;
    KWinWindows windows(log);
    EXPECT_FALSE(windows.isLoaded());
    EXPECT_TRUE(windows.windows().empty());
    EXPECT_EQ(logged("KWin-Skript abgelehnt, kein Auswahl-Schild: loadScript gab -1"), 1);
}

TEST_F(KWinWindowsTest, TakesReportsFromKWinOnlyAndSaysOnceWhenKWinGoes) {
    KWinWindows windows(log);
    ASSERT_TRUE(windows.isLoaded());
    EXPECT_EQ(fake.runs, 1);
    int activations = 0;
    auto token = windows.observeActivations([&activations] { ++activations; });

    report(*kwinBus, reported);
    ASSERT_TRUE(runUntil([&] { return activations == 1; }));
    EXPECT_EQ(windows.windows().size(), 4u);
    EXPECT_EQ(windows.activeWindow(), windows.windows()[1].number);

    // Any other program on the bus is no KWin, and a garbled report changes nothing: the next sound
    // one from KWin is what counts.
    auto other = QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), "other");
    report(other, R"({"windows":[]})");
    report(*kwinBus, R"({"windows":[)");
    report(
        *kwinBus,
        R"({"windows":[{"id":"{b}","caption":"Projekt - Thunar","frame":{"x":0,"y":0,"width":9,"height":9}}]})");
    ASSERT_TRUE(runUntil([&] { return windows.windows().size() == 1u; }));
    EXPECT_EQ(windows.windows()[0].title, "Projekt - Thunar");
    EXPECT_EQ(activations, 2);  // the first report and the last: neither the stranger's nor the garbled one
    EXPECT_EQ(logged("KWin-Fensterliste nicht gelesen: unlesbarer Bericht"), 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(windows.windows().size(), 1u);
    QDBusConnection::disconnectFromBus("other");

    kwinBus->unregisterService("org.kde.KWin");
    ASSERT_TRUE(runUntil([&] { return logged("KWin beendet") == 1; }));
    EXPECT_TRUE(windows.windows().empty());
}

}  // namespace
