#include "app/Settings.h"
#include "support/SimApp.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace larkspire;
using larkspire::testing::SimApp;

namespace {

TEST(Startup, FirstStartOfAFreshAccountRegistersTheLoginItemAsksOnceAndOpensSettings) {
    SimApp sim;
    sim.launch();

    EXPECT_EQ(sim.desktop.loginItem.registrations, 2);  // once for the account, once more for the migration
    EXPECT_TRUE(sim.desktop.defaults.boolForKey("didSetupLoginItem"));
    EXPECT_TRUE(sim.desktop.defaults.boolForKey("didMigrateToLarkspire"));
    EXPECT_EQ(sim.desktop.accessibility.prompts, 1);
    EXPECT_TRUE(sim.desktop.defaults.boolForKey("didAskAccessibility"));
    EXPECT_TRUE(sim.app->cutPasteMonitor().isWaitingForPermission());

    sim.desktop.advance(0.49);
    EXPECT_EQ(sim.desktop.settingsWindows.window, nullptr);
    sim.desktop.advance(0.01);
    ASSERT_NE(sim.desktop.settingsWindows.window, nullptr);
    EXPECT_TRUE(sim.desktop.settingsWindows.window->visible);
    EXPECT_EQ(sim.desktop.settingsWindows.window->selectedTab(), 0);
    EXPECT_EQ(sim.desktop.settingsWindows.window->centred, 1);
}

TEST(Startup, SecondStartNeitherRegistersNorAsksEvenWithoutPermission) {
    SimApp sim;
    sim.launch();
    sim.desktop.advance(1.0);
    sim.restart();
    sim.desktop.finderExtension.enabled = true;
    sim.launch();
    sim.desktop.advance(1.0);

    EXPECT_EQ(sim.desktop.loginItem.registrations, 2);
    EXPECT_EQ(sim.desktop.accessibility.prompts, 1);
    EXPECT_EQ(sim.desktop.settingsWindows.created, 1);  // only the first start opened it
}

TEST(Startup, SecondStartOpensTheSettingsAgainWhileTheExtensionIsStillDisabled) {
    SimApp sim;
    sim.launch();
    sim.desktop.advance(1.0);
    sim.desktop.settingsWindows.window->close();
    sim.desktop.defaults.set("settingsSelectedTab", Value(3));
    sim.restart();
    sim.launch();
    sim.desktop.advance(0.49);
    EXPECT_EQ(sim.desktop.settingsWindows.created, 1);
    sim.desktop.advance(0.01);

    EXPECT_EQ(sim.desktop.settingsWindows.created, 2);
    ASSERT_TRUE(sim.desktop.settingsWindows.window->visible);
    EXPECT_EQ(sim.desktop.settingsWindows.window->selectedTab(), 0);  // the first tab, not the one last shown
    EXPECT_EQ(sim.desktop.accessibility.prompts, 1);
}

TEST(Startup, AFailedLoginRegistrationIsNotRetried) {
    SimApp sim;
    sim.desktop.loginItem.succeeds = false;
    sim.launch();
    sim.restart();
    sim.launch();
    EXPECT_EQ(sim.desktop.loginItem.registrations, 2);
    // Only cut and paste speaks (it waits for the permission); the failed registration stays silent.
    for (const auto& line : sim.desktop.log.lines) EXPECT_EQ(line.category, "cut") << line.message;
}

TEST(Startup, DoesNotAskForPermissionWhenNoFeatureNeedsIt) {
    SimApp sim;
    sim.desktop.defaults.setBool(Settings::cutPasteKey, false);
    sim.desktop.defaults.setBool(Settings::selectionSizeKey, false);
    sim.launch();
    EXPECT_EQ(sim.desktop.accessibility.prompts, 0);
    EXPECT_FALSE(sim.desktop.defaults.boolForKey("didAskAccessibility"));
}

TEST(Startup, DoesNotAskWhenAlreadyTrusted) {
    SimApp sim;
    sim.desktop.accessibility.trusted = true;
    sim.launch();
    EXPECT_EQ(sim.desktop.accessibility.prompts, 0);
    EXPECT_FALSE(sim.desktop.defaults.boolForKey("didAskAccessibility"));
}

TEST(Startup, DropsACutListLeftByAnEarlierRun) {
    SimApp sim;
    sim.desktop.defaults.set(Settings::cutPathsKey, Value::stringList({"/tmp/a", "/tmp/b"}));
    sim.launch();
    EXPECT_FALSE(sim.desktop.defaults.object(Settings::cutPathsKey).has_value());
}

TEST(Startup, NoSettingIsReadBeforeTheDefaultsAreRegisteredAndTheOldCutListIsGone) {
    SimApp sim;
    sim.desktop.defaults.set(Settings::cutPathsKey, Value::stringList({"/tmp/a"}));
    std::vector<std::string> accesses;
    bool statusItemAtRegistration = false;
    sim.desktop.defaults.watch = [&](std::string_view access, const std::string& key) {
        if (access == "register") statusItemAtRegistration = sim.desktop.statusBar.item != nullptr;
        accesses.push_back(std::string(access) + " " + key);
    };
    sim.launch();

    ASSERT_GE(accesses.size(), 3u);
    EXPECT_EQ(accesses[0], "register ");
    EXPECT_EQ(accesses[1], "remove cutPaths");
    EXPECT_TRUE(statusItemAtRegistration);
    // Cut and paste read its switch, and nothing brought the old list back.
    EXPECT_NE(std::find(accesses.begin(), accesses.end(), "read finderCutPaste"), accesses.end());
    EXPECT_FALSE(sim.desktop.defaults.object(Settings::cutPathsKey).has_value());
}

TEST(Startup, EachOneTimeFlagIsSetOnlyAfterItsStepAndTheAccessibilityFlagBeforeTheRequest) {
    SimApp sim;
    std::vector<std::string> flagsSet;
    std::vector<int> registrationsAtFlag;
    int promptsAtAskedFlag = -1;
    sim.desktop.defaults.watch = [&](std::string_view access, const std::string& key) {
        if (access != "set") return;
        flagsSet.push_back(key);
        if (key == Settings::didAskAccessibilityKey)
            promptsAtAskedFlag = sim.desktop.accessibility.prompts;
        else
            registrationsAtFlag.push_back(sim.desktop.loginItem.registrations);
    };
    sim.launch();

    EXPECT_EQ(flagsSet, (std::vector<std::string>{"didSetupLoginItem", "didMigrateToLarkspire",
                                                  "didAskAccessibility"}));
    EXPECT_EQ(registrationsAtFlag, (std::vector<int>{1, 2}));
    EXPECT_EQ(promptsAtAskedFlag, 0);  // a crash during the request must not bring it back next time
    EXPECT_EQ(sim.desktop.accessibility.prompts, 1);
}

TEST(Startup, AStoredValueWinsOverTheRegisteredDefaultAtTheNextStart) {
    SimApp sim;
    sim.launch();
    sim.desktop.defaults.setBool(Settings::autoMountKey, false);
    sim.restart();
    sim.launch();
    EXPECT_FALSE(sim.desktop.defaults.boolForKey(Settings::autoMountKey));
}

TEST(Startup, WithTheExtensionEnabledNoWindowOpens) {
    SimApp sim;
    sim.desktop.finderExtension.enabled = true;
    sim.launch();
    sim.desktop.advance(5);
    EXPECT_EQ(sim.desktop.settingsWindows.created, 0);
}

TEST(Startup, TheStatusItemShowsTheNormalIconWithTheImageLeading) {
    SimApp sim;
    sim.launch();
    EXPECT_TRUE(sim.statusItem().imageLeading);
    EXPECT_EQ(sim.statusItem().icon, (StatusIcon{"macwindow", "Larkspire", "", "Larkspire"}));
}

TEST(Reopen, ShowsTheSettingsWindowOnTheTabLastShown) {
    SimApp sim;
    sim.desktop.finderExtension.enabled = true;
    sim.desktop.defaults.set("settingsSelectedTab", Value(4));
    sim.launch();
    EXPECT_FALSE(sim.app->applicationShouldHandleReopen());
    auto* window = sim.desktop.settingsWindows.window;
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->selectedTab(), 4);
    EXPECT_TRUE(window->visible);
    EXPECT_EQ(sim.desktop.application.activations, 1);
}

}  // namespace
