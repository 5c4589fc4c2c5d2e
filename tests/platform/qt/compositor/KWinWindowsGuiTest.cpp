#include "platform/qt/compositor/KWinWindows.h"

#include <gtest/gtest.h>

using namespace larkspire;
using larkspire::qt::KWinReport;

namespace {

// What the script sends, as KWin 5.27 filled it in for a Wayland Thunar, an XWayland program, a
// panel and a minimised window.
const std::string reported = R"({"active":"{b}","windows":[
  {"id":"{a}","pid":10,"caption":"Unten","stackingOrder":0,"frame":{"x":0,"y":0,"width":800,"height":600},
   "client":{"x":0,"y":30,"width":800,"height":570},"onScreen":true,"desktopElement":false,"x11":true},
  {"id":"{b}","pid":20,"caption":"Projekt - Thunar","stackingOrder":3,"frame":{"x":320,"y":120,"width":640,"height":480},
   "client":{"x":320,"y":150,"width":640,"height":450},"onScreen":true,"desktopElement":false,"x11":false},
  {"id":"{c}","pid":30,"caption":"Leiste","stackingOrder":5,"frame":{"x":0,"y":680,"width":1280,"height":40},
   "onScreen":true,"desktopElement":true,"x11":false},
  {"id":"{d}","pid":40,"caption":"Klein","stackingOrder":2,"frame":{"x":5,"y":5,"width":50,"height":50},
   "onScreen":false,"desktopElement":false,"x11":false}]})";

std::vector<std::string> titles(const KWinReport& report) {
    std::vector<std::string> listed;
    for (const auto& window : report.windows) listed.push_back(window.title);
    return listed;
}

TEST(KWinReport, ListsTheWindowsTopDownAndKeepsTheirNumbersFromReportToReport) {
    std::map<std::string, std::uint32_t> numbers;
    auto report = KWinReport::parse(reported, numbers);
    ASSERT_TRUE(report);
    EXPECT_EQ(titles(*report), (std::vector<std::string>{"Leiste", "Projekt - Thunar", "Klein", "Unten"}));
    const auto& thunar = report->windows[1];
    EXPECT_EQ(report->active, thunar.number);
    EXPECT_EQ(thunar.processIdentifier, 20);
    EXPECT_EQ(thunar.client, (Rect{320, 150, 640, 450}));
    EXPECT_EQ(thunar.frame, (Rect{320, 120, 640, 480}));
    EXPECT_TRUE(thunar.windowRelativeExtents);
    EXPECT_FALSE(report->windows[3].windowRelativeExtents);  // X11 programs place theirs on the screen
    EXPECT_TRUE(report->windows[0].desktopElement);
    EXPECT_EQ(report->windows[0].client, report->windows[0].frame);  // no surface told: the frame
    EXPECT_FALSE(report->windows[2].onScreen);

    // Thunar raised, the panel gone, a new window: the others keep their numbers, the new one gets
    // one no window had.
    auto again = KWinReport::parse(R"({"active":"{e}","windows":[
      {"id":"{b}","pid":20,"caption":"Projekt - Thunar","stackingOrder":9,"frame":{"x":0,"y":0,"width":9,"height":9}},
      {"id":"{e}","pid":50,"caption":"Neu","stackingOrder":1,"frame":{"x":0,"y":0,"width":9,"height":9}},
      {"id":"{a}","pid":10,"caption":"Unten","stackingOrder":0,"frame":{"x":0,"y":0,"width":9,"height":9}}]})",
                                   numbers);
    ASSERT_TRUE(again);
    EXPECT_EQ(titles(*again), (std::vector<std::string>{"Projekt - Thunar", "Neu", "Unten"}));
    EXPECT_EQ(again->windows[0].number, thunar.number);
    EXPECT_EQ(again->windows[2].number, report->windows[3].number);
    for (const auto& before : report->windows) EXPECT_NE(again->windows[1].number, before.number);
    EXPECT_EQ(again->active, again->windows[1].number);
}

TEST(KWinReport, GarbageIsNoReportAndUnsoundWindowsAreLeftOut) {
    std::map<std::string, std::uint32_t> numbers;
    for (std::string garbage : {"", "kein JSON", "[]", R"({"windows":{}})", R"({"windows":[)"})
        EXPECT_FALSE(KWinReport::parse(garbage, numbers)) << garbage;
    std::string huge = R"({"windows":[],"pad":")" + std::string(9 * 1024 * 1024, 'x') + "\"}";
    EXPECT_FALSE(KWinReport::parse(huge, numbers));

    auto report = KWinReport::parse(R"({"active":7,"windows":[
      7, {"caption":"ohne id","frame":{"x":0,"y":0,"width":1,"height":1}},
      {"id":"{x}","caption":"ohne Rahmen"},
      {"id":"{y}","frame":{"x":0,"y":0,"width":-1,"height":1}},
      {"id":"{z}","pid":-3,"caption":5,"stackingOrder":"oben","frame":{"x":1,"y":2,"width":3,"height":4}},
      {"id":"{z}","pid":8,"caption":"doppelt","frame":{"x":1,"y":2,"width":3,"height":4}}]})",
                                    numbers);
    ASSERT_TRUE(report);
    ASSERT_EQ(report->windows.size(), 1u);
    EXPECT_FALSE(report->windows[0].processIdentifier);
    EXPECT_EQ(report->windows[0].title, "");
    EXPECT_FALSE(report->active);
}

}  // namespace
