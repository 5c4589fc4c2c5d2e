#include "app/Settings.h"
#include "support/SimApp.h"

#include <gtest/gtest.h>

using namespace larkspire;
using namespace larkspire::sim;
using larkspire::testing::SimApp;

namespace {

// A user with the permission granted, the file manager in front and a folder of five files.
class SelectionBadge : public ::testing::Test {
  protected:
    void SetUp() override {
        desktop.accessibility.trusted = true;
        desktop.finderExtension.enabled = true;
        desktop.files.addFile(folder + "/a.pdf", 1'500'000);
        desktop.files.addFile(folder + "/b.mov", 700'000);
        desktop.files.addFile(folder + "/Fotos/c.jpg", 34'000);
        desktop.files.addFile(folder + "/d.txt", 10);
        desktop.files.addFile(folder + "/e.txt", 20);
    }

    SimFinderWindow& openFolder() {
        return fm.openWindow(folder, {"a.pdf", "b.mov", "Fotos", "d.txt", "e.txt"});
    }
    FinderOverlayController& overlay() { return sim.app->finderOverlayController(); }
    std::vector<SimOverlaySurface*> visible() { return desktop.overlaySurfaces.visible(); }
    // The one visible badge window above the given window.
    SimOverlaySurface* surfaceOver(const SimFinderWindow& window) {
        SimOverlaySurface* found = nullptr;
        for (auto* surface : visible())
            if (surface->above == static_cast<std::uint32_t>(window.number)) {
                EXPECT_EQ(found, nullptr) << "two badge windows over one window";
                found = surface;
            }
        return found;
    }
    const OverlayView* viewOver(const SimFinderWindow& window) {
        auto found = overlay().overlayWindows().find(static_cast<std::uint32_t>(window.number));
        return found == overlay().overlayWindows().end() ? nullptr : &found->second->overlayView;
    }
    static std::vector<std::string> textsIn(const DisplayList& list) {
        std::vector<std::string> texts;
        for (const auto& item : list)
            if (auto* text = std::get_if<Text>(&item.content)) texts.push_back(text->text);
        return texts;
    }
    static int greysIn(const DisplayList& list) {
        int greys = 0;
        for (const auto& item : list)
            if (auto* rect = std::get_if<RoundedRect>(&item.content)) greys += rect->cornerRadius == 4;
        return greys;
    }

    const std::string folder = "/Users/anna/Projekt";
    SimApp sim;
    Desktop& desktop = sim.desktop;
    SimFinder& fm = desktop.fileManager();
};

TEST_F(SelectionBadge, ShowsComputingThenTheTotalInTheLowerLeftCornerOfTheFileArea) {
    auto& window = openFolder();
    window.moveTo(300, 200);
    window.select({"a.pdf", "b.mov", "Fotos"});
    sim.launch();

    auto* view = viewOver(window);
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(view->label);
    EXPECT_EQ(view->label->text, "Auswahl: wird berechnet …");

    desktop.advance(0.12);
    ASSERT_TRUE(viewOver(window)->label);
    const auto& label = *viewOver(window)->label;
    EXPECT_EQ(label.text, "Auswahl: 2,2 MB");
    // 10 points in from the left and up from the bottom of the file area, 22 high, text width + 20.
    double textWidth = desktop.textMetrics.measure(label.text, OverlayLabel::font).width;
    EXPECT_EQ(label.rect, (Rect{10, 10, textWidth + 20, 22}));
    EXPECT_TRUE(label.isPill);

    auto* surface = surfaceOver(window);
    ASSERT_NE(surface, nullptr);
    // Over the window exactly, in bottom-left screen coordinates.
    EXPECT_EQ(surface->frame(), (Rect{300, 1080 - 700, 800, 500}));
    EXPECT_EQ(textsIn(surface->shown), std::vector<std::string>{"Auswahl: 2,2 MB"});
    EXPECT_EQ(desktop.log.count("overlay", "Auswahl-Schild: Auswahl: wird berechnet …"), 1);
    EXPECT_EQ(desktop.log.count("overlay", "Auswahl-Schild: Auswahl: 2,2 MB"), 1);

    // Nothing selected any more: the badge goes and the change is logged once with a dash.
    window.select({});
    desktop.advance(0.5);
    EXPECT_TRUE(visible().empty());
    EXPECT_EQ(desktop.log.count("overlay", "Auswahl-Schild: –"), 1);
}

TEST_F(SelectionBadge, FollowsTheWindowAndRedrawsOnlyWhenItsContentChanges) {
    auto& window = openFolder();
    window.select({"d.txt"});
    sim.launch();
    desktop.advance(0.12);
    auto* surface = surfaceOver(window);
    ASSERT_NE(surface, nullptr);
    int drawn = surface->displays;

    window.moveTo(40, 60);
    desktop.advance(0.12);
    EXPECT_EQ(surface->frame(), (Rect{40, 1080 - 560, 800, 500}));
    desktop.advance(1.0);
    EXPECT_EQ(surface->displays, drawn);  // moved, not redrawn
}

TEST_F(SelectionBadge, CutItemsAreGreyedInEveryWindowShowingThemAndTheGreyFollowsAScroll) {
    auto& back = openFolder();
    auto& front = openFolder();
    front.select({"b.mov", "d.txt"});
    sim.launch();
    ASSERT_TRUE(desktop.press(Key::X, Command));
    desktop.advance(0.3);
    ASSERT_EQ(sim.app->cutPasteMonitor().cutPaths().size(), 2u);
    desktop.advance(0.12);

    // Rows 1 and 3 of both windows, clipped to the file area; only the focused one has a badge.
    for (auto* window : {&back, &front}) {
        auto* view = viewOver(*window);
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(view->rects,
                  (std::vector<Rect>{Rect{0, 500 - 52 - 40, 800, 20}, Rect{0, 500 - 52 - 80, 800, 20}}));
        EXPECT_EQ(greysIn(surfaceOver(*window)->shown), 2);
    }
    EXPECT_FALSE(viewOver(back)->label);
    ASSERT_TRUE(viewOver(front)->label);

    back.scrollTo(30);
    desktop.advance(0.12);
    // Row 1 is now partly under the toolbar: only its visible part is greyed.
    EXPECT_EQ(viewOver(back)->rects,
              (std::vector<Rect>{Rect{0, 500 - 52 - 10, 800, 10}, Rect{0, 500 - 52 - 50, 800, 20}}));

    // Another application in front: the greys stay, the badge goes.
    auto& mail = desktop.applications.launch("com.example.mail");
    desktop.applications.activate(mail);
    desktop.advance(0.12);
    EXPECT_TRUE(overlay().isActive());
    EXPECT_EQ(viewOver(front)->rects.size(), 2u);
    EXPECT_FALSE(viewOver(front)->label);
}

TEST_F(SelectionBadge, AnotherApplicationInFrontTakesTheBadgeAwayAndTheLogSaysSo) {
    auto& window = openFolder();
    window.select({"a.pdf", "b.mov", "Fotos"});
    sim.launch();
    desktop.advance(0.12);
    ASSERT_NE(surfaceOver(window), nullptr);

    auto& mail = desktop.applications.launch("com.example.mail");
    desktop.applications.activate(mail);
    desktop.advance(0.12);
    EXPECT_TRUE(visible().empty());
    EXPECT_EQ(desktop.log.count("overlay", "Auswahl-Schild: –"), 1);

    // Back in front with the same selection: the badge and its log line return.
    desktop.applications.activate(fm);
    desktop.advance(0.12);
    ASSERT_NE(surfaceOver(window), nullptr);
    EXPECT_EQ(desktop.log.count("overlay", "Auswahl-Schild: Auswahl: 2,2 MB"), 2);
    EXPECT_EQ(desktop.log.count("overlay", "Auswahl-Schild: –"), 1);
}

TEST_F(SelectionBadge, HidingOrQuittingTheFileManagerTakesEveryBadgeWindowAway) {
    auto& window = openFolder();
    window.select({"a.pdf"});
    openFolder();
    sim.launch();
    overlay().setCutPaths({folder + "/a.pdf"});
    desktop.advance(0.12);
    ASSERT_EQ(visible().size(), 2u);

    desktop.applications.hide(fm);
    desktop.advance(0.12);
    EXPECT_TRUE(visible().empty());
    EXPECT_TRUE(overlay().overlayWindows().empty());

    desktop.applications.activate(fm);
    desktop.advance(0.12);
    EXPECT_EQ(visible().size(), 2u);

    desktop.applications.quit(fm);
    desktop.advance(0.12);
    EXPECT_TRUE(visible().empty());
    EXPECT_TRUE(overlay().overlayWindows().empty());
}

TEST_F(SelectionBadge, SwitchedOffItStopsItsTimerAndRemovesEveryWindow) {
    auto& window = openFolder();
    window.select({"a.pdf"});
    sim.launch();
    desktop.advance(0.12);
    ASSERT_EQ(visible().size(), 1u);

    desktop.defaults.setBool(Settings::selectionSizeKey, false);
    overlay().updateTimer();
    EXPECT_FALSE(overlay().isActive());
    EXPECT_TRUE(visible().empty());
    int listings = desktop.windowServer.listings;
    desktop.advance(5.0);
    EXPECT_EQ(desktop.windowServer.listings, listings);  // idle: no more passes
}

TEST_F(SelectionBadge, AnswersThatTimeOutCostAtMostTheTimeoutAndTheBadgeReturnsWithThem) {
    auto& window = openFolder();
    window.select({"a.pdf"});
    sim.launch();
    desktop.advance(0.12);
    ASSERT_EQ(visible().size(), 1u);

    window.answerDelay = 5.0;
    desktop.applications.blockedSeconds = 0;
    desktop.advance(0.12);
    // Each read waited 0.2 s at most, and only the window's top element was asked.
    EXPECT_LE(desktop.applications.blockedSeconds, 3 * FinderOverlayController::messagingTimeout);
    EXPECT_TRUE(visible().empty());

    window.answerDelay = 0;
    desktop.advance(0.12);
    ASSERT_EQ(visible().size(), 1u);
    EXPECT_EQ(viewOver(window)->label->text, "Auswahl: 1,5 MB");
}

TEST_F(SelectionBadge, AWindowOffScreenOrWithoutANumberGetsNoBadgeWindow) {
    auto& window = openFolder();
    window.select({"a.pdf"});
    sim.launch();
    desktop.advance(0.12);
    ASSERT_EQ(visible().size(), 1u);

    window.onScreen = false;
    desktop.advance(0.12);
    EXPECT_TRUE(visible().empty());

    window.onScreen = true;
    window.hasNumber = false;
    desktop.advance(0.12);
    EXPECT_TRUE(visible().empty());
}

TEST_F(SelectionBadge, WithoutThePermissionNothingIsRead) {
    desktop.accessibility.trusted = false;
    openFolder().select({"a.pdf"});
    sim.launch();
    desktop.advance(1.0);
    EXPECT_FALSE(overlay().isActive());
    EXPECT_EQ(desktop.windowServer.listings, 0);
    EXPECT_TRUE(desktop.overlaySurfaces.created.empty());
}

}  // namespace
