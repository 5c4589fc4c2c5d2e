#include "cutpaste/CutPasteMonitor.h"

#include "app/Settings.h"
#include "platform/sim/Desktop.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

using namespace larkspire;
using namespace larkspire::sim;
using larkspire::testing::TemporaryFolder;

namespace {

// The monitor on its own, switched on and trusted, as the application would hold it.
struct MonitorFixture : ::testing::Test {
    void SetUp() override {
        desktop.accessibility.trusted = true;
        desktop.defaults.registerDefaults(Settings::registeredDefaults());
        stateChanges = notifications.observe(CutPasteMonitor::cutStateChanged, [this] { ++announced; });
        monitor->update();
    }
    void cutOneFile() {
        auto& window = desktop.fileManager().openWindow(tmp.path());
        window.select({"a.txt"});
        desktop.press(Key::X, Command);
        desktop.advance(0.2);
    }

    TemporaryFolder tmp;
    Desktop desktop;
    NotificationCenter notifications;
    std::shared_ptr<CutPasteMonitor> monitor =
        std::make_shared<CutPasteMonitor>(desktop.ports(), notifications);
    std::shared_ptr<void> stateChanges;
    int announced = 0;
};

TEST_F(MonitorFixture, SettingTheSameListAnnouncesNothingAndKeepsTheWatch) {
    monitor->setCut({"/a", "/b"});
    EXPECT_EQ(announced, 1);
    auto pending = desktop.loop.pendingTaskCount();
    monitor->setCut({"/a", "/b"});
    EXPECT_EQ(announced, 1);
    EXPECT_EQ(desktop.distributedNotifications.posted.size(), 1u);
    EXPECT_EQ(desktop.loop.pendingTaskCount(), pending);
}

TEST_F(MonitorFixture, CancellingWithNothingCutLogsButAnnouncesNothing) {
    monitor->cancelCut();
    EXPECT_EQ(desktop.log.count("cut", "Ausschneiden verworfen"), 1);
    EXPECT_EQ(announced, 0);
    EXPECT_TRUE(desktop.distributedNotifications.posted.empty());
    EXPECT_FALSE(desktop.defaults.object(Settings::cutPathsKey).has_value());
}

TEST_F(MonitorFixture, TheStoreAlwaysHoldsTheCurrentList) {
    monitor->setCut({"/x/1", "/x/2"});
    EXPECT_EQ(desktop.defaults.stringListForKey(Settings::cutPathsKey),
              (std::vector<std::string>{"/x/1", "/x/2"}));
    monitor->setCut({});
    auto stored = desktop.defaults.object(Settings::cutPathsKey);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(*stored, Value(Value::List{}));
    EXPECT_EQ(desktop.loop.pendingTaskCount(), 0u);  // no watch without a cut
}

TEST_F(MonitorFixture, ClipboardPathsAreResolvedStandardisedAndSorted) {
    desktop.clipboard.writeUrls({*Url::parse("file:///z/b.txt"), *Url::parse("https://example.org/a"),
                                 *Url::parse("file:///z/sub/../a%20b.txt"), *Url::parse("file:///z/dir/"),
                                 *Url::parse("file:///.file/id=unknown")});
    EXPECT_EQ(monitor->pasteboardFilePaths(), (std::vector<std::string>{"/z/a b.txt", "/z/b.txt", "/z/dir"}));

    desktop.clipboard.writeFileReferences({"/y/2", "/y/1"});
    EXPECT_EQ(monitor->pasteboardFilePaths(), (std::vector<std::string>{"/y/1", "/y/2"}));

    desktop.clipboard.readFails = true;
    EXPECT_TRUE(monitor->pasteboardFilePaths().empty());
}

TEST(StandardizedPath, ResolvesDotsAndExtraSlashes) {
    EXPECT_EQ(standardizedPath("/a/./b//c/"), "/a/b/c");
    EXPECT_EQ(standardizedPath("/a/b/../../c"), "/c");
    EXPECT_EQ(standardizedPath("/../.."), "/");
    EXPECT_EQ(standardizedPath("/"), "/");
    EXPECT_EQ(standardizedPath("/a/..b/c"), "/a/..b/c");
}

TEST_F(MonitorFixture, ASystemDisabledTapIsSwitchedBackOn) {
    tmp.file("a.txt");
    desktop.eventTaps.disableTaps(EventType::tapDisabledByTimeout);
    EXPECT_EQ(desktop.log.count("cut", "Event-Tap wurde deaktiviert (4294967294) – wieder einschalten"), 1);
    desktop.eventTaps.disableTaps(EventType::tapDisabledByUserInput);
    EXPECT_EQ(desktop.log.count("cut", "Event-Tap wurde deaktiviert (4294967295) – wieder einschalten"), 1);
    EXPECT_EQ(desktop.eventTaps.listeningTapCount(), 1);
    cutOneFile();
    EXPECT_EQ(monitor->cutPaths().size(), 1u);
}

TEST_F(MonitorFixture, ATapTheSystemRefusesIsLoggedAndTriedAgainOnlyByTheNextUpdate) {
    monitor->setCut({"/a"});
    desktop.defaults.setBool(Settings::cutPasteKey, false);
    monitor->update();
    desktop.defaults.setBool(Settings::cutPasteKey, true);
    desktop.eventTaps.createFails = true;
    monitor->update();
    EXPECT_EQ(desktop.log.count("cut", "Event-Tap konnte nicht angelegt werden"), 1);
    ASSERT_FALSE(desktop.log.lines.empty());
    EXPECT_EQ(desktop.log.lines.back().level, LogLevel::error);
    desktop.advance(10);
    EXPECT_EQ(desktop.eventTaps.createAttempts, 2);

    desktop.eventTaps.createFails = false;
    monitor->update();
    EXPECT_TRUE(monitor->isTapInstalled());
}

TEST_F(MonitorFixture, ASlowFileManagerCountsAsNoTextFieldButIsStillDriven) {
    tmp.file("a.txt");
    desktop.fileManager().startRenaming();
    desktop.fileManager().answerDelay =
        0.3;  // longer than the focus query may take, shorter than a menu press
    cutOneFile();
    EXPECT_EQ(monitor->cutPaths(), std::vector<std::string>{(tmp / "a.txt").string()});
    EXPECT_EQ(desktop.applications.timeoutsSet, (std::vector<double>{0.25, 0.5}));
}

TEST_F(MonitorFixture, AFileManagerThatDoesNotAnswerLosesTheKeyPress) {
    tmp.file("a.txt");
    desktop.fileManager().answerDelay = 0.6;
    cutOneFile();
    EXPECT_EQ(desktop.log.count("cut", "⌘X → Kopieren (Menüpunkt nicht gefunden)"), 1);
    EXPECT_TRUE(monitor->cutPaths().empty());
}

TEST_F(MonitorFixture, FailingAccessibilityQueriesCountAsNoTextField) {
    tmp.file("a.txt");
    auto& fm = desktop.fileManager();
    fm.focusedRole.reset();  // nothing focused
    EXPECT_TRUE(desktop.press(Key::X, Command));
    fm.focusedRole = "AXTextField";
    fm.focusedRoleIsString = false;
    EXPECT_TRUE(desktop.press(Key::X, Command));
    fm.failure = AXError::apiDisabled;
    EXPECT_TRUE(desktop.press(Key::X, Command));
    desktop.advance(0.1);
    EXPECT_EQ(desktop.log.count("cut", "⌘X → Kopieren (Menüpunkt nicht gefunden)"), 3);
}

TEST_F(MonitorFixture, PressMenuItemMatchesCharacterAndModifiersExactly) {
    auto& fm = desktop.fileManager();
    EXPECT_TRUE(monitor->pressMenuItem(fm.processIdentifier, "V", 2));
    EXPECT_EQ(fm.pressedItems, std::vector<std::string>{SimFinder::moveItem});
    EXPECT_FALSE(monitor->pressMenuItem(fm.processIdentifier, "v", 2));  // compared exactly
    EXPECT_FALSE(monitor->pressMenuItem(fm.processIdentifier, "V", 4));
    EXPECT_FALSE(monitor->pressMenuItem(99999, "V", 0));  // no such process

    // Only the first match is tried: a failing one ends the search.
    fm.menuBar.insert(
        fm.menuBar.begin(),
        SimMenu{
            "Früher",
            {SimMenuItem{.title = "Kaputt", .commandChar = "C", .commandModifiers = 0, .pressFails = true}}});
    EXPECT_FALSE(monitor->pressMenuItem(fm.processIdentifier, "C", 0));
    fm.hasMenuBar = false;
    EXPECT_FALSE(monitor->pressMenuItem(fm.processIdentifier, "V", 0));
}

TEST_F(MonitorFixture, WorkScheduledForAGoneMonitorDoesNothing) {
    tmp.file("a.txt");
    auto& window = desktop.fileManager().openWindow(tmp.path());
    window.select({"a.txt"});
    desktop.press(Key::X, Command);
    monitor.reset();
    desktop.advance(2);
    EXPECT_EQ(desktop.fileManager().copies, 0);
    EXPECT_EQ(announced, 0);
    EXPECT_FALSE(desktop.press(Key::X, Command));  // the tap went with it
}

}  // namespace
