#include "support/SimApp.h"

#include <gtest/gtest.h>
#include <ostream>

using namespace larkspire;
using larkspire::testing::SimApp;

namespace {

struct TabCase {
    std::int64_t stored;
    int selected;
};

void PrintTo(const TabCase& t, std::ostream* out) {
    *out << "stored " << t.stored;
}

class RestoredTab : public ::testing::TestWithParam<TabCase> {};

TEST_P(RestoredTab, IsClampedToTheTabsThatExist) {
    SimApp sim;
    sim.desktop.finderExtension.enabled = true;
    sim.desktop.defaults.set("settingsSelectedTab", Value(GetParam().stored));
    sim.launch();
    sim.app->openSettings();
    EXPECT_EQ(sim.desktop.settingsWindows.window->selectedTab(), GetParam().selected);
    // Restoring alone does not write the key.
    EXPECT_EQ(sim.desktop.defaults.integerForKey("settingsSelectedTab"), GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(Stored, RestoredTab,
                         ::testing::Values(TabCase{9, 6}, TabCase{-3, 0}, TabCase{2, 2}, TabCase{6, 6}));

TEST(SettingsWindow, RemembersEveryTabChangeAndComesToTheFrontWithoutMoving) {
    SimApp sim;
    sim.desktop.finderExtension.enabled = true;
    sim.launch();
    sim.app->openSettings();
    auto* window = sim.desktop.settingsWindows.window;
    window->selectTab(3);
    EXPECT_EQ(sim.desktop.defaults.integerForKey("settingsSelectedTab"), 3);

    sim.app->settingsWindowController().show(0);
    EXPECT_EQ(window->selectedTab(), 0);
    EXPECT_EQ(sim.desktop.defaults.integerForKey("settingsSelectedTab"), 0);
    EXPECT_EQ(window->centred, 1);  // it was visible, so it stays where it is

    window->close();
    sim.app->openSettings();
    EXPECT_EQ(window->centred, 2);
    EXPECT_EQ(sim.desktop.settingsWindows.created, 1);
}

TEST(SettingsWindow, ShowWithAnIndexWithoutATabKeepsTheTabLastShown) {
    SimApp sim;
    sim.desktop.finderExtension.enabled = true;
    sim.desktop.defaults.set("settingsSelectedTab", Value(5));
    sim.launch();
    for (int index : {7, -1}) {
        sim.app->settingsWindowController().show(index);
        auto* window = sim.desktop.settingsWindows.window;
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->selectedTab(), 5) << index;
        EXPECT_TRUE(window->visible);
        EXPECT_EQ(sim.desktop.defaults.integerForKey("settingsSelectedTab"), 5) << index;
    }
}

TEST(SettingsWindow, HasTheSevenTabsInOrder) {
    std::vector<std::string> labels;
    for (auto& tab : SettingsWindowController::tabs()) labels.push_back(tab.label);
    EXPECT_EQ(labels, (std::vector<std::string>{"Allgemein", "Neue Datei", "Finder", "Netzwerk", "Scrollen",
                                                "Widgets", "Über"}));
}

}  // namespace
