#include "platform/qt/compositor/GnomeShellWindows.h"
#include "platform/sim/Recorders.h"

#include <gtest/gtest.h>

using namespace larkspire;
using larkspire::linux_desktop::DesktopWindow;
using larkspire::qt::GnomeShellWindows;

namespace {

// X11's list as XWayland sees it: only the programs running there.
class X11List : public linux_desktop::DesktopWindows, public qt::OverlayStacking {
  public:
    std::vector<DesktopWindow> windows() override { return listed; }
    std::optional<std::uint32_t> activeWindow() override { return 0x400003; }
    double primaryScreenHeight() const override { return 800; }
    std::optional<std::uint64_t> changes() override { return changeCount; }
    std::shared_ptr<void> observeActivations(std::function<void()> handler) override {
        return activations.observe(std::move(handler));
    }
    bool stackAbove(std::uint32_t overlay, std::uint32_t window) override {
        stacked.emplace_back(overlay, window);
        return true;
    }
    bool isCompositing() override { return false; }

    std::vector<DesktopWindow> listed{{.number = 0x400003, .title = "xterm", .onScreen = true}};
    std::uint64_t changeCount = 7;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> stacked;
    Signal activations;
};

// The extension's report of a Nautilus running natively on Wayland, in front of an XWayland xterm.
const std::string report = R"({"windows":[
  {"id":"3509778038","pid":21865,"caption":"Projekt","wmClass":"org.gnome.Nautilus","stackingOrder":2,
   "frame":{"x":194,"y":104,"width":890,"height":550},"client":{"x":133,"y":49,"width":1012,"height":672},
   "onScreen":true,"desktopElement":false,"x11":false},
  {"id":"3509778039","pid":300,"caption":"xterm","wmClass":"XTerm","stackingOrder":1,
   "frame":{"x":0,"y":0,"width":400,"height":300},"client":{"x":0,"y":0,"width":400,"height":300},
   "onScreen":false,"desktopElement":false,"x11":true}],"active":"3509778038"})";

std::vector<std::string> titles(const std::vector<DesktopWindow>& windows) {
    std::vector<std::string> listed;
    for (const auto& window : windows) listed.push_back(window.title);
    return listed;
}

TEST(GnomeShellWindows, TheExtensionsReportTakesOverFromX11UntilItDetaches) {
    sim::RecordingLog log;
    X11List x11;
    GnomeShellWindows windows(log, x11, x11);
    int activations = 0;
    auto observation = windows.observeActivations([&] { ++activations; });

    EXPECT_EQ(titles(windows.windows()), std::vector<std::string>{"xterm"});
    EXPECT_EQ(windows.activeWindow(), 0x400003u);
    windows.stackAbove(1, 0x400003);
    x11.activations.notify();
    EXPECT_EQ(activations, 1);
    auto beforeReport = windows.changes();

    windows.report(report);
    auto listed = windows.windows();
    ASSERT_EQ(titles(listed), (std::vector<std::string>{"Projekt", "xterm"}));
    EXPECT_TRUE(listed[0].windowRelativeExtents);
    EXPECT_EQ(listed[0].frame, (Rect{194, 104, 890, 550}));
    EXPECT_EQ(windows.activeWindow(), listed[0].number);
    EXPECT_EQ(activations, 2);
    EXPECT_NE(windows.changes(), beforeReport);
    EXPECT_TRUE(windows.isCompositing());
    EXPECT_EQ(x11.stacked.size(), 1u);

    // Garbage keeps the last list and is said once.
    auto afterReport = windows.changes();
    windows.report("{\"windows\": [");
    windows.report("kein JSON");
    EXPECT_EQ(titles(windows.windows()), (std::vector<std::string>{"Projekt", "xterm"}));
    EXPECT_EQ(windows.changes(), afterReport);
    EXPECT_EQ(log.count("windows", "Fensterliste von GNOME Shell nicht gelesen: unlesbarer Bericht"), 1);

    // Detached: X11's list again, seen as a change even where X11's own count stood still.
    windows.detached();
    EXPECT_EQ(titles(windows.windows()), std::vector<std::string>{"xterm"});
    EXPECT_NE(windows.changes(), afterReport);
    EXPECT_NE(windows.changes(), beforeReport);
    EXPECT_EQ(activations, 3);
    windows.stackAbove(3, 0x400003);
    EXPECT_EQ(x11.stacked.back(), (std::pair<std::uint32_t, std::uint32_t>{3, 0x400003}));
}

TEST(GnomeShellWindows, TheExtensionKeepsEachOverlayAboveItsWindowToldOncePerChange) {
    sim::RecordingLog log;
    X11List x11;
    GnomeShellWindows windows(log, x11, x11);
    std::vector<std::pair<std::uint32_t, std::string>> told;
    bool reachable = true;
    windows.stackOverlaysWith([&](std::uint32_t overlay, const std::string& windowId) {
        if (reachable) told.emplace_back(overlay, windowId);
        return reachable;
    });
    using Told = std::vector<std::pair<std::uint32_t, std::string>>;

    windows.report(report);
    auto nautilus = windows.windows()[0].number, xterm = windows.windows()[1].number;
    // Asked on every pass of the badge, told only when the window changes.
    EXPECT_TRUE(windows.stackAbove(0x400019, nautilus));
    EXPECT_TRUE(windows.stackAbove(0x400019, nautilus));
    EXPECT_TRUE(windows.stackAbove(0x40001c, nautilus));
    EXPECT_TRUE(windows.stackAbove(0x400019, xterm));
    EXPECT_FALSE(windows.stackAbove(0x400019, 999));  // no window of the report
    EXPECT_EQ(told, (Told{{0x400019, "3509778038"}, {0x40001c, "3509778038"}, {0x400019, "3509778039"}}));
    EXPECT_TRUE(x11.stacked.empty());

    // An extension that cannot be reached is asked again on the next pass.
    told.clear();
    reachable = false;
    EXPECT_FALSE(windows.stackAbove(0x400019, nautilus));
    reachable = true;
    EXPECT_TRUE(windows.stackAbove(0x400019, nautilus));
    EXPECT_EQ(told, (Told{{0x400019, "3509778038"}}));

    // Detached, X11 stacks; a Shell that attaches again is told everything anew.
    windows.detached();
    windows.stackAbove(0x400019, 0x400003);
    EXPECT_EQ(x11.stacked, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{0x400019, 0x400003}}));
    told.clear();
    windows.report(report);
    EXPECT_TRUE(windows.stackAbove(0x400019, windows.windows()[0].number));
    EXPECT_EQ(told, (Told{{0x400019, "3509778038"}}));
}

}  // namespace
