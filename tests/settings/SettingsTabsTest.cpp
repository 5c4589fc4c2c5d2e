#include "settings/SettingsTabs.h"

#include "support/SimApp.h"

#include <gtest/gtest.h>

using namespace larkspire;
using larkspire::testing::SimApp;

namespace {

std::string titleOf(const TabView& view) {
    if (view.elements.size() != 1) return "";
    auto* text = std::get_if<TabText>(&view.elements.front().content);
    return text ? text->text : "";
}

TEST(SettingsTabs, TheWindowGetsItsTabsItsFrameNameAndEveryTabsContentBeforeItShows) {
    SimApp sim;
    sim.desktop.finderExtension.enabled = true;
    sim.launch();
    sim.app->openSettings();
    auto* window = sim.desktop.settingsWindows.window;
    ASSERT_TRUE(window);
    std::vector<std::pair<std::string, std::string>> tabs;
    for (const auto& tab : window->tabs) tabs.emplace_back(tab.label, tab.image);
    EXPECT_EQ(tabs, (std::vector<std::pair<std::string, std::string>>{
                        {"Allgemein", "gearshape"},
                        {"Neue Datei", "doc.badge.plus"},
                        {"Finder", "folder"},
                        {"Netzwerk", "externaldrive.connected.to.line.below"},
                        {"Scrollen", "arrow.up.arrow.down"},
                        {"Widgets", "square.grid.2x2"},
                        {"Über", "info.circle"},
                    }));
    EXPECT_EQ(window->frameAutosaveName, "LarkspireSettings");
    ASSERT_EQ(window->tabContents.size(), 7u);
    for (int index = 0; index < 7; ++index)
        EXPECT_EQ(titleOf(window->tabContents[index]), window->tabs[static_cast<std::size_t>(index)].label);
}

TEST(SettingsTabs, AnIndexOutsideTheTabsDescribesNothing) {
    EXPECT_TRUE(settingsTabContent(-1).elements.empty());
    EXPECT_TRUE(settingsTabContent(7).elements.empty());
    EXPECT_EQ(titleOf(settingsTabContent(6)), "Über");
}

}  // namespace
