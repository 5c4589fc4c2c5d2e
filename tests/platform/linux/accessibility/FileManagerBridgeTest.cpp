#include "platform/linux/accessibility/FileManagerBridge.h"

#include "app/Settings.h"
#include "overlay/ByteCountFormatter.h"
#include "overlay/FinderOverlayController.h"
#include "platform/sim/Desktop.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace larkspire;
using namespace larkspire::linux_desktop;

namespace {

// The window list as an X11 session would give it, set by hand.
class FakeDesktopWindows : public DesktopWindows {
  public:
    std::vector<DesktopWindow> windows() override {
        ++reads;
        return list;
    }
    std::optional<std::uint32_t> activeWindow() override { return active; }
    double primaryScreenHeight() const override { return 800; }
    std::optional<std::uint64_t> changes() override { return reported; }
    std::shared_ptr<void> observeActivations(std::function<void()> handler) override {
        onActivation = std::move(handler);
        return nullptr;
    }
    void activate(std::optional<std::uint32_t> window) {
        active = window;
        if (onActivation) onActivation();
    }

    std::vector<DesktopWindow> list;
    std::optional<std::uint32_t> active;
    std::function<void()> onActivation;
    std::optional<std::uint64_t> reported;  // a window system that reports its changes counts them here
    int reads = 0;
};

constexpr std::int32_t thunarPid = 4242;
constexpr std::int32_t terminalPid = 99;
constexpr double rowHeight = 24;
const std::string folder = "/home/anna/Projekt";

// An ordinary window on screen; the window manager adds a title bar of 24 and a border of 1.
DesktopWindow listed(std::uint32_t number, std::int32_t pid, std::string title, Rect client) {
    return DesktopWindow{.number = number,
                         .processIdentifier = pid,
                         .title = std::move(title),
                         .client = client,
                         .frame = Rect{client.x - 1, client.y - 25, client.width + 2, client.height + 26},
                         .onScreen = true};
}

// A list view whose rows start at the top of the viewport, one per name.
FileManagerWindow listView(std::int32_t pid, std::string title, std::optional<Rect> frame, Rect viewport,
                           const std::vector<std::string>& names, const std::set<std::string>& selected,
                           std::optional<std::string> in = folder) {
    FileManagerWindow window{.processIdentifier = pid, .kind = FileManagerKind::thunar};
    window.view = FileManagerView{.title = std::move(title),
                                  .frame = frame,
                                  .folder = std::move(in),
                                  .viewport = viewport,
                                  .exposesItems = true};
    double y = viewport.y;
    for (const auto& name : names) {
        window.view.items.push_back(FileManagerItem{.name = name,
                                                    .extents = Rect{viewport.x, y, viewport.width, rowHeight},
                                                    .selected = selected.contains(name)});
        y += rowHeight;
    }
    return window;
}

class BadgeOverFileManagerWindows : public ::testing::Test {
  protected:
    void SetUp() override {
        desktop.files.addFile(folder + "/a.pdf", 1'500'000);
        desktop.files.addFile(folder + "/b.mov", 700'000);
        desktop.files.addFile(folder + "/Fotos/c.jpg", 34'000);
        desktop.files.addFile(folder + "/d.txt", 10);
        desktop.defaults.registerDefaults(Settings::registeredDefaults());
        // Input devices stay closed to this user: the badge must not need them.
        desktop.accessibility.trusted = false;
    }

    void start() {
        desktop.useFileManagers(*bridge, *bridge, *bridge, *bridge);
        controller = FinderOverlayController::create(FinderOverlayPorts::from(desktop.ports()));
        controller->start();
    }

    // Nautilus in front with a.pdf and b.mov selected and b.mov cut; its view measures from its window.
    FileManagerWindow showNautilus(Rect client, Rect frame) {
        x11.list = {listed(0x2400007, 5151, "Projekt", client)};
        x11.active = 0x2400007;
        auto window = listView(5151, "Projekt", frame, Rect{0, 46, frame.width, frame.height - 46},
                               {"a.pdf", "b.mov"}, {"a.pdf", "b.mov"});
        window.kind = FileManagerKind::nautilus;
        window.view.coordinates = Coordinates::window;
        window.view.active = true;
        bridge->setWindows({window});
        start();
        controller->setCutPaths({folder + "/b.mov"});
        desktop.advance(0.5);
        return window;
    }

    const OverlayView* viewOver(std::uint32_t number) {
        auto found = controller->overlayWindows().find(number);
        return found == controller->overlayWindows().end() ? nullptr : &found->second->overlayView;
    }
    std::vector<std::uint32_t> decorated() {
        std::vector<std::uint32_t> numbers;
        for (const auto& [number, overlay] : controller->overlayWindows()) numbers.push_back(number);
        return numbers;
    }

    sim::Desktop desktop;
    FakeDesktopWindows x11;
    std::shared_ptr<FileManagerBridge> bridge =
        FileManagerBridge::create(desktop.loop, x11, FinderOverlayController::finderBundleIdentifier);
    std::shared_ptr<FinderOverlayController> controller;
};

TEST_F(BadgeOverFileManagerWindows, ThreeSelectedItemsShowTheirTotalAtTheLowerLeftOfTheMatchedWindow) {
    const Rect client{100, 150, 800, 500};
    const Rect viewport{280, 210, 620, 440};
    x11.list = {listed(0x1200003, thunarPid, "Projekt - Thunar", client),
                listed(0x800001, terminalPid, "Terminal", Rect{0, 0, 1280, 800})};
    x11.active = 0x1200003;
    std::vector<bool> wanted;
    bridge->followWanted([this] { return desktop.defaults.boolForKey(Settings::selectionSizeKey); },
                         [&wanted](bool on) { wanted.push_back(on); });
    // Larkspire starts before the bus has told it anything; the first report brings the badge.
    start();
    EXPECT_FALSE(controller->isActive());
    EXPECT_EQ(wanted, std::vector<bool>{true});
    bridge->setWindows(
        {listView(thunarPid, "Projekt - Thunar",
                  Rect{client.x - 1, client.y - 25, client.width + 2, client.height + 26}, viewport,
                  {"a.pdf", "b.mov", "d.txt", "Fotos"}, {"a.pdf", "b.mov", "Fotos"})});
    desktop.advance(0.5);

    EXPECT_EQ(decorated(), std::vector<std::uint32_t>{0x1200003});
    auto* view = viewOver(0x1200003);
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(view->label);
    EXPECT_EQ(view->label->text, "Auswahl: 2,2 MB");
    double textWidth = desktop.textMetrics.measure(view->label->text, OverlayLabel::font).width;
    // 10 in from the viewport's left edge and up from its bottom, in the window's bottom-left space.
    EXPECT_EQ(view->label->rect, (Rect{190, 10, textWidth + 20, 22}));
    auto visible = desktop.overlaySurfaces.visible();
    ASSERT_EQ(visible.size(), 1u);
    EXPECT_EQ(visible[0]->above, 0x1200003u);
    EXPECT_EQ(visible[0]->frame(), (Rect{100, 800 - 650, 800, 500}));
    EXPECT_EQ(desktop.log.count("overlay", "Auswahl-Schild: Auswahl: 2,2 MB"), 1);

    // The terminal comes to the front: the badge goes, as nothing is cut.
    x11.activate(0x800001);
    desktop.advance(0.2);
    EXPECT_TRUE(decorated().empty());
    EXPECT_FALSE(controller->isActive());
}

// Where the window system reports its changes, a badge over a window that stays put costs no read of
// the window list, however often it is refreshed; a move is followed at the next refresh.
TEST_F(BadgeOverFileManagerWindows, AnUnchangedWindowListIsNotReadAgainAndAMoveIsFollowed) {
    const Rect client{100, 150, 800, 500};
    x11.list = {listed(0x1200003, thunarPid, "Projekt - Thunar", client)};
    x11.active = 0x1200003;
    x11.reported = 7;
    start();
    bridge->setWindows({listView(thunarPid, "Projekt - Thunar", std::nullopt, Rect{280, 210, 620, 440},
                                 {"a.pdf", "b.mov"}, {"a.pdf"})});
    desktop.advance(0.5);
    ASSERT_EQ(decorated(), std::vector<std::uint32_t>{0x1200003});
    int reads = x11.reads;
    desktop.advance(6.0);  // fifty refreshes
    EXPECT_EQ(x11.reads, reads);

    x11.list = {listed(0x1200003, thunarPid, "Projekt - Thunar", Rect{300, 150, 800, 500})};
    x11.reported = 8;
    desktop.advance(FinderOverlayController::refreshInterval);
    EXPECT_EQ(x11.reads, reads + 1);
    EXPECT_EQ(desktop.overlaySurfaces.visible().at(0)->frame().x, 300);
}

TEST_F(BadgeOverFileManagerWindows, CutItemsAreGreyedInTheirRowsWhileAnotherProgramIsInFront) {
    const Rect client{100, 150, 800, 500};
    const Rect viewport{280, 210, 620, 440};
    x11.list = {listed(0x800001, terminalPid, "Terminal", Rect{0, 0, 1280, 800}),
                listed(0x1200003, thunarPid, "Projekt - Thunar", client)};
    x11.active = 0x800001;
    desktop.defaults.setBool(Settings::selectionSizeKey, false);
    // The bus is read only while something is cut or the badge is switched on.
    std::vector<std::string> cut;
    std::vector<bool> wanted;
    bridge->followWanted([&cut] { return !cut.empty(); }, [&wanted](bool on) { wanted.push_back(on); });
    bridge->setWindows({listView(thunarPid, "Projekt - Thunar", std::nullopt, viewport,
                                 {"a.pdf", "b.mov", "d.txt", "Fotos"}, {"a.pdf"})});
    start();
    EXPECT_EQ(wanted, std::vector<bool>{false});

    cut = {folder + "/b.mov", folder + "/d.txt", "/home/anna/Anderes/a.pdf"};
    controller->setCutPaths(cut);
    EXPECT_EQ(wanted, (std::vector<bool>{false, true}));
    desktop.advance(0.2);
    auto* view = viewOver(0x1200003);
    ASSERT_NE(view, nullptr);
    // Rows 2 and 3, full viewport width, measured from the window's bottom edge.
    EXPECT_EQ(view->rects,
              (std::vector<Rect>{Rect{180, 650 - 234 - 24, 620, 24}, Rect{180, 650 - 258 - 24, 620, 24}}));
    EXPECT_FALSE(view->label);

    controller->setCutPaths({});
    desktop.advance(0.2);
    EXPECT_TRUE(decorated().empty());
}

TEST_F(BadgeOverFileManagerWindows, TwoWindowsOfOneFolderWithOneTitleAreToldApartByTheirPlace) {
    const Rect front{600, 100, 600, 400}, back{50, 300, 600, 400};
    x11.list = {listed(0x1200010, thunarPid, "Projekt - Thunar", front),
                listed(0x1200003, thunarPid, "Projekt - Thunar", back),
                listed(0x800001, terminalPid, "Terminal", Rect{0, 0, 1280, 800})};
    x11.active = 0x800001;
    auto frame = [](Rect c) { return Rect{c.x - 1, c.y - 25, c.width + 2, c.height + 26}; };
    auto viewportOf = [](Rect c) { return Rect{c.x + 150, c.y + 50, c.width - 150, c.height - 50}; };
    // The bus lists the back window first; only where each view is tells them apart.
    bridge->setWindows({
        listView(thunarPid, "Projekt - Thunar", frame(back), viewportOf(back), {"d.txt", "Fotos"}, {}),
        listView(thunarPid, "Projekt - Thunar", frame(front), viewportOf(front), {"a.pdf", "b.mov"}, {}),
    });
    start();
    controller->setCutPaths({folder + "/a.pdf", folder + "/d.txt"});
    desktop.advance(0.5);

    // Each window greys its own first row, 50 below its top and 150 in from its left.
    for (auto number : {0x1200010u, 0x1200003u}) {
        ASSERT_NE(viewOver(number), nullptr);
        EXPECT_EQ(viewOver(number)->rects, (std::vector<Rect>{Rect{150, 400 - 50 - 24, 450, 24}}));
    }
}

TEST_F(BadgeOverFileManagerWindows, AViewReadBeforeItsWindowWasNamedIsMatchedByItsPlace) {
    const Rect front{600, 100, 600, 400}, back{50, 300, 600, 400};
    x11.list = {listed(0x1200010, thunarPid, "Andere - Thunar", front),
                listed(0x1200003, thunarPid, "Projekt - Thunar", back)};
    x11.active = 0x1200003;
    bridge->setWindows(
        {listView(thunarPid, "", Rect{back.x - 1, back.y - 25, back.width + 2, back.height + 26},
                  Rect{200, 350, 450, 350}, {"a.pdf"}, {"a.pdf"})});
    start();
    desktop.advance(0.5);
    EXPECT_EQ(decorated(), std::vector<std::uint32_t>{0x1200003});
}

TEST_F(BadgeOverFileManagerWindows, NautilusMeasuresFromItsWindowAndIsMovedOntoTheScreen) {
    showNautilus(Rect{300, 120, 900, 600}, Rect{0, 0, 900, 600});

    auto* view = viewOver(0x2400007);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->rects, (std::vector<Rect>{Rect{0, 600 - 70 - 24, 900, 24}}));
    ASSERT_TRUE(view->label);
    EXPECT_EQ(view->label->text, "Auswahl: 2,2 MB");
    EXPECT_EQ(view->label->rect.x, 10);
    EXPECT_EQ(view->label->rect.y, 10);
}

// Without a compositor GTK 4 keeps a resize border inside its X11 window (5 px here: it reports its
// frame as 890×590 in a 900×600 window); the greys and the badge must sit on the rows, not 5 px off.
TEST_F(BadgeOverFileManagerWindows, NautilusRowsAreMovedPastTheBorderInsideItsWindow) {
    auto window = showNautilus(Rect{200, 100, 900, 600}, Rect{0, 0, 890, 590});

    auto* view = viewOver(0x2400007);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->rects, (std::vector<Rect>{Rect{5, 600 - (5 + 70) - 24, 890, 24}}));
    ASSERT_TRUE(view->label);
    EXPECT_EQ(view->label->rect.x, 5 + 10);
    EXPECT_EQ(view->label->rect.y, 5 + 10);

    // A frame reported larger than the window, or absurdly small, is no border: nothing is moved.
    for (Rect garbled : {Rect{0, 0, 1200, 900}, Rect{0, 0, 10, 10}}) {
        window.view.frame = garbled;
        bridge->setWindows({window});
        desktop.advance(0.5);
        view = viewOver(0x2400007);
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(view->rects, (std::vector<Rect>{Rect{0, 600 - 70 - 24, 890, 24}}));
    }
}

// GNOME Shell lists a native Nautilus with its surface, shadows drawn unevenly around the window
// (61 px at the sides, 55 above, 67 below); its rows count from the window as drawn, not the surface.
TEST_F(BadgeOverFileManagerWindows, OnGnomeShellNautilusRowsCountFromTheWindowInsideItsShadows) {
    x11.list = {DesktopWindow{.number = 7,
                              .processIdentifier = 5151,
                              .title = "Projekt",
                              .client = Rect{133, 49, 1012, 672},
                              .frame = Rect{194, 104, 890, 550},
                              .onScreen = true,
                              .windowRelativeExtents = true}};
    x11.active = 7;
    auto window = listView(5151, "Projekt", Rect{0, 0, 890, 550}, Rect{0, 46, 890, 504}, {"a.pdf", "b.mov"},
                           {"a.pdf", "b.mov"});
    window.kind = FileManagerKind::nautilus;
    window.view.active = true;
    bridge->setWindows({window});
    start();
    controller->setCutPaths({folder + "/b.mov"});
    desktop.advance(0.5);

    auto* view = viewOver(7);
    ASSERT_NE(view, nullptr);
    // b.mov spans 70 to 94 below the window's top, 104 + 70 on the screen: 125 below the surface's
    // top, which lies at 49.
    EXPECT_EQ(view->rects, (std::vector<Rect>{Rect{61, 672 - 125 - 24, 890, 24}}));
    ASSERT_TRUE(view->label);
    EXPECT_EQ(view->label->rect.x, 61 + 10);
    EXPECT_EQ(view->label->rect.y, 67 + 10);
}

// Native Wayland programs measure from their own area, wherever the compositor put it, and say the
// same rows for two windows of one size: each is placed by its window in the compositor's list.
TEST_F(BadgeOverFileManagerWindows, OnWaylandRowsMeasuredFromTheWindowArePlacedByTheCompositorsWindow) {
    auto wayland = [](DesktopWindow window) {
        window.windowRelativeExtents = true;
        return window;
    };
    x11.list = {wayland(listed(21, thunarPid, "Projekt - Thunar", Rect{642, 25, 636, 693})),
                wayland(listed(20, thunarPid, "Andere - Thunar", Rect{2, 25, 636, 693}))};
    x11.active = 21;
    auto projekt = listView(thunarPid, "Projekt - Thunar", Rect{0, 0, 636, 693}, Rect{171, 94, 465, 572},
                            {"a.pdf", "b.mov"}, {"a.pdf", "b.mov"});
    projekt.view.active = true;
    auto andere =
        listView(thunarPid, "Andere - Thunar", Rect{0, 0, 636, 693}, Rect{171, 94, 465, 572}, {"d.txt"}, {});
    bridge->setWindows({andere, projekt});
    start();
    controller->setCutPaths({folder + "/b.mov"});
    desktop.advance(0.5);

    auto* view = viewOver(21);
    ASSERT_NE(view, nullptr);
    // b.mov is the second row: 94 + 24 from the window's top, 171 from its left.
    EXPECT_EQ(view->rects, (std::vector<Rect>{Rect{171, 693 - 118 - 24, 465, 24}}));
    ASSERT_TRUE(view->label);
    EXPECT_EQ(view->label->text, "Auswahl: 2,2 MB");
    EXPECT_EQ(view->label->rect.x, 171 + 10);
    EXPECT_EQ(decorated(), std::vector<std::uint32_t>{21});
}

// Each case is a window that must stay undecorated although it is active and has a selection.
struct Undecorated {
    const char* name;
    std::function<void(DesktopWindow&, FileManagerWindow&)> change;
};

class WindowsWithNothingToShow : public BadgeOverFileManagerWindows,
                                 public ::testing::WithParamInterface<Undecorated> {};

TEST_P(WindowsWithNothingToShow, GetNoBadgeAndNoGrey) {
    const Rect client{100, 150, 800, 500};
    auto x = listed(0x1200003, thunarPid, "Projekt - Thunar", client);
    auto fm = listView(thunarPid, "Projekt - Thunar", std::nullopt, Rect{280, 210, 620, 440},
                       {"a.pdf", "b.mov"}, {"a.pdf", "b.mov"});
    fm.view.active = true;
    GetParam().change(x, fm);
    x11.list = {x};
    x11.active = 0x1200003;
    bridge->setWindows({fm});
    start();
    controller->setCutPaths({folder + "/a.pdf"});
    desktop.advance(0.5);
    EXPECT_TRUE(decorated().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WindowsWithNothingToShow,
    ::testing::Values(
        Undecorated{"Minimised", [](DesktopWindow& x, FileManagerWindow&) { x.onScreen = false; }},
        Undecorated{"NotInTheWindowList",
                    [](DesktopWindow& x, FileManagerWindow&) { x.title = "Andere - Thunar"; }},
        Undecorated{"OtherProcess", [](DesktopWindow& x, FileManagerWindow&) { x.processIdentifier = 4243; }},
        Undecorated{"IconViewListingNothing",
                    [](DesktopWindow&, FileManagerWindow& fm) { fm.view.exposesItems = false; }},
        Undecorated{"NoFolder", [](DesktopWindow&, FileManagerWindow& fm) { fm.view.folder.reset(); }},
        Undecorated{"RelativeFolder",
                    [](DesktopWindow&, FileManagerWindow& fm) { fm.view.folder = "home/anna/Projekt"; }},
        Undecorated{"NaNViewport",
                    [](DesktopWindow&, FileManagerWindow& fm) {
                        fm.view.viewport->width = std::numeric_limits<double>::quiet_NaN();
                    }},
        Undecorated{"RowsScrolledAway",
                    [](DesktopWindow&, FileManagerWindow& fm) {
                        for (auto& item : fm.view.items)
                            item.extents = Rect{-2147483648.0, -2147483648.0, 1, 1};
                    }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BadgeOverFileManagerWindows, GarbageFromTheBusNeverNamesAWrongFile) {
    const Rect client{100, 150, 800, 500};
    const Rect viewport{280, 210, 620, 440};
    x11.list = {listed(0x1200003, thunarPid, "Projekt - Thunar", client)};
    x11.active = 0x1200003;
    auto nan = std::numeric_limits<double>::quiet_NaN();
    auto fm = listView(thunarPid, "Projekt - Thunar", Rect{nan, nan, nan, nan}, viewport,
                       {"../geheim.txt", "..", ".", "", std::string("x\0y", 3), "a/b.txt", "d.txt"},
                       {"../geheim.txt", "..", ".", "", std::string("x\0y", 3), "a/b.txt", "d.txt"});
    fm.view.folder = folder + "//";
    // A selected row that is not a number, and 100,000 rows claiming one spot.
    fm.view.items.insert(
        fm.view.items.begin(),
        FileManagerItem{.name = "a.pdf", .extents = Rect{nan, 210, 620, 24}, .selected = true});
    for (int i = 0; i < 100'000; ++i)
        fm.view.items.push_back(
            FileManagerItem{.name = "viele-" + std::to_string(i), .extents = Rect{280, 400, 620, 24}});
    bridge->setWindows({fm});
    start();
    // Every path a careless join or a cut at NUL would make.
    controller->setCutPaths({"/home/anna/geheim.txt", "/home/anna", folder, folder + "/x",
                             folder + "/a/b.txt", folder + "/a.pdf", folder + "/viele-5"});
    desktop.advance(0.5);

    auto* view = viewOver(0x1200003);
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(view->label);
    // Only d.txt is a sound, visible, selected item: 10 bytes.
    EXPECT_EQ(view->label->text, "Auswahl: " + stringFromByteCount(10));
    // Of all the cut paths only the sound row "viele-5" is on screen.
    EXPECT_EQ(view->rects, (std::vector<Rect>{Rect{180, 650 - 424, 620, 24}}));
}

}  // namespace
