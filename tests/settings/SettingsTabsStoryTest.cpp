#include "app/Settings.h"
#include "network/NetworkFavorite.h"
#include "support/SimApp.h"
#include "support/TabReader.h"

#include <gtest/gtest.h>

using namespace larkspire;
using larkspire::testing::SimApp;
using larkspire::testing::TabReader;

namespace {

class SettingsTabsStory : public ::testing::Test {
  protected:
    void SetUp() override {
        sim.desktop.finderExtension.enabled = true;
        sim.launch();
    }
    // The user opens the window on a tab.
    sim::SimSettingsWindow& open(int tab) {
        sim.app->settingsWindowController().show(tab);
        return *sim.desktop.settingsWindows.window;
    }
    // The tab as the window shows it now.
    TabView shown(int tab) { return sim.desktop.settingsWindows.window->tabContents[tab]; }
    std::string fileName() { return sim.desktop.defaults.stringForKey(Settings::fileNameKey).value_or(""); }

    SimApp sim;
};

TEST_F(SettingsTabsStory, EveryTabIsDescribedBeforeTheWindowShowsAndNothingOutsideTheTabs) {
    auto& window = open(6);
    ASSERT_EQ(window.tabContents.size(), 7u);
    for (int index = 0; index < 7; ++index) EXPECT_FALSE(window.tabContents[index].elements.empty()) << index;
    EXPECT_TRUE(sim.app->settingsWindowController().settingsTabs()->content(7).elements.empty());
    EXPECT_TRUE(sim.app->settingsWindowController().settingsTabs()->content(-1).elements.empty());
    TabReader about(shown(6));
    EXPECT_TRUE(about.shows("Larkspire"));
    EXPECT_TRUE(about.shows("Kleine Verbesserungen für Finder und Maus."));
}

TEST_F(SettingsTabsStory, TheFileNameIsStoredAsTypedAndAnInvalidOneSaysWhatIsUsedInstead) {
    open(1);
    const std::string warning = "Ungültiger Name – es wird „Neu.txt“ verwendet.";
    EXPECT_EQ(TabReader(shown(1)).textField()->text.get(), "Neu.txt");
    EXPECT_FALSE(TabReader(shown(1)).shows(warning));

    TabReader(shown(1)).textField()->text.set("a/b");
    EXPECT_EQ(fileName(), "a/b");
    EXPECT_TRUE(TabReader(shown(1)).shows(warning));
    EXPECT_EQ(Settings::fileName(sim.desktop.defaults), "Neu.txt");

    TabReader(shown(1)).buttonTitled(".md")->action();  // an invalid name starts again from "Neu"
    EXPECT_EQ(fileName(), "Neu.md");
    EXPECT_FALSE(TabReader(shown(1)).shows(warning));
}

struct ExtensionCase {
    std::string stored;
    std::string button;
    std::string result;
};

class ExtensionButtons : public SettingsTabsStory, public ::testing::WithParamInterface<ExtensionCase> {};

TEST_P(ExtensionButtons, ReplaceOnlyTheLastExtension) {
    sim.desktop.defaults.set(Settings::fileNameKey, Value(GetParam().stored));
    open(1);
    TabReader(shown(1)).buttonTitled(GetParam().button)->action();
    EXPECT_EQ(fileName(), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(Names, ExtensionButtons,
                         ::testing::Values(ExtensionCase{"Bericht.txt", ".md", "Bericht.md"},
                                           ExtensionCase{"Notes.tar.gz", ".md", "Notes.tar.md"},
                                           ExtensionCase{"Liste", ".txt", "Liste.txt"},
                                           ExtensionCase{".env", ".md", ".env.md"},
                                           ExtensionCase{"", ".txt", "Neu.txt"},
                                           ExtensionCase{"Bericht.md", "Standard", "Neu.txt"},
                                           ExtensionCase{"..", ".md", "Neu.md"}));

TEST_F(SettingsTabsStory, TheCutRowNamesThreeFilesAndCountsTheRest) {
    open(2);
    EXPECT_FALSE(TabReader(shown(2)).buttonTitled("Verwerfen"));

    auto& cut = sim.app->cutPasteMonitor();
    cut.setCut({"/t/a", "/t/b", "/t/c"});
    EXPECT_TRUE(TabReader(shown(2)).shows("Ausgeschnitten: a, b, c"));
    cut.setCut({"/t/a", "/t/b", "/t/c", "/t/d"});
    EXPECT_TRUE(TabReader(shown(2)).shows("Ausgeschnitten: a, b, c und 1 weitere"));
    cut.setCut({"/t/a", "/t/b", "/t/c", "/t/d", "/t/e"});
    EXPECT_TRUE(TabReader(shown(2)).shows("Ausgeschnitten: a, b, c und 2 weitere"));

    TabReader(shown(2)).buttonTitled("Verwerfen")->action();
    EXPECT_TRUE(cut.cutPaths().empty());
    EXPECT_FALSE(TabReader(shown(2)).buttonTitled("Verwerfen"));
}

TEST_F(SettingsTabsStory, SwitchingCutAndPasteOnWithoutPermissionAsksAndWaitsAndOffForgetsTheCut) {
    sim.desktop.defaults.setBool(Settings::cutPasteKey, false);
    sim.app->cutPasteMonitor().update();
    open(2);
    int promptsBefore = sim.desktop.accessibility.prompts;

    TabReader(shown(2)).switchTitled("⌘X im Finder schneidet aus")->isOn.set(true);
    EXPECT_TRUE(sim.desktop.defaults.boolForKey(Settings::cutPasteKey));
    EXPECT_EQ(sim.desktop.accessibility.prompts, promptsBefore + 1);
    EXPECT_TRUE(sim.app->cutPasteMonitor().isWaitingForPermission());
    EXPECT_TRUE(TabReader(shown(2)).shows("Erlauben…"));  // the warning, while not trusted

    sim.app->cutPasteMonitor().setCut({"/t/a"});
    TabReader(shown(2)).switchTitled("⌘X im Finder schneidet aus")->isOn.set(false);
    EXPECT_TRUE(sim.app->cutPasteMonitor().cutPaths().empty());
    EXPECT_FALSE(TabReader(shown(2)).buttonTitled("Verwerfen"));
    EXPECT_FALSE(TabReader(shown(2)).switchTitled("⌘X im Finder schneidet aus")->isOn.get());
}

TEST_F(SettingsTabsStory, ARevokedPermissionShowsWithinTwoSecondsButOnlyWhileTheWindowIsOpen) {
    sim.desktop.accessibility.trusted = true;
    auto& window = open(0);
    EXPECT_TRUE(TabReader(shown(0)).shows("Gerätesteuerung erlaubt"));

    sim.desktop.accessibility.trusted = false;
    sim.desktop.advance(2.0);
    EXPECT_TRUE(TabReader(shown(0)).shows("Gerätesteuerung nicht erlaubt"));
    EXPECT_TRUE(TabReader(shown(0)).shows("Erlauben…"));

    // Hidden, the window polls nothing; shown again, it is up to date at once.
    window.close();
    sim.desktop.accessibility.trusted = true;
    sim.desktop.advance(10.0);
    EXPECT_TRUE(TabReader(shown(0)).shows("Gerätesteuerung nicht erlaubt"));
    open(2);
    EXPECT_FALSE(TabReader(shown(2)).shows("Erlauben…"));
    EXPECT_TRUE(TabReader(shown(0)).shows("Gerätesteuerung erlaubt"));
}

TEST_F(SettingsTabsStory, ALoginItemAwaitingApprovalOffersTheButtonUntilApproved) {
    sim.desktop.loginItem.state = LoginItemStatus::requiresApproval;
    open(0);
    TabReader waiting(shown(0));
    EXPECT_FALSE(waiting.switchTitled("Beim Anmelden starten")->isOn.get());
    ASSERT_TRUE(waiting.buttonTitled("Anmeldeobjekt in den Systemeinstellungen erlauben…"));
    waiting.buttonTitled("Anmeldeobjekt in den Systemeinstellungen erlauben…")->action();
    EXPECT_EQ(sim.desktop.loginItem.approvalSettingsOpened, 1);

    sim.desktop.loginItem.state = LoginItemStatus::enabled;
    sim.desktop.advance(2.0);
    TabReader approved(shown(0));
    EXPECT_TRUE(approved.switchTitled("Beim Anmelden starten")->isOn.get());
    EXPECT_FALSE(approved.buttonTitled("Anmeldeobjekt in den Systemeinstellungen erlauben…"));

    approved.switchTitled("Beim Anmelden starten")->isOn.set(false);
    EXPECT_EQ(sim.desktop.loginItem.state, LoginItemStatus::notRegistered);
    EXPECT_FALSE(TabReader(shown(0)).switchTitled("Beim Anmelden starten")->isOn.get());
}

TEST_F(SettingsTabsStory, TheGameModeRowFollowsWithinASecondOnlyOnTheScrollTab) {
    sim.desktop.accessibility.trusted = true;
    sim.app->smoothScroller().update();
    open(4);
    const std::string off = "Spielemodus aus – flüssiges Scrollen aktiv";
    const std::string on = "Spielemodus aktiv – flüssiges Scrollen pausiert";
    EXPECT_TRUE(TabReader(shown(4)).shows(off));

    sim.desktop.gameMode.setState(1);
    sim.desktop.advance(1.0);
    EXPECT_TRUE(TabReader(shown(4)).shows(on));
    EXPECT_FALSE(TabReader(shown(4)).statusRow(on)->flag);

    open(1);
    sim.desktop.gameMode.setState(0);
    sim.desktop.advance(5.0);
    EXPECT_TRUE(TabReader(shown(4)).shows(on));  // not polled while another tab is shown
    open(4);
    EXPECT_TRUE(TabReader(shown(4)).shows(off));
}

TEST(NetworkTab, ShowsEachFavouriteWithItsStateAndChecksAtOnceOnlyWhenSwitchedOn) {
    SimApp sim;
    sim.desktop.finderExtension.enabled = true;
    sim.desktop.volumes.addShare("smb://nas/Team", {"Fotos"});
    sim.desktop.volumes.addShare("smb://archiv/Alt", {"Akten"}).reachable = false;
    sim.launch();
    sim.app->settingsWindowController().show(3);
    auto shown = [&] { return sim.desktop.settingsWindows.window->tabContents[3]; };
    EXPECT_TRUE(TabReader(shown()).shows("Noch keine Netzwerk-Favoriten."));

    sim.desktop.defaults.set(Settings::networkFavoritesKey,
                             Value(*encodeFavorites({{"smb://nas/Team", "Fotos", "Fotos"},
                                                     {"smb://archiv/Alt", "Akten", "Akten"}})));
    sim.restart();
    sim.launch();
    sim.app->settingsWindowController().show(3);
    sim.desktop.advance(3);  // the first pass mounts what it can
    TabReader listed(shown());
    EXPECT_FALSE(listed.shows("Noch keine Netzwerk-Favoriten."));
    ASSERT_TRUE(listed.buttonTitled("Fotos"));
    ASSERT_TRUE(listed.buttonTitled("Akten"));
    std::vector<std::string> dots;
    auto view = shown();
    for (const auto& element : std::get<TabGroup>(view.elements[0].content).content)
        if (auto* row = std::get_if<TabRow>(&element.content))
            dots.push_back(std::get<TabDot>(row->items[0].content).help);
    EXPECT_EQ(dots, (std::vector<std::string>{"Verbunden", "Nicht verbunden"}));

    auto requests = sim.desktop.volumes.requests.size();
    auto* autoMount = listed.switchTitled("Netzlaufwerke automatisch verbinden");
    autoMount->isOn.set(false);
    sim.desktop.advance(0.5);
    EXPECT_EQ(sim.desktop.volumes.requests.size(), requests);
    autoMount->isOn.set(true);
    sim.desktop.advance(0.5);                                      // long before the next minute's pass
    EXPECT_EQ(sim.desktop.volumes.requests.size(), requests + 1);  // the failing share, its back-off reset

    TabReader(shown()).buttonTitled("Fotos")->action();
    EXPECT_FALSE(sim.desktop.workspace.opened.empty());
}

std::size_t describedElements(const TabElements& elements) {
    std::size_t count = 0;
    for (const auto& element : elements) {
        ++count;
        if (auto* group = std::get_if<TabGroup>(&element.content)) count += describedElements(group->content);
        if (auto* row = std::get_if<TabRow>(&element.content)) count += describedElements(row->items);
    }
    return count;
}

// The favourites a user sees listed: the names of the visible rows' links.
std::vector<std::string> listedFavorites(const TabView& view) {
    std::vector<std::string> names;
    for (const auto& element : std::get<TabGroup>(view.elements[0].content).content) {
        auto* row = std::get_if<TabRow>(&element.content);
        if (!element.visible || !row) continue;
        for (const auto& item : row->items)
            if (auto* link = std::get_if<TabButton>(&item.content);
                link && link->style == TabButtonStyle::link)
                names.push_back(link->title);
    }
    return names;
}

TEST(NetworkTab, TenThousandFavouritesAreListedAPageAtATimeAndEachCanBeFoundAndRemoved) {
    SimApp sim;
    sim.desktop.finderExtension.enabled = true;
    std::vector<NetworkFavorite> stored;
    std::vector<std::string> allNames;
    for (int index = 0; index < 10000; ++index) {
        allNames.push_back("Ordner " + std::to_string(index));
        stored.push_back({"smb://nas/Team", "Projekte/" + allNames.back(), allNames.back()});
    }
    sim.desktop.defaults.set(Settings::networkFavoritesKey, Value(*encodeFavorites(stored)));
    sim.launch();
    sim.app->settingsWindowController().show(SettingsTabs::networkTab);
    auto shown = [&] { return sim.desktop.settingsWindows.window->tabContents[SettingsTabs::networkTab]; };

    EXPECT_LT(describedElements(shown().elements), 100u);
    auto page = listedFavorites(shown());
    ASSERT_FALSE(page.empty());
    EXPECT_EQ(page.front(), "Ordner 0");
    EXPECT_TRUE(TabReader(shown()).shows("Favoriten 1–" + std::to_string(page.size()) + " von 10.000"));
    EXPECT_FALSE(TabReader(shown()).buttonTitled("Zurück"));

    // Paging forward reaches every favourite once, in order; back returns to the page before.
    std::vector<std::string> seen = page;
    for (;;) {
        TabReader reader(shown());
        auto* next = reader.buttonTitled("Weiter");
        if (!next) break;
        next->action();
        auto more = listedFavorites(shown());
        ASSERT_FALSE(more.empty());
        seen.insert(seen.end(), more.begin(), more.end());
    }
    ASSERT_EQ(seen, allNames);
    auto last = listedFavorites(shown());
    TabReader(shown()).buttonTitled("Zurück")->action();
    EXPECT_EQ(listedFavorites(shown()).back(), allNames[allNames.size() - last.size() - 1]);
    TabReader(shown()).buttonTitled("Weiter")->action();

    // Removing the whole last page leaves the one before it on screen.
    for (std::size_t removed = 0; removed < last.size(); ++removed)
        TabReader(shown()).buttonTitled("")->action();
    EXPECT_EQ(listedFavorites(shown()).back(), allNames[allNames.size() - last.size() - 1]);

    // A search, whatever the case, finds a favourite from the middle; removing it keeps all others.
    ASSERT_TRUE(TabReader(shown()).textField());
    TabReader(shown()).textField()->text.set("ORDNER 4321");
    EXPECT_EQ(listedFavorites(shown()), std::vector<std::string>{"Ordner 4321"});
    EXPECT_TRUE(TabReader(shown()).shows("Treffer 1–1 von 1"));
    TabReader(shown()).buttonTitled("")->action();
    EXPECT_TRUE(listedFavorites(shown()).empty());
    EXPECT_TRUE(TabReader(shown()).shows("Kein Favorit enthält „ORDNER 4321“."));

    std::erase(stored, NetworkFavorite{"smb://nas/Team", "Projekte/Ordner 4321", "Ordner 4321"});
    stored.resize(stored.size() - last.size());
    EXPECT_EQ(sim.app->networkFavorites().favorites(), stored);
    auto saved = sim.desktop.defaults.object(Settings::networkFavoritesKey);
    ASSERT_TRUE(saved && saved->get<Data>());
    EXPECT_EQ(decodeFavorites(*saved->get<Data>()), stored);
}

TEST(WidgetsTab, TheTemperatureSwitchFollowsTheMonitorAndArrangingFollowsTheManager) {
    SimApp sim;
    sim.desktop.finderExtension.enabled = true;
    sim.launch();
    sim.app->settingsWindowController().show(5);
    auto shown = [&] { return TabReader(sim.desktop.settingsWindows.window->tabContents[5]); };
    EXPECT_FALSE(shown().switchTitled("CPU-Temperatur anzeigen")->enabled);

    shown().switchTitled("CPU & Arbeitsspeicher")->isOn.set(true);
    EXPECT_TRUE(sim.app->desktopWidgets().anyEnabled());
    EXPECT_TRUE(shown().switchTitled("CPU-Temperatur anzeigen")->enabled);

    shown().buttonTitled("Widgets anordnen")->action();
    EXPECT_TRUE(sim.app->desktopWidgets().isEditing());
    sim.statusItem().choose("Anordnen beenden");  // the menu ends it; the tab follows
    EXPECT_TRUE(shown().buttonTitled("Widgets anordnen"));
}

TEST(VersionLine, ShowsAQuestionMarkForAMissingPart) {
    EXPECT_EQ(versionLine("0.1.0", "1"), "Version 0.1.0 (1)");
    EXPECT_EQ(versionLine(std::nullopt, "7"), "Version ? (7)");
    EXPECT_EQ(versionLine("2.0", std::nullopt), "Version 2.0 (?)");
}

}  // namespace
