#include "app/Settings.h"
#include "support/SimApp.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace larkspire;
using larkspire::testing::SimApp;

namespace {

const MenuItem* findItem(const Menu& menu, const std::string& title) {
    auto it =
        std::find_if(menu.begin(), menu.end(), [&](const MenuItem& item) { return item.title == title; });
    return it == menu.end() ? nullptr : &*it;
}

TEST(SmoothScrollingStory, TheMenuEntrySitsBetweenSeparatorsWithItsImageAndCheckMark) {
    SimApp sim;
    sim.launch();
    Menu menu = sim.statusItem().openMenu();
    auto it = std::find_if(menu.begin(), menu.end(),
                           [](const MenuItem& item) { return item.title == "Flüssig scrollen"; });
    ASSERT_NE(it, menu.end());
    ASSERT_NE(it, menu.begin());
    EXPECT_TRUE((it - 1)->isSeparator);
    EXPECT_TRUE((it + 1)->isSeparator);
    EXPECT_EQ(it->image, "arrow.up.arrow.down");
    EXPECT_FALSE(it->checked);
    EXPECT_TRUE(it->keyEquivalent.empty());

    sim.desktop.defaults.setBool(Settings::smoothScrollKey, true);
    EXPECT_TRUE(findItem(sim.statusItem().openMenu(), "Flüssig scrollen")->checked);
}

TEST(SmoothScrollingStory, ChoosingTheEntryWithoutPermissionAsksAndWaitsThenScrollsOnceGranted) {
    SimApp sim;
    sim.desktop.finderExtension.enabled = true;
    sim.launch();
    int promptsAtStart = sim.desktop.accessibility.prompts;

    ASSERT_TRUE(sim.statusItem().choose("Flüssig scrollen"));
    EXPECT_TRUE(sim.desktop.defaults.boolForKey(Settings::smoothScrollKey));
    EXPECT_EQ(sim.desktop.accessibility.prompts, promptsAtStart + 1);
    EXPECT_TRUE(sim.app->smoothScroller().isWaitingForPermission());
    EXPECT_FALSE(sim.desktop.wheel.scroll(WheelEvent{.verticalDelta = -1}));

    sim.desktop.advance(3);
    sim.desktop.accessibility.trusted = true;
    sim.desktop.advance(2);
    EXPECT_TRUE(sim.app->smoothScroller().isOn());
    EXPECT_TRUE(sim.desktop.wheel.scroll(WheelEvent{.verticalDelta = -1}));
    sim.desktop.advance(1);
    EXPECT_FALSE(sim.desktop.wheel.posted.empty());
}

TEST(SmoothScrollingStory, ChoosingTheEntryAgainSwitchesOffWithoutAsking) {
    SimApp sim;
    sim.launch();
    sim.statusItem().choose("Flüssig scrollen");
    int prompts = sim.desktop.accessibility.prompts;
    sim.statusItem().choose("Flüssig scrollen");
    EXPECT_FALSE(sim.desktop.defaults.boolForKey(Settings::smoothScrollKey));
    EXPECT_EQ(sim.desktop.accessibility.prompts, prompts);
    EXPECT_FALSE(sim.app->smoothScroller().isWaitingForPermission());
    EXPECT_FALSE(findItem(sim.statusItem().openMenu(), "Flüssig scrollen")->checked);
}

TEST(SmoothScrollingStory, WithPermissionTheEntrySwitchesScrollingOnAndOffAtOnce) {
    SimApp sim;
    sim.desktop.accessibility.trusted = true;
    sim.launch();
    sim.desktop.advance(50);
    sim.statusItem().choose("Flüssig scrollen");
    EXPECT_EQ(sim.desktop.accessibility.prompts, 0);
    EXPECT_TRUE(sim.desktop.wheel.scroll(WheelEvent{.verticalDelta = 1}));
    sim.desktop.advance(0.1);
    sim.statusItem().choose("Flüssig scrollen");
    // Switching off in mid-scroll closes the gesture cleanly.
    EXPECT_EQ(sim.desktop.wheel.posted.back().fields.scrollPhase, 4);
    EXPECT_FALSE(sim.desktop.wheel.scroll(WheelEvent{.verticalDelta = 1}));
}

TEST(SmoothScrollingStory, AStoredSettingTurnsScrollingOnAtLaunch) {
    SimApp sim;
    sim.desktop.accessibility.trusted = true;
    sim.desktop.defaults.setBool(Settings::smoothScrollKey, true);
    sim.launch();
    EXPECT_TRUE(sim.app->smoothScroller().isOn());
    EXPECT_EQ(sim.desktop.log.count("scroll", "Flüssiges Scrollen aktiv"), 1);
}

}  // namespace
