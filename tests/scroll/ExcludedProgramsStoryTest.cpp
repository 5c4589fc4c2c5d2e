#include "app/Settings.h"
#include "settings/SettingsTabs.h"
#include "support/SimApp.h"
#include "support/TabReader.h"

#include <gtest/gtest.h>
#include <ostream>

using namespace larkspire;
using larkspire::testing::SimApp;
using larkspire::testing::TabReader;

namespace {

constexpr const char* addTitle = "Programm hinzufügen…";

// A user with smooth scrolling on, a browser on the left half of the screen and an editor on the right.
class ExcludedProgramsStory : public ::testing::Test {
  protected:
    void SetUp() override {
        sim.desktop.accessibility.trusted = true;
        sim.desktop.finderExtension.enabled = true;
        sim.desktop.defaults.setBool(Settings::smoothScrollKey, true);
        programs().open("Firefox", Rect{0, 0, 960, 1080});
        programs().open("Mousepad", Rect{960, 0, 960, 1080});
    }
    sim::SimProgramWindows& programs() { return sim.desktop.programWindows; }
    void launchAndOpenScrollTab() {
        sim.launch();
        sim.desktop.advance(10);
        sim.app->settingsWindowController().show(SettingsTabs::scrollTab);
    }
    TabView scrollTab() { return sim.desktop.settingsWindows.window->tabContents[SettingsTabs::scrollTab]; }
    std::vector<std::string> choices() {
        return TabReader(scrollTab()).menuButtonTitled(addTitle)->choices();
    }
    void choose(const std::string& program) {
        TabReader(scrollTab()).menuButtonTitled(addTitle)->choose(program);
    }
    // One notch down with the pointer at (x, 500); true when Larkspire took it.
    bool notchAt(double x) {
        programs().movePointer(x, 500);
        bool taken = sim.desktop.wheel.scroll(WheelEvent{.verticalDelta = -1});
        sim.desktop.advance(1.0);  // the animation runs out
        return taken;
    }

    SimApp sim;
};

TEST_F(ExcludedProgramsStory, AProgramChosenInTheScrollTabGetsTheWheelUnchangedWhileOthersScrollSmoothly) {
    launchAndOpenScrollTab();
    EXPECT_TRUE(TabReader(scrollTab()).shows("Noch keine Programme ausgenommen."));
    EXPECT_EQ(choices(), (std::vector<std::string>{"Firefox", "Mousepad"}));

    choose("Firefox");
    EXPECT_EQ(sim.desktop.defaults.stringListForKey(Settings::smoothScrollExcludedProgramsKey),
              std::vector<std::string>{"Firefox"});
    TabReader shown(scrollTab());
    EXPECT_TRUE(shown.shows("Firefox"));
    EXPECT_FALSE(shown.shows("Noch keine Programme ausgenommen."));
    EXPECT_EQ(choices(), std::vector<std::string>{"Mousepad"});  // what is listed is not offered again

    EXPECT_FALSE(notchAt(300));
    EXPECT_TRUE(sim.desktop.wheel.posted.empty());
    ASSERT_EQ(sim.desktop.wheel.reachedApplications.size(), 1u);
    EXPECT_EQ(sim.desktop.wheel.reachedApplications[0], WheelEvent{.verticalDelta = -1});

    EXPECT_TRUE(notchAt(1500));
    EXPECT_FALSE(sim.desktop.wheel.posted.empty());
    EXPECT_EQ(sim.desktop.wheel.reachedApplications.size(), 1u + sim.desktop.wheel.posted.size());

    // The list is kept for the next start.
    sim.restart();
    launchAndOpenScrollTab();
    EXPECT_FALSE(notchAt(300));

    // Removed with its button: the browser scrolls smoothly again.
    TabReader(scrollTab()).buttonTitled("")->action();
    EXPECT_TRUE(TabReader(scrollTab()).shows("Noch keine Programme ausgenommen."));
    EXPECT_TRUE(notchAt(300));
}

TEST_F(ExcludedProgramsStory, WithNothingExcludedThePointerIsNeverAsked) {
    launchAndOpenScrollTab();
    EXPECT_TRUE(notchAt(300));
    EXPECT_TRUE(notchAt(1500));
    EXPECT_EQ(programs().questions, 0);
}

TEST_F(ExcludedProgramsStory, ATickOverAnExcludedProgramEndsTheAnimationBegunElsewhere) {
    launchAndOpenScrollTab();
    choose("Firefox");
    programs().movePointer(1500, 500);
    ASSERT_TRUE(sim.desktop.wheel.scroll(WheelEvent{.verticalDelta = -1}));
    sim.desktop.advance(0.05);
    ASSERT_TRUE(sim.app->smoothScroller().engine().state().animation);

    programs().movePointer(300, 500);
    EXPECT_FALSE(sim.desktop.wheel.scroll(WheelEvent{.verticalDelta = -1}));
    EXPECT_FALSE(sim.app->smoothScroller().engine().state().animation);
    EXPECT_EQ(sim.desktop.wheel.posted.back().fields.scrollPhase, 4);  // the gesture closes
}

TEST_F(ExcludedProgramsStory, ClassesMatchWhateverTheirCaseAndTheBareDesktopIsNoProgram) {
    sim.desktop.defaults.set(Settings::smoothScrollExcludedProgramsKey, Value::stringList({"firefox", ""}));
    launchAndOpenScrollTab();
    EXPECT_FALSE(notchAt(300));
    programs().windows.clear();
    EXPECT_TRUE(notchAt(300));  // over no window, the empty entry excludes nothing
}

TEST_F(ExcludedProgramsStory, ASessionThatCannotTellThePointersProgramScrollsSmoothlyAndSaysSoOnce) {
    programs().tells = false;
    sim.desktop.defaults.set(Settings::smoothScrollExcludedProgramsKey, Value::stringList({"Firefox"}));
    launchAndOpenScrollTab();
    EXPECT_TRUE(notchAt(300));
    EXPECT_TRUE(notchAt(300));
    EXPECT_EQ(sim.desktop.log.count("scroll", "Programm unter dem Mauszeiger unbekannt – die Ausnahmen vom "
                                              "flüssigen Scrollen gelten hier nicht"),
              1);
    EXPECT_TRUE(choices().empty());
    EXPECT_TRUE(TabReader(scrollTab()).shows("Firefox"));  // the list stays for a session that can tell
}

struct StoredCase {
    std::string name;
    Value stored;
    std::vector<std::string> shown;
    Value afterAddingGimp;
    friend void PrintTo(const StoredCase& c, std::ostream* out) { *out << c.name; }
};

class StoredExclusions : public ExcludedProgramsStory, public ::testing::WithParamInterface<StoredCase> {};

// Values the program did not write are read as far as they name programs, and nothing of them is lost
// when the user adds one.
TEST_P(StoredExclusions, AreReadAsFarAsTheyNameProgramsAndKeptWhenOneIsAdded) {
    sim.desktop.defaults.set(Settings::smoothScrollExcludedProgramsKey, GetParam().stored);
    programs().open("Gimp", Rect{0, 0, 10, 10});
    launchAndOpenScrollTab();
    EXPECT_EQ(sim.app->smoothScroller().excludedPrograms(), GetParam().shown);
    TabReader shown(scrollTab());
    EXPECT_EQ(shown.shows("Noch keine Programme ausgenommen."), GetParam().shown.empty());
    for (const auto& program : GetParam().shown) EXPECT_TRUE(shown.shows(program)) << program;

    choose("Gimp");
    EXPECT_EQ(sim.desktop.defaults.object(Settings::smoothScrollExcludedProgramsKey),
              GetParam().afterAddingGimp);
}

INSTANTIATE_TEST_SUITE_P(
    ExcludedProgramsStory, StoredExclusions,
    ::testing::Values(
        StoredCase{"aNumber", Value(7), {}, Value(Value::List{Value("Gimp")})},
        StoredCase{
            "oneName", Value("Firefox"), {"Firefox"}, Value(Value::List{Value("Firefox"), Value("Gimp")})},
        StoredCase{
            "mixed",
            Value(Value::List{Value("Firefox"), Value(3), Value(""), Value("Mousepad")}),
            {"Firefox", "Mousepad"},
            Value(Value::List{Value("Firefox"), Value(3), Value(""), Value("Mousepad"), Value("Gimp")})},
        StoredCase{
            "alreadyThere", Value(Value::List{Value("gimp")}), {"gimp"}, Value(Value::List{Value("gimp")})}),
    [](const auto& info) { return info.param.name; });

}  // namespace
