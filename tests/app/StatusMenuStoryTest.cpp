#include "app/Settings.h"
#include "support/SimApp.h"

#include <gtest/gtest.h>

using namespace larkspire;
using larkspire::testing::SimApp;

namespace {

TEST(StatusMenu, WithNothingCutShowsTheFixedEntriesWithShortcutsOnlyOnTheLastTwo) {
    SimApp sim;
    sim.desktop.finderExtension.enabled = true;
    sim.launch();
    auto menu = sim.statusItem().openMenu();

    std::vector<std::string> titles;
    for (const auto& item : menu) titles.push_back(item.isSeparator ? "—" : item.title);
    EXPECT_EQ(titles, (std::vector<std::string>{"Larkspire", "—", "Flüssig scrollen", "—", "Widgets",
                                                "CPU & Arbeitsspeicher", "Uhr & Datum", "—", "Einstellungen…",
                                                "Larkspire beenden"}));
    ASSERT_EQ(menu.size(), 10u);
    EXPECT_FALSE(menu[0].enabled);
    EXPECT_FALSE(menu[0].action);
    EXPECT_EQ(menu[0].image, "");
    EXPECT_EQ(menu[2].image, "arrow.up.arrow.down");
    EXPECT_FALSE(menu[2].checked);
    for (std::size_t index = 0; index < 8; ++index) EXPECT_EQ(menu[index].keyEquivalent, "") << index;
    EXPECT_EQ(menu[8].keyEquivalent, ",");
    EXPECT_EQ(menu[9].keyEquivalent, "q");
}

TEST(StatusMenu, SettingsOpenOnTheTabLastShownAndQuitEndsTheApplication) {
    SimApp sim;
    sim.desktop.finderExtension.enabled = true;
    sim.desktop.defaults.set("settingsSelectedTab", Value(3));
    sim.launch();
    ASSERT_TRUE(sim.statusItem().choose("Einstellungen…"));
    auto* window = sim.desktop.settingsWindows.window;
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->visible);
    EXPECT_EQ(window->selectedTab(), 3);
    EXPECT_EQ(sim.desktop.application.activations, 1);
    EXPECT_FALSE(sim.desktop.application.terminated);

    ASSERT_TRUE(sim.statusItem().choose("Larkspire beenden"));
    EXPECT_TRUE(sim.desktop.application.terminated);
}

TEST(StatusMenu, AStoredTabBeyondEitherEndOpensTheNearestTab) {
    for (auto [stored, tab] :
         {std::pair{Value(1e30), 6}, {Value(9), 6}, {Value(-1e30), 0}, {Value(5.0), 5}}) {
        SCOPED_TRACE(*stored.asDouble());
        SimApp sim;
        sim.desktop.defaults.set("settingsSelectedTab", stored);
        sim.launch();
        ASSERT_TRUE(sim.statusItem().choose("Einstellungen…"));
        ASSERT_NE(sim.desktop.settingsWindows.window, nullptr);
        EXPECT_EQ(sim.desktop.settingsWindows.window->selectedTab(), tab);
    }
}

TEST(StatusMenu, ActionsOfAMenuOpenedBeforeTheApplicationWentDoNothing) {
    SimApp sim;
    sim.desktop.finderExtension.enabled = true;
    sim.launch();
    auto menu = sim.statusItem().openMenu();
    sim.app.reset();
    menu[2].action(menu[2]);  // "Flüssig scrollen"
    menu[5].action(menu[5]);  // "CPU & Arbeitsspeicher"
    menu[8].action(menu[8]);  // "Einstellungen…"
    EXPECT_FALSE(sim.desktop.defaults.boolForKey(Settings::smoothScrollKey));
    EXPECT_FALSE(sim.desktop.defaults.boolForKey(Settings::systemMonitorKey));
}

}  // namespace
