#include "app/Settings.h"
#include "support/SimApp.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

using namespace larkspire;
using namespace larkspire::sim;
using larkspire::testing::SimApp;
using larkspire::testing::TemporaryFolder;

namespace {

// A user with the permission granted and three files in "from", an empty folder "to".
class CutAndPaste : public ::testing::Test {
  protected:
    void SetUp() override {
        for (auto name : {"1.txt", "2.txt", "3.txt"}) tmp.file("from/" + std::string(name));
        tmp.folder("to");
        desktop.accessibility.trusted = true;
        desktop.finderExtension.enabled = true;
        sim.launch();
    }

    CutPasteMonitor& monitor() { return sim.app->cutPasteMonitor(); }
    std::string path(const std::string& relative) { return (tmp / relative).string(); }
    std::vector<std::string> threeFiles() {
        return {path("from/1.txt"), path("from/2.txt"), path("from/3.txt")};
    }

    // Selects the three files in a window on "from" and cuts them.
    SimFinderWindow& cutThreeFiles() {
        auto& from = fm.openWindow(tmp / "from");
        from.select({"3.txt", "1.txt", "2.txt"});
        EXPECT_TRUE(desktop.press(Key::X, Command));
        desktop.advance(0.2);
        return from;
    }

    TemporaryFolder tmp;
    SimApp sim;
    Desktop& desktop = sim.desktop;
    SimFinder& fm = desktop.fileManager();
};

TEST_F(CutAndPaste, MovesCutFilesIntoTheTargetFolder) {
    cutThreeFiles();
    EXPECT_EQ(monitor().cutPaths(), threeFiles());
    EXPECT_EQ(sim.statusItem().icon.image, "scissors");
    EXPECT_EQ(sim.statusItem().icon.title, " 3");

    fm.openWindow(tmp / "to");
    EXPECT_TRUE(desktop.press(Key::V, Command));
    desktop.advance(0.1);
    for (auto name : {"1.txt", "2.txt", "3.txt"}) {
        EXPECT_TRUE(std::filesystem::exists(tmp / "to" / name)) << name;
        EXPECT_FALSE(std::filesystem::exists(tmp / "from" / name)) << name;
    }
    EXPECT_EQ(desktop.log.count("cut", "⌘V → Bewegen 3 Datei(en) (ok)"), 1);
    EXPECT_EQ(monitor().cutPaths().size(), 3u);  // still cut until the move has had its time

    desktop.advance(0.5);
    EXPECT_TRUE(monitor().cutPaths().empty());
    EXPECT_EQ(sim.statusItem().icon, (StatusIcon{"macwindow", "Larkspire", "", "Larkspire"}));
    EXPECT_EQ(desktop.defaults.stringListForKey(Settings::cutPathsKey), std::vector<std::string>{});
}

TEST_F(CutAndPaste, CutIsAnnouncedOnceAlthoughThreePickupsRun) {
    auto& from = fm.openWindow(tmp / "from");
    from.select({"1.txt", "2.txt", "3.txt"});
    EXPECT_TRUE(desktop.press(Key::X, Command));
    EXPECT_TRUE(fm.pressedItems.empty());  // Finder never sees the key; the copy item comes a moment later
    EXPECT_TRUE(fm.receivedKeys.empty());
    desktop.advance(0.14);
    EXPECT_TRUE(monitor().cutPaths().empty());
    desktop.advance(0.01);
    EXPECT_EQ(monitor().cutPaths(), threeFiles());
    desktop.advance(2.0);

    EXPECT_EQ(fm.copies, 1);
    EXPECT_EQ(desktop.log.count("cut", "⌘X → Kopieren (ok)"), 1);
    EXPECT_EQ(desktop.log.count("cut", "Ausgeschnitten: 3 Datei(en)"), 1);
    EXPECT_EQ(desktop.distributedNotifications.posted,
              std::vector<std::string>{"de.halvik.Quirefold.cutChanged"});
    EXPECT_EQ(desktop.defaults.stringListForKey(Settings::cutPathsKey), threeFiles());
    EXPECT_EQ(sim.statusItem().icon.tooltip, "3 Datei(en) ausgeschnitten – mit ⌘V im Finder verschieben");
}

TEST_F(CutAndPaste, OnlyTheSecondOfTwoQuickCutsCounts) {
    tmp.file("other/a.txt");
    auto& first = fm.openWindow(tmp / "from");
    first.select({"1.txt"});
    desktop.press(Key::X, Command);
    desktop.advance(0.3);
    EXPECT_EQ(monitor().cutPaths(), std::vector<std::string>{path("from/1.txt")});

    auto& second = fm.openWindow(tmp / "other");
    second.select({"a.txt"});
    desktop.press(Key::X, Command);
    desktop.loop.runPending();
    EXPECT_TRUE(monitor().cutPaths().empty());  // the earlier cut is dropped as soon as the copy is pressed
    // The first cut's attempt at 0.4 s finds the new files on the clipboard but is no longer current;
    // only the second cut's own attempt at 0.15 s after its press takes them.
    desktop.advance(0.14);
    EXPECT_TRUE(monitor().cutPaths().empty());
    desktop.advance(0.01);
    EXPECT_EQ(monitor().cutPaths(), std::vector<std::string>{path("other/a.txt")});
    desktop.advance(2.0);

    EXPECT_EQ(monitor().cutPaths(), std::vector<std::string>{path("other/a.txt")});
    EXPECT_EQ(monitor().cutGeneration(), 2);
    EXPECT_EQ(desktop.log.count("cut", "Ausgeschnitten: 1 Datei(en)"), 2);
}

TEST_F(CutAndPaste, ACopyThatLandsLateIsPickedUpByTheLastAttempt) {
    auto& from = fm.openWindow(tmp / "from");
    from.select({"1.txt"});
    // A busy file manager puts the files on the clipboard only 0.6 s after its copy item was pressed.
    fm.menuItem(SimFinder::copyItem)->action = [this] {
        desktop.loop.postAfter(0.6, [this] { desktop.clipboard.writeFiles({path("from/1.txt")}); });
    };
    desktop.press(Key::X, Command);
    desktop.advance(0.95);
    EXPECT_TRUE(monitor().cutPaths().empty());
    desktop.advance(0.1);
    EXPECT_EQ(monitor().cutPaths(), std::vector<std::string>{path("from/1.txt")});
}

TEST_F(CutAndPaste, NothingOnTheClipboardWithinASecondLeavesNothingCut) {
    auto& from = fm.openWindow(tmp / "from");
    from.select({});  // the copy item does nothing without a selection
    EXPECT_TRUE(desktop.press(Key::X, Command));
    desktop.advance(5);
    EXPECT_TRUE(monitor().cutPaths().empty());
    EXPECT_EQ(monitor().cutGeneration(), 1);
    EXPECT_TRUE(desktop.distributedNotifications.posted.empty());
}

TEST_F(CutAndPaste, CopyingTextElsewhereDropsTheCut) {
    cutThreeFiles();
    auto& editor = desktop.applications.launch("com.apple.TextEdit");
    editor.focusedRole = "AXTextArea";
    desktop.applications.activate(editor);
    desktop.clipboard.writeText("Hallo");
    desktop.advance(0.5);

    EXPECT_TRUE(monitor().cutPaths().empty());
    EXPECT_EQ(desktop.log.count("cut", "Zwischenablage geändert – Ausschneiden verworfen"), 1);
    EXPECT_EQ(sim.statusItem().icon.image, "macwindow");
    EXPECT_EQ(desktop.distributedNotifications.posted.size(), 2u);
}

TEST_F(CutAndPaste, CopyingTheSameFilesAgainKeepsTheCut) {
    cutThreeFiles();
    desktop.advance(1.0);  // the last attempt to pick the cut up is over
    auto reads = desktop.clipboard.fileListReads;
    desktop.clipboard.writeFileReferences(
        {path("from/2.txt"), path("from/./1.txt"), path("to/../from/3.txt")});
    desktop.advance(3.0);
    EXPECT_EQ(monitor().cutPaths(), threeFiles());
    EXPECT_EQ(desktop.log.count("cut", "Zwischenablage geändert – Ausschneiden verworfen"), 0);
    EXPECT_EQ(desktop.clipboard.fileListReads - reads, 1);  // once for the change, not on every tick

    // The watch keeps comparing: other content later still drops it.
    desktop.clipboard.writeText("x");
    desktop.advance(0.5);
    EXPECT_TRUE(monitor().cutPaths().empty());
}

TEST_F(CutAndPaste, PasteWithNothingCutCopiesAsUsual) {
    auto& from = fm.openWindow(tmp / "from");
    from.select({"1.txt"});
    desktop.press(Key::C, Command);  // Finder's own copy, not a cut
    fm.openWindow(tmp / "to");
    EXPECT_FALSE(desktop.press(Key::V, Command));
    EXPECT_TRUE(std::filesystem::exists(tmp / "to/1.txt"));
    EXPECT_TRUE(std::filesystem::exists(tmp / "from/1.txt"));
    EXPECT_EQ(desktop.log.count("cut", "⌘V normal (ausgeschnitten: 0, Zwischenablage: 1)"), 1);
}

TEST_F(CutAndPaste, PasteAfterOtherFilesWereCopiedCopiesAndKeepsNothingCut) {
    auto& from = cutThreeFiles();
    from.select({"1.txt"});
    desktop.press(Key::C, Command);
    fm.openWindow(tmp / "to");
    EXPECT_FALSE(desktop.press(Key::V, Command));
    EXPECT_EQ(desktop.log.count("cut", "⌘V normal (ausgeschnitten: 3, Zwischenablage: 1)"), 1);
    EXPECT_TRUE(std::filesystem::exists(tmp / "from/1.txt"));
    EXPECT_TRUE(std::filesystem::exists(tmp / "to/1.txt"));
}

struct Combination {
    const char* name;
    Key key;
    std::uint64_t flags;
    bool swallowed;
};

void PrintTo(const Combination& combination, std::ostream* out) {
    *out << combination.name;
}

class KeyCombinations : public CutAndPaste, public ::testing::WithParamInterface<Combination> {};

TEST_P(KeyCombinations, OnlyCommandAloneWithXOrVIsTaken) {
    auto& from = fm.openWindow(tmp / "from");
    from.select({"1.txt"});
    auto combination = GetParam();
    EXPECT_EQ(desktop.press(combination.key, combination.flags), combination.swallowed);
    desktop.advance(1.5);
    EXPECT_EQ(!monitor().cutPaths().empty(), combination.swallowed && combination.key == Key::X);
}

INSTANTIATE_TEST_SUITE_P(CutAndPaste, KeyCombinations,
                         ::testing::Values(Combination{"CommandX", Key::X, Command, true},
                                           Combination{"CommandXWithCapsLock", Key::X, Command | CapsLock,
                                                       true},
                                           Combination{"CommandXWithFn", Key::X, Command | Function, true},
                                           Combination{"CommandShiftV", Key::V, Command | Shift, false},
                                           Combination{"CommandShiftX", Key::X, Command | Shift, false},
                                           Combination{"CommandOptionX", Key::X, Command | Option, false},
                                           Combination{"ControlCommandX", Key::X, Command | Control, false},
                                           Combination{"PlainX", Key::X, NoModifiers, false},
                                           Combination{"CommandC", Key::C, Command, false},
                                           Combination{"CommandVWithNothingCut", Key::V, Command, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CutAndPaste, ShiftedOrOptionPasteWithACutPassesUntouched) {
    cutThreeFiles();
    fm.openWindow(tmp / "to");
    EXPECT_FALSE(desktop.press(Key::V, Command | Shift));
    EXPECT_FALSE(desktop.press(Key::V, Command | Option));  // Finder's own move shortcut stays Finder's
    desktop.advance(1.0);
    EXPECT_EQ(desktop.log.count("cut", "⌘V → Bewegen 3 Datei(en) (ok)"), 0);
    EXPECT_EQ(fm.receivedKeys.size(), 2u);
}

TEST_F(CutAndPaste, AutoRepeatedCutIsTreatedLikeAPress) {
    auto& from = fm.openWindow(tmp / "from");
    from.select({"1.txt"});
    EXPECT_TRUE(desktop.press(Key::X, Command, /*autoRepeat=*/true));
    desktop.advance(0.2);
    EXPECT_EQ(monitor().cutPaths().size(), 1u);
}

TEST_F(CutAndPaste, RenamingAFileKeepsCommandXForTheText) {
    auto& from = fm.openWindow(tmp / "from");
    from.select({"1.txt"});
    fm.startRenaming();
    EXPECT_FALSE(desktop.press(Key::X, Command));
    desktop.advance(1.5);
    EXPECT_EQ(fm.typedKeys.size(), 1u);
    EXPECT_EQ(desktop.log.count("cut", "Taste 7 im Textfeld – unverändert"), 1);
    EXPECT_TRUE(monitor().cutPaths().empty());

    fm.focusSearchField();
    EXPECT_FALSE(desktop.press(Key::V, Command));
    EXPECT_EQ(desktop.log.count("cut", "Taste 9 im Textfeld – unverändert"), 1);
}

TEST_F(CutAndPaste, AnotherApplicationGetsItsKeysUntouchedAndNothingIsLogged) {
    auto& editor = desktop.applications.launch("com.example.Editor");
    desktop.applications.activate(editor);
    auto linesBefore = desktop.log.lines.size();
    EXPECT_FALSE(desktop.press(Key::X, Command));
    EXPECT_FALSE(desktop.press(Key::V, Command));
    EXPECT_EQ(editor.receivedKeys.size(), 2u);

    auto& nameless = desktop.applications.launch(std::nullopt);
    desktop.applications.activate(nameless);
    EXPECT_FALSE(desktop.press(Key::X, Command));
    desktop.applications.deactivateAll();
    EXPECT_FALSE(desktop.press(Key::X, Command));
    desktop.advance(2);
    EXPECT_EQ(desktop.log.lines.size(), linesBefore);
}

TEST_F(CutAndPaste, SwitchingTheFeatureOffClearsTheCutAtOnce) {
    cutThreeFiles();
    desktop.defaults.setBool(Settings::cutPasteKey, false);
    monitor().update();
    EXPECT_TRUE(monitor().cutPaths().empty());
    EXPECT_EQ(sim.statusItem().icon.image, "macwindow");
    EXPECT_EQ(desktop.eventTaps.listeningTapCount(), 0);
    EXPECT_EQ(desktop.eventTaps.liveTapCount(), 0);
    EXPECT_FALSE(desktop.press(Key::X, Command));

    desktop.defaults.setBool(Settings::cutPasteKey, true);
    monitor().update();
    monitor().update();  // already running: no second tap
    EXPECT_EQ(desktop.eventTaps.liveTapCount(), 1);
    EXPECT_EQ(desktop.log.count("cut", "Event-Tap aktiv"), 2);
}

TEST_F(CutAndPaste, SwitchingOffRightAfterACutLeavesNothingCut) {
    auto& from = fm.openWindow(tmp / "from");
    from.select({"1.txt"});
    EXPECT_TRUE(desktop.press(Key::X, Command));
    desktop.loop.runPending();  // the copy item is pressed; the pickups are still due
    EXPECT_EQ(fm.copies, 1);
    desktop.defaults.setBool(Settings::cutPasteKey, false);
    monitor().update();
    desktop.advance(2.0);
    EXPECT_TRUE(monitor().cutPaths().empty());
    EXPECT_EQ(sim.statusItem().icon.image, "macwindow");
    EXPECT_TRUE(desktop.distributedNotifications.posted.empty());
    // The size badge keeps its own timer while the file manager is in front; it is not under test here.
    desktop.defaults.setBool(Settings::selectionSizeKey, false);
    sim.app->finderOverlayController().updateTimer();
    EXPECT_EQ(desktop.loop.pendingTaskCount(), 1u);  // the favourites' minute check only: no clipboard watch
}

TEST_F(CutAndPaste, MissingCopyItemLosesTheKeyPress) {
    fm.removeMenuItem(SimFinder::copyItem);
    auto& from = fm.openWindow(tmp / "from");
    from.select({"1.txt"});
    EXPECT_TRUE(desktop.press(Key::X, Command));
    desktop.advance(1.5);
    EXPECT_EQ(desktop.log.count("cut", "⌘X → Kopieren (Menüpunkt nicht gefunden)"), 1);
    EXPECT_TRUE(monitor().cutPaths().empty());
    EXPECT_EQ(monitor().cutGeneration(), 0);
    EXPECT_EQ(desktop.clipboard.changeCount(), 0);
}

TEST_F(CutAndPaste, FailingMoveItemStillClearsTheCutHalfASecondLater) {
    cutThreeFiles();
    fm.menuItem(SimFinder::moveItem)->pressFails = true;
    fm.openWindow(tmp / "to");
    EXPECT_TRUE(desktop.press(Key::V, Command));
    desktop.advance(0.1);
    EXPECT_EQ(desktop.log.count("cut", "⌘V → Bewegen 3 Datei(en) (Menüpunkt nicht gefunden)"), 1);
    EXPECT_TRUE(std::filesystem::exists(tmp / "from/1.txt"));
    desktop.advance(0.4);
    EXPECT_TRUE(monitor().cutPaths().empty());
}

TEST_F(CutAndPaste, DiscardingFromTheStatusMenu) {
    auto& from = fm.openWindow(tmp / "from");
    from.select({"1.txt", "2.txt"});
    desktop.press(Key::X, Command);
    desktop.advance(0.2);

    auto menu = sim.statusItem().openMenu();
    ASSERT_GE(menu.size(), 3u);
    EXPECT_EQ(menu[0].title, "Larkspire");
    EXPECT_TRUE(menu[1].isSeparator);
    EXPECT_EQ(menu[2].title, "2 Datei(en) ausgeschnitten – verwerfen");
    EXPECT_EQ(menu[2].image, "scissors");
    EXPECT_EQ(sim.statusItem().icon,
              (StatusIcon{"scissors", "Ausgeschnitten", " 2",
                          "2 Datei(en) ausgeschnitten – mit ⌘V im Finder verschieben"}));

    EXPECT_TRUE(sim.statusItem().choose("2 Datei(en) ausgeschnitten – verwerfen"));
    EXPECT_EQ(desktop.log.count("cut", "Ausschneiden verworfen"), 1);
    EXPECT_EQ(sim.statusItem().icon.image, "macwindow");
    EXPECT_EQ(sim.statusItem().icon.title, "");
    auto after = sim.statusItem().openMenu();
    EXPECT_TRUE(std::none_of(after.begin(), after.end(), [](const MenuItem& item) {
        return item.title.find("verwerfen") != std::string::npos;
    }));
}

// Start-up without the permission: the tap comes by itself once the user grants it.
TEST(CutAndPastePermission, GrantedWhileWaitingGivesTheTapWithinTwoSeconds) {
    SimApp sim;
    sim.launch();
    auto& monitor = sim.app->cutPasteMonitor();
    EXPECT_EQ(sim.desktop.accessibility.prompts, 1);
    EXPECT_EQ(sim.desktop.log.count("cut", "Kein Bedienungshilfen-Zugriff – warte"), 1);
    EXPECT_FALSE(monitor.isTapInstalled());

    monitor.update();  // a second call logs again but starts no second wait
    sim.desktop.advance(7.0);
    EXPECT_EQ(sim.desktop.log.count("cut", "Kein Bedienungshilfen-Zugriff – warte"), 2);
    EXPECT_EQ(sim.desktop.eventTaps.createAttempts, 0);

    sim.desktop.advance(0.3);
    sim.desktop.accessibility.trusted = true;
    sim.desktop.advance(2.0);
    EXPECT_TRUE(monitor.isTapInstalled());
    EXPECT_FALSE(monitor.isWaitingForPermission());
    EXPECT_EQ(sim.desktop.log.count("cut", "Event-Tap aktiv"), 1);
    EXPECT_EQ(sim.desktop.eventTaps.createAttempts, 1);
}

TEST(CutAndPastePermission, SwitchingOffWhileWaitingEndsTheWait) {
    SimApp sim;
    sim.launch();
    auto& monitor = sim.app->cutPasteMonitor();
    sim.desktop.defaults.setBool(Settings::cutPasteKey, false);
    monitor.update();
    EXPECT_FALSE(monitor.isWaitingForPermission());
    sim.desktop.accessibility.trusted = true;
    sim.desktop.advance(5);
    EXPECT_FALSE(monitor.isTapInstalled());
}

TEST(CutAndPastePermission, OffAtStartUpInstallsNothing) {
    SimApp sim;
    sim.desktop.accessibility.trusted = true;
    sim.desktop.defaults.setBool(Settings::cutPasteKey, false);
    sim.launch();
    EXPECT_EQ(sim.desktop.eventTaps.createAttempts, 0);
    EXPECT_FALSE(sim.desktop.press(Key::X, Command));
}

}  // namespace
