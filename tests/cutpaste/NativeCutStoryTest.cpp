#include "app/Settings.h"
#include "support/SimApp.h"
#include "support/TemporaryFolder.h"

#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>

using namespace larkspire;
using namespace larkspire::sim;
using larkspire::testing::SimApp;
using larkspire::testing::TemporaryFolder;

namespace {

// A Linux-shaped desktop: the file manager cuts by itself and marks it on the clipboard. The user
// has not granted the input permission, and the selection badge is off.
class NativeCut : public ::testing::Test {
  protected:
    void SetUp() override {
        for (auto name : {"b.txt", "a.txt", "c.txt"}) tmp.file("from/" + std::string(name));
        desktop.clipboard.nativeCuts = true;
        desktop.finderExtension.enabled = true;
        desktop.defaults.setBool(Settings::selectionSizeKey, false);
        sim.launch();
    }

    CutPasteMonitor& monitor() { return sim.app->cutPasteMonitor(); }
    std::string path(const std::string& relative) { return (tmp / relative).string(); }
    // The file manager cuts: the clipboard changes, and Larkspire reads it shortly after.
    void fileManagerWrites(const std::vector<std::string>& files, FileOperation operation) {
        ASSERT_TRUE(desktop.clipboard.writeFiles(files, operation));
        desktop.advance(0.1);
    }
    int logged(const std::string& message) { return desktop.log.count("cut", message); }

    TemporaryFolder tmp;
    SimApp sim;
    Desktop& desktop = sim.desktop;
};

TEST_F(NativeCut, ACutSetsTheSortedListAndAnnouncesItEverywhere) {
    fileManagerWrites({path("from/c.txt"), path("from/sub/../a.txt")}, FileOperation::cut);

    const std::vector<std::string> expected{path("from/a.txt"), path("from/c.txt")};
    EXPECT_EQ(monitor().cutPaths(), expected);
    EXPECT_EQ(logged("Ausgeschnitten: 2 Datei(en)"), 1);
    EXPECT_EQ(desktop.defaults.stringListForKey(Settings::cutPathsKey), expected);
    EXPECT_EQ(desktop.distributedNotifications.posted,
              std::vector<std::string>{CutPasteMonitor::cutChangedNotification});
    EXPECT_EQ(sim.statusItem().icon.title, " 2");
    EXPECT_EQ(sim.statusItem().icon.image, "scissors");
}

TEST_F(NativeCut, ALoneCutIsAnnouncedWithoutWaitingAndTheLastOfABurstStays) {
    ASSERT_TRUE(desktop.clipboard.writeFiles({path("from/a.txt")}, FileOperation::cut));
    desktop.advance(0);
    EXPECT_EQ(monitor().cutPaths(), std::vector<std::string>{path("from/a.txt")});
    EXPECT_EQ(desktop.distributedNotifications.posted.size(), 1u);

    // The file manager writes twice more at once: the burst is read once more when it settles.
    desktop.advance(0.01);
    ASSERT_TRUE(desktop.clipboard.writeFiles({path("from/b.txt")}, FileOperation::cut));
    ASSERT_TRUE(desktop.clipboard.writeFiles({path("from/c.txt")}, FileOperation::cut));
    desktop.advance(0.01);
    EXPECT_EQ(monitor().cutPaths(), std::vector<std::string>{path("from/a.txt")});
    desktop.advance(CutPasteMonitor::clipboardSettle);
    EXPECT_EQ(monitor().cutPaths(), std::vector<std::string>{path("from/c.txt")});
    EXPECT_EQ(logged("Ausgeschnitten: 1 Datei(en)"), 2);

    // Once a settling time passed without a change, the next change is read at once again.
    desktop.advance(CutPasteMonitor::clipboardSettle);
    ASSERT_TRUE(desktop.clipboard.writeFiles({path("from/b.txt")}, FileOperation::cut));
    desktop.advance(0);
    EXPECT_EQ(monitor().cutPaths(), std::vector<std::string>{path("from/b.txt")});
}

TEST_F(NativeCut, NeitherHookNorPermissionIsUsed) {
    EXPECT_EQ(desktop.accessibility.prompts, 0);
    EXPECT_FALSE(desktop.defaults.boolForKey(Settings::didAskAccessibilityKey));
    EXPECT_FALSE(monitor().isWaitingForPermission());
    EXPECT_EQ(desktop.eventTaps.createAttempts, 0);
    EXPECT_EQ(logged("Event-Tap aktiv"), 0);
    EXPECT_EQ(logged("Kein Bedienungshilfen-Zugriff – warte"), 0);
    EXPECT_TRUE(monitor().followsClipboard());
}

TEST_F(NativeCut, ACopyTextOrUnmarkedFilesDropTheCut) {
    const std::vector<std::string> files{path("from/a.txt"), path("from/b.txt")};
    for (int step = 0; step < 3; ++step) {
        fileManagerWrites(files, FileOperation::cut);
        ASSERT_EQ(monitor().cutPaths(), files);
        if (step == 0) fileManagerWrites(files, FileOperation::copy);
        if (step == 1) desktop.clipboard.writeText("hello");
        if (step == 2) desktop.clipboard.writeFiles(files);
        desktop.advance(0.1);
        EXPECT_TRUE(monitor().cutPaths().empty()) << "step " << step;
    }
    EXPECT_EQ(logged("Zwischenablage geändert – Ausschneiden verworfen"), 3);
    EXPECT_EQ(desktop.defaults.stringListForKey(Settings::cutPathsKey), std::vector<std::string>{});
    EXPECT_EQ(sim.statusItem().icon.image, "macwindow");
}

TEST_F(NativeCut, ACutWithNoFilesOrOnlyVanishedOnesIsNoCut) {
    fileManagerWrites({}, FileOperation::cut);
    fileManagerWrites({path("gone/1"), path("gone/2")}, FileOperation::cut);
    EXPECT_TRUE(monitor().cutPaths().empty());
    EXPECT_TRUE(desktop.distributedNotifications.posted.empty());
}

TEST_F(NativeCut, ACutTooBigToStoreIsStillShownButNotStored) {
    // One real file beside a 5 MB name of control characters, as a hostile clipboard owner offers it.
    std::string hostile = path("from/") + std::string(5 << 20, '\x01');
    fileManagerWrites({path("from/a.txt"), hostile}, FileOperation::cut);
    EXPECT_EQ(monitor().cutPaths().size(), 2u);
    EXPECT_FALSE(desktop.defaults.object(Settings::cutPathsKey));
    EXPECT_EQ(std::count_if(desktop.log.lines.begin(), desktop.log.lines.end(),
                            [](const auto& line) {
                                return line.message.ends_with(
                                    "zu viel zum Speichern, die Liste wird nicht gespeichert");
                            }),
              1);

    // The next cut of ordinary size is stored again.
    fileManagerWrites({path("from/b.txt")}, FileOperation::cut);
    EXPECT_EQ(desktop.defaults.stringListForKey(Settings::cutPathsKey),
              std::vector<std::string>{path("from/b.txt")});
}

TEST_F(NativeCut, PastingElsewhereEndsTheCutOnceAllFilesHaveMoved) {
    fileManagerWrites({path("from/a.txt"), path("from/b.txt")}, FileOperation::cut);
    tmp.folder("to");
    std::filesystem::rename(path("from/a.txt"), path("to/a.txt"));
    desktop.advance(0.5);
    EXPECT_EQ(monitor().cutPaths().size(), 2u);  // one is still there

    std::filesystem::rename(path("from/b.txt"), path("to/b.txt"));
    desktop.advance(0.5);
    EXPECT_TRUE(monitor().cutPaths().empty());
    EXPECT_EQ(logged("Ausgeschnittene Dateien nicht mehr vorhanden – Ausschneiden beendet"), 1);
    EXPECT_EQ(desktop.clipboard.changeCount(), 1);  // the clipboard was left alone
}

TEST_F(NativeCut, DiscardingPutsTheSameFilesBackAsACopy) {
    const std::vector<std::string> files{path("from/a.txt"), path("from/c.txt")};
    fileManagerWrites(files, FileOperation::cut);

    EXPECT_TRUE(sim.statusItem().choose("2 Datei(en) ausgeschnitten – verwerfen"));
    EXPECT_EQ(desktop.clipboard.fileOperation(), FileOperation::copy);
    EXPECT_EQ(desktop.clipboard.paths(), files);
    EXPECT_TRUE(monitor().cutPaths().empty());
    EXPECT_EQ(logged("Ausschneiden verworfen"), 1);
    EXPECT_EQ(logged("Zwischenablage: 2 Datei(en) als Kopie zurückgelegt"), 1);

    // Reading its own copy back changes nothing more.
    desktop.advance(1.0);
    EXPECT_EQ(logged("Zwischenablage geändert – Ausschneiden verworfen"), 0);
    EXPECT_EQ(desktop.distributedNotifications.posted.size(), 2u);
}

TEST_F(NativeCut, ADiscardTheClipboardRefusesKeepsTheCut) {
    fileManagerWrites({path("from/a.txt")}, FileOperation::cut);
    desktop.clipboard.writeFails = true;
    monitor().cancelCut();
    EXPECT_EQ(monitor().cutPaths().size(), 1u);
    EXPECT_EQ(logged("Ausschneiden verworfen"), 0);
    EXPECT_EQ(logged("Zwischenablage nicht beschreibbar – Ausschneiden bleibt bestehen"), 1);
    EXPECT_EQ(desktop.clipboard.fileOperation(), FileOperation::cut);
}

TEST_F(NativeCut, AThousandChangesASecondAreReadAFewTimesOnly) {
    for (int i = 0; i < 1000; ++i) {
        desktop.clipboard.writeFiles({path("from/a.txt")}, i % 2 ? FileOperation::cut : FileOperation::copy);
        desktop.advance(0.001);
    }
    desktop.advance(0.1);
    // Each read that finds the other state announces; reading every change would announce ~1000 times.
    EXPECT_GT(desktop.distributedNotifications.posted.size(), 0u);
    EXPECT_LE(desktop.distributedNotifications.posted.size(), 21u);
    EXPECT_EQ(monitor().cutPaths(), std::vector<std::string>{path("from/a.txt")});  // the last was a cut
}

TEST_F(NativeCut, AnOwnerThatNeverAnswersCostsOneTimeoutAndTheNextCutIsReadAsUsual) {
    fileManagerWrites({path("from/a.txt")}, FileOperation::cut);
    // A program takes the clipboard and hangs: what it holds is never known.
    desktop.clipboard.answerDelay.reset();
    desktop.clipboard.writeFiles({path("from/b.txt")}, FileOperation::cut);
    desktop.advance(Clipboard::readTimeout - 0.1);
    EXPECT_EQ(monitor().cutPaths(), std::vector<std::string>{path("from/a.txt")});
    desktop.advance(0.2);
    EXPECT_TRUE(monitor().cutPaths().empty());
    EXPECT_EQ(logged("Zwischenablage geändert – Ausschneiden verworfen"), 1);
    EXPECT_EQ(sim.statusItem().icon.image, "macwindow");

    // The next program is slow but answers; a change before its answer is what gets read.
    desktop.clipboard.answerDelay = 1.0;
    desktop.clipboard.writeFiles({path("from/a.txt")}, FileOperation::cut);
    desktop.advance(0.5);
    desktop.clipboard.writeFiles({path("from/c.txt")}, FileOperation::cut);
    desktop.advance(0.9);
    EXPECT_TRUE(monitor().cutPaths().empty());
    desktop.advance(0.2);
    EXPECT_EQ(monitor().cutPaths(), std::vector<std::string>{path("from/c.txt")});
    EXPECT_EQ(logged("Ausgeschnitten: 1 Datei(en)"), 2);
}

TEST_F(NativeCut, SwitchingOffStopsFollowingAndOnPicksUpTheCurrentCut) {
    fileManagerWrites({path("from/a.txt")}, FileOperation::cut);
    desktop.defaults.setBool(Settings::cutPasteKey, false);
    monitor().update();
    EXPECT_TRUE(monitor().cutPaths().empty());

    fileManagerWrites({path("from/b.txt")}, FileOperation::cut);
    EXPECT_TRUE(monitor().cutPaths().empty());

    desktop.defaults.setBool(Settings::cutPasteKey, true);
    monitor().update();
    monitor().update();
    desktop.loop.runPending();  // the files are looked at in the background
    EXPECT_EQ(monitor().cutPaths(), std::vector<std::string>{path("from/b.txt")});
    EXPECT_EQ(logged("Ausgeschnitten: 1 Datei(en)"), 2);
}

TEST(NativeCutStartup, ACutMadeBeforeStartIsShownAndOnlyTheBadgeAsksForThePermission) {
    TemporaryFolder tmp;
    auto file = tmp.file("x.txt").string();
    SimApp sim;
    sim.desktop.clipboard.nativeCuts = true;
    sim.desktop.clipboard.writeFiles({file}, FileOperation::cut);
    sim.launch();
    sim.desktop.loop.runPending();
    EXPECT_EQ(sim.app->cutPasteMonitor().cutPaths(), std::vector<std::string>{file});
    // The selection badge (on by default) still reads the file manager through the permission here.
    EXPECT_EQ(sim.desktop.accessibility.prompts, 1);
}

// A cut as a hostile owner may offer it: many files of which only the last in order is still there,
// so finding one that is means looking at every other first.
TEST(NativeCutCost, AHugeCutIsReadOnceAndItsFilesAreNotAllLookedAtEveryHalfSecond) {
    Desktop desktop;
    desktop.clipboard.nativeCuts = true;
    desktop.defaults.registerDefaults(Settings::registeredDefaults());
    std::vector<std::string> files;
    for (int i = 0; i < 19'999; ++i) files.push_back("/weg/Datei " + std::to_string(i));
    files.push_back("/zuletzt");
    std::atomic<bool> lastThere = true;
    std::atomic<int> looked = 0;
    NotificationCenter notifications;
    auto monitor =
        std::make_shared<CutPasteMonitor>(desktop.ports(), notifications, [&](const std::string& file) {
            ++looked;
            return file == "/zuletzt" && lastThere;
        });
    monitor->update();

    desktop.clipboard.writeFiles(files, FileOperation::cut);
    desktop.advance(0.1);
    ASSERT_EQ(monitor->cutPaths().size(), files.size());
    EXPECT_EQ(desktop.clipboard.fileListReads, 1);
    EXPECT_LE(looked, 20'000);

    looked = 0;
    desktop.advance(10.0);  // twenty turns of the watch for a paste that moved them
    EXPECT_EQ(desktop.clipboard.fileListReads, 1);
    EXPECT_LE(looked, 20);
    EXPECT_EQ(monitor->cutPaths().size(), files.size());

    // Once the last one has moved as well, the next turn ends the cut.
    lastThere = false;
    desktop.advance(0.5);
    EXPECT_TRUE(monitor->cutPaths().empty());
    EXPECT_EQ(desktop.log.count("cut", "Ausgeschnittene Dateien nicht mehr vorhanden – Ausschneiden beendet"),
              1);
}

}  // namespace
