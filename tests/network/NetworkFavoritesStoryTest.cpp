#include "app/Settings.h"
#include "network/NetworkFavorites.h"
#include "settings/SettingsTabs.h"
#include "support/FavoritePrinting.h"
#include "support/SimApp.h"
#include "support/TemporaryFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <set>

using namespace larkspire;
using larkspire::testing::SimApp;
namespace fs = std::filesystem;

namespace {

const std::string teamShare = "smb://nas/Team";
const std::string archiveShare = "smb://archiv/Alt";

std::string favoriteRequest(const std::vector<std::string>& paths) {
    std::string url = "quirefold://favorite";
    char separator = '?';
    for (const auto& path : paths) {
        url += separator + std::string("path=") + percentEncodedPath(path);
        separator = '&';
    }
    return url;
}

std::vector<double> requestTimes(const sim::SimVolumes& volumes) {
    std::vector<double> times;
    for (const auto& request : volumes.requests) times.push_back(request.at);
    return times;
}

class Favorites : public ::testing::Test {
  protected:
    void SetUp() override {
        desktop().finderExtension.enabled = true;
        desktop().volumes.addShare(teamShare, {"Projekte/2024", "Fotos"});
        desktop().volumes.addShare(archiveShare, {"Akten"}).reachable = false;
    }
    sim::Desktop& desktop() { return sim.desktop; }
    NetworkFavorites& favorites() { return sim.app->networkFavorites(); }
    void advanceTo(double time) { desktop().advance(time - desktop().now()); }
    fs::path onTeam(const std::string& relative) {
        return desktop().volumes.mountPathOf(teamShare) / relative;
    }
    // Stores favourites as an earlier run left them, then starts the program.
    void launchWith(const std::vector<NetworkFavorite>& stored) {
        desktop().defaults.set(Settings::networkFavoritesKey, Value(*encodeFavorites(stored)));
        sim.launch();
    }
    std::optional<std::vector<NetworkFavorite>> stored() {
        auto value = desktop().defaults.object(Settings::networkFavoritesKey);
        if (!value || !value->get<Data>()) return std::nullopt;
        return decodeFavorites(*value->get<Data>());
    }

    SimApp sim;
};

TEST_F(Favorites, AnUnreadableStoredListIsKeptAsideOnceAndLoggedBeforeItIsReplaced) {
    Value broken(Data{{'[', '{', 0xff}});
    desktop().defaults.set(Settings::networkFavoritesKey, broken);
    sim.launch();
    EXPECT_TRUE(favorites().favorites().empty());
    EXPECT_EQ(desktop().defaults.object(NetworkFavorites::unreadableFavoritesKey), broken);
    EXPECT_EQ(desktop().log.lines.back().level, LogLevel::error);

    desktop().volumes.mountShare(teamShare);
    desktop().advance(4);
    sim.app->openUrls({favoriteRequest({onTeam("Fotos")})});
    EXPECT_EQ(stored(), (std::vector<NetworkFavorite>{{teamShare, "Fotos", "Fotos"}}));

    // Another broken value later never replaces the one kept first.
    sim.restart();
    desktop().defaults.set(Settings::networkFavoritesKey, Value("kein JSON"));
    sim.launch();
    EXPECT_EQ(desktop().defaults.object(NetworkFavorites::unreadableFavoritesKey), broken);
}

TEST_F(Favorites, ARequestAddsEachFolderAndShowsEveryFailureInOneAlertInOrder) {
    desktop().volumes.mountShare(teamShare);
    sim.launch();
    desktop().advance(3);
    larkspire::testing::TemporaryFolder tmp;
    auto local = tmp.folder("Lokal");
    auto file = tmp.file("Notiz.txt");
    sim.app->openUrls({favoriteRequest({file.string(), onTeam("Projekte/2024").string(), local.string(),
                                        (tmp / "fehlt").string(), onTeam("").string()})});

    ASSERT_EQ(desktop().alerts.shown.size(), 1u);
    EXPECT_EQ(desktop().alerts.shown[0],
              (sim::ShownAlert{"Nicht zur Seitenleiste hinzugefügt",
                               "„Notiz.txt“ ist kein Ordner.\n„fehlt“ ist kein Ordner."}));
    // The local folder went into the sidebar only; the share root has an empty relative path.
    auto expected =
        std::vector<NetworkFavorite>{{teamShare, "Projekte/2024", "2024"},
                                     {teamShare, "", desktop().volumes.mountPathOf(teamShare).filename()}};
    EXPECT_EQ(favorites().favorites(), expected);
    EXPECT_EQ(stored(), expected);
    EXPECT_EQ(desktop().sidebar.entries.size(), 4u);
    EXPECT_EQ(desktop().sidebar.entries[2].target, Url::fileUrl(local.string()).string());

    // The same folder again: no second entry anywhere, but it is logged again.
    sim.app->openUrls({favoriteRequest({onTeam("Projekte/2024").string()}), favoriteRequest({})});
    EXPECT_EQ(favorites().favorites(), expected);
    EXPECT_EQ(desktop().sidebar.entries.size(), 4u);
    EXPECT_EQ(desktop().log.count("network", "Favorit: smb://nas/Team/Projekte/2024"), 2);
    EXPECT_EQ(desktop().alerts.shown.size(), 1u);
}

TEST_F(Favorites, AFolderWhoseNameIsNotUtf8IsAddedByItsBytes) {
    sim.launch();
    larkspire::testing::TemporaryFolder tmp;
    auto latin1 = tmp.folder("latin1-\xE4");
    auto before = desktop().sidebar.entries.size();
    sim.app->openUrls({favoriteRequest({latin1.string()})});
    EXPECT_TRUE(desktop().alerts.shown.empty());
    ASSERT_EQ(desktop().sidebar.entries.size(), before + 1);
    EXPECT_EQ(desktop().sidebar.entries.back().target, Url::fileUrl(latin1.string()).string());
    EXPECT_TRUE(desktop().sidebar.entries.back().target.ends_with("/latin1-%E4"));
}

TEST_F(Favorites, WhenTheSidebarRefusesNothingIsRecorded) {
    desktop().volumes.mountShare(teamShare);
    desktop().sidebar.entries.clear();
    sim.launch();
    sim.app->openUrls({favoriteRequest({onTeam("Fotos")})});
    EXPECT_EQ(desktop().alerts.shown.at(0).informativeText,
              "„Fotos“ konnte nicht in die Finder-Seitenleiste eingetragen werden.");
    EXPECT_TRUE(favorites().favorites().empty());
    EXPECT_EQ(stored(), std::nullopt);
}

TEST_F(Favorites, AShareThatKeepsFailingIsTriedAtTheFirstPassAfterEachBackoff) {
    launchWith({{archiveShare, "Akten", "Akten"}, {archiveShare, "", "Alt"}});
    advanceTo(1800);
    // Fails at 3, 121, 301, 601, 1141: waits 60, 120, 240, 480, 600 s, tried by the next minute's pass.
    EXPECT_EQ(requestTimes(desktop().volumes), (std::vector<double>{2, 120, 300, 600, 1140, 1800}));
    EXPECT_EQ(favorites().failures().at(archiveShare), 5);
    EXPECT_EQ(desktop().log.count("network",
                                  "Verbinden fehlgeschlagen (64): smb://archiv/Alt – nächster Versuch in "
                                  "480 s"),
              1);
    EXPECT_EQ(desktop().volumes.mostInFlightAtOnce, 1);
}

TEST_F(Favorites, AFlappingNetworkHourMountsExactlyOnTheScheduleWithoutOverlapAndAWakeResetsIt) {
    launchWith({{archiveShare, "Akten", "Akten"}});
    std::vector<double> expected{2, 120};
    for (double cycle = 0; cycle < 3600; cycle += 300) {
        advanceTo(cycle + 140);
        desktop().networkPath.setAvailable(false);
        advanceTo(cycle + 170);
        desktop().networkPath.setAvailable(true);
        // Back +3 s with back-off cleared; it fails a second later, so 60 s then 120 s wait for the timer.
        for (double at : {173.0, 240.0, 420.0})
            if (cycle + at <= 3600) expected.push_back(cycle + at);
    }
    advanceTo(3600);
    EXPECT_EQ(requestTimes(desktop().volumes), expected);
    EXPECT_EQ(desktop().volumes.mostInFlightAtOnce, 1);
    EXPECT_EQ(desktop().log.count("network", "Netzwerk wieder da"), 12);

    desktop().volumes.wake();
    advanceTo(3604);
    EXPECT_EQ(desktop().volumes.requests.size(), expected.size());
    advanceTo(3605);
    EXPECT_EQ(desktop().volumes.requests.back().at, 3605);
}

TEST_F(Favorites, WithoutNetworkOrWithAutoMountOffOnlyTheTableIsKept) {
    desktop().networkPath.available = false;
    launchWith({{teamShare, "Fotos", "Fotos"}});
    advanceTo(130);
    EXPECT_TRUE(desktop().volumes.requests.empty());

    desktop().defaults.setBool(Settings::autoMountKey, false);
    desktop().networkPath.setAvailable(true);
    advanceTo(200);
    EXPECT_TRUE(desktop().volumes.requests.empty());
    desktop().volumes.mountShare(teamShare);
    advanceTo(204);
    EXPECT_TRUE(favorites().isMounted(favorites().favorites()[0]));
}

TEST_F(Favorites, TwoFavoritesOnOneShareUnderDifferentSpellingsGiveOneMountAndShareItsTable) {
    desktop().volumes.addShare("smb://anna@NAS:445/Team", {"Fotos"});
    launchWith({{"smb://anna@NAS:445/Team", "Fotos", "Fotos"}, {"smb://anna@NAS:445/Team", "", "Team"}});
    advanceTo(4);
    ASSERT_EQ(desktop().volumes.requests.size(), 1u);
    EXPECT_FALSE(desktop().volumes.requests[0].allowUI);
    EXPECT_EQ(desktop().log.count("network", "Verbinde smb://anna@NAS:445/Team"), 1);
    for (const auto& favorite : favorites().favorites()) EXPECT_TRUE(favorites().isMounted(favorite));
    EXPECT_TRUE(favorites().failures().empty());
}

TEST_F(Favorites, AnEjectedShareIsMountedAgainByThePassAfterTheUnmount) {
    launchWith({{teamShare, "Fotos", "Fotos"}});
    advanceTo(10);
    ASSERT_EQ(desktop().volumes.requests.size(), 1u);
    desktop().volumes.unmountShare(teamShare);
    advanceTo(12.9);
    EXPECT_EQ(desktop().volumes.requests.size(), 1u);
    advanceTo(13);
    EXPECT_EQ(desktop().volumes.requests.size(), 2u);
    advanceTo(15);
    EXPECT_TRUE(favorites().isMounted(favorites().favorites()[0]));
}

TEST_F(Favorites, SuccessWithoutMountPointBacksOffAndARequestThatDoesNotStartDoesNot) {
    desktop().volumes.addShare("smb://leer/x").reportsMountPoint = false;
    launchWith({{"smb://leer/x", "", "x"}});
    advanceTo(4);
    EXPECT_EQ(favorites().failures().at("smb://leer/x"), 1);

    desktop().volumes.startStatus = 5;
    favorites().check(true);
    desktop().advance(1);
    EXPECT_EQ(desktop().log.count("network", "Verbinden nicht gestartet (5): smb://leer/x"), 1);
    EXPECT_TRUE(favorites().failures().empty());
    EXPECT_TRUE(favorites().mounting().empty());
}

TEST_F(Favorites, OpeningMountsOnDemandWithTheUsersHelpThenShowsTheFolder) {
    desktop().defaults.setBool(Settings::autoMountKey, false);
    launchWith({{teamShare, "Projekte/2024", "2024"},
                {archiveShare, "Akten", "Akten"},
                {"nicht parsebar", "", "X"}});
    advanceTo(3);
    favorites().open(favorites().favorites()[0]);
    EXPECT_TRUE(desktop().volumes.requests.at(0).allowUI);
    advanceTo(5);
    ASSERT_EQ(desktop().workspace.opened.size(), 1u);
    EXPECT_EQ(desktop().workspace.opened[0].path(), onTeam("Projekte/2024").string());

    favorites().open(favorites().favorites()[1]);
    advanceTo(7);
    favorites().open(favorites().favorites()[2]);
    EXPECT_EQ(desktop().alerts.shown,
              (std::vector<sim::ShownAlert>{
                  {"Keine Verbindung zu „Akten“", "Der Server archiv ist nicht erreichbar."},
                  {"Keine Verbindung zu „X“", "Der Server nicht parsebar ist nicht erreichbar."}}));
    EXPECT_EQ(favorites().failures().at(archiveShare), 1);  // a failed open backs off like any mount
}

TEST_F(Favorites, OpeningWhileAnAutomaticMountIsUnderWayFailsAtOnce) {
    launchWith({{archiveShare, "Akten", "Akten"}});
    advanceTo(2.5);
    ASSERT_TRUE(favorites().mounting().contains(archiveShare));
    favorites().open(favorites().favorites()[0]);
    EXPECT_EQ(desktop().alerts.shown.size(), 1u);
    EXPECT_EQ(desktop().volumes.requests.size(), 1u);
}

TEST_F(Favorites, TheMenuListsFavoritesWithTheirStateAndOpensThem) {
    desktop().volumes.mountShare(teamShare);
    launchWith({{teamShare, "Fotos", "Fotos"}, {archiveShare, "Akten", "Akten"}});
    desktop().defaults.setBool(Settings::autoMountKey, false);
    advanceTo(3);
    auto menu = sim.statusItem().openMenu();
    ASSERT_GE(menu.size(), 5u);
    EXPECT_TRUE(menu[1].isSeparator);
    EXPECT_EQ(menu[2].title, "Netzwerk-Favoriten");
    EXPECT_FALSE(menu[2].enabled);
    EXPECT_EQ(menu[3].title, "Fotos");
    EXPECT_EQ(menu[3].image, "externaldrive.fill");
    EXPECT_EQ(menu[4].image, "externaldrive");
    EXPECT_EQ(menu[4].tag, 1);

    menu[3].action(menu[3]);
    EXPECT_EQ(desktop().workspace.opened.at(0).path(), onTeam("Fotos").string());
    favorites().remove(favorites().favorites()[1]);
    menu[4].action(menu[4]);  // the entry it named is gone
    EXPECT_TRUE(desktop().volumes.requests.empty());
}

TEST_F(Favorites, TenThousandFavouritesGiveAShortMenuAndAreAllStillReconnected) {
    std::vector<NetworkFavorite> list;
    std::set<std::string> shares;
    for (int index = 0; index < 10000; ++index) {
        auto share = "smb://server" + std::to_string(index % 40) + "/Freigabe";
        shares.insert(share);
        list.push_back({share, "Ordner " + std::to_string(index), "Ordner " + std::to_string(index)});
    }
    launchWith(list);
    std::vector<std::string> listed;
    for (const auto& item : sim.statusItem().openMenu())
        if (item.image.starts_with("externaldrive")) listed.push_back(item.title);
    ASSERT_FALSE(listed.empty());
    EXPECT_LE(listed.size(), 20u);
    EXPECT_EQ(listed.front(), "Ordner 0");
    ASSERT_TRUE(sim.statusItem().choose("Alle 10.000 Favoriten…"));
    EXPECT_TRUE(desktop().settingsWindows.window->isVisible());
    EXPECT_EQ(desktop().settingsWindows.window->selectedTab(), SettingsTabs::networkTab);

    advanceTo(3);
    std::multiset<std::string> requested;
    for (const auto& request : desktop().volumes.requests) requested.insert(request.shareUrl);
    EXPECT_EQ(requested, std::multiset<std::string>(shares.begin(), shares.end()));
    EXPECT_EQ(stored(), list);
}

TEST_F(Favorites, RemovingTakesTheSidebarEntryByPathOrByNameAndStopsReconnecting) {
    desktop().volumes.mountShare(teamShare);
    sim.launch();
    desktop().advance(3);
    sim.app->openUrls({favoriteRequest({onTeam("Fotos").string(), onTeam("Projekte/2024").string()})});
    ASSERT_EQ(favorites().favorites().size(), 2u);
    desktop().advance(1);
    favorites().remove(favorites().favorites()[0]);
    EXPECT_EQ(desktop().sidebar.entries.size(), 2u);

    desktop().volumes.unmountShare(teamShare);
    desktop().advance(1);
    desktop().defaults.setBool(Settings::autoMountKey, false);
    desktop().advance(3);
    favorites().remove(favorites().favorites()[0]);  // cannot resolve now: found by its name "2024"
    EXPECT_EQ(desktop().sidebar.entries.size(), 1u);
    EXPECT_EQ(stored(), std::vector<NetworkFavorite>{});
    desktop().defaults.setBool(Settings::autoMountKey, true);
    favorites().check(true);
    desktop().advance(120);
    EXPECT_TRUE(desktop().volumes.requests.empty());
}

TEST_F(Favorites, WithoutFavouritesTheMinutePassWakesNoThreadUntilOneIsAdded) {
    desktop().volumes.mountShare(teamShare);
    sim.launch();
    advanceTo(3);  // the first pass after launch still runs
    auto passes = [&] { return desktop().work.serialRuns(NetworkFavorites::queueLabel); };
    int atLaunch = passes();
    EXPECT_EQ(atLaunch, 1);
    advanceTo(600);
    EXPECT_EQ(passes(), atLaunch);

    sim.app->openUrls({favoriteRequest({onTeam("Fotos").string()})});
    advanceTo(721);  // the refresh on adding, then the passes at 660 and 720
    EXPECT_EQ(passes(), atLaunch + 3);
    EXPECT_TRUE(favorites().isMounted(favorites().favorites()[0]));
}

TEST_F(Favorites, ThePickerAddsTheChosenFoldersWithOneAlert) {
    desktop().volumes.mountShare(teamShare);
    sim.launch();
    desktop().advance(3);
    desktop().folderPicker.answer = {Url::fileUrl(onTeam("Fotos").string()), Url::fileUrl("/gibt/es/nicht")};
    favorites().chooseFavorites();
    EXPECT_EQ(desktop().folderPicker.requests.at(0).confirmTitle, "Zur Seitenleiste hinzufügen");
    EXPECT_EQ(favorites().favorites().size(), 1u);
    EXPECT_EQ(desktop().alerts.shown.at(0).informativeText, "„nicht“ ist kein Ordner.");
}

}  // namespace
