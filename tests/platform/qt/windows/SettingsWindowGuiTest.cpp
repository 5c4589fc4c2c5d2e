#include "network/NetworkFavorite.h"
#include "network/NetworkSettings.h"
#include "platform/qt/QtApp.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>
#include <ostream>
#include <string>

using namespace larkspire;
using larkspire::testing::QtApp;
using larkspire::testing::runUntil;

namespace {

TabView tallTab() {
    TabView view;
    TabGroup group{.title = "Viele Zeilen"};
    for (int i = 0; i < 12; ++i) group.content.push_back(TabHint{"Zeile " + std::to_string(i)});
    view.elements.push_back(group);
    return view;
}

struct Launched : QtApp {
    Launched() {
        session.finderExtension.enabled = true;  // no settings window of its own at start-up
        launch();
    }
};

TEST(QtSettingsWindow, ShowsTheSevenTabsInOrderWithLabelsAndImages) {
    Launched sim;
    auto& window = sim.openSettings();
    std::vector<std::pair<QString, QString>> tabs;
    for (auto* button : window.tabButtons()) {
        EXPECT_EQ(button->accessibleDescription(), button->text());  // the label describes the image
        EXPECT_FALSE(button->icon().isNull()) << button->text().toStdString();
        tabs.emplace_back(button->text(), button->property("imageName").toString());
    }
    std::vector<std::pair<QString, QString>> expected = {
        {"Allgemein", "gearshape"},
        {"Neue Datei", "doc.badge.plus"},
        {"Finder", "folder"},
        {"Netzwerk", "externaldrive.connected.to.line.below"},
        {"Scrollen", "arrow.up.arrow.down"},
        {"Widgets", "square.grid.2x2"},
        {"Über", "info.circle"},
    };
    EXPECT_EQ(tabs, expected);
    EXPECT_EQ(window.page(0)->width(), 460);
    EXPECT_EQ(window.widget().width(), 460);
}

TEST(QtSettingsWindow, FirstOpeningOnAFreshAccountShowsAllgemeinCentredOnTheScreen) {
    Launched sim;
    auto& window = sim.openSettings();
    EXPECT_EQ(window.selectedIndex(), 0);
    EXPECT_EQ(window.widget().windowTitle(), QString("Allgemein"));
    QRect available = window.widget().screen()->availableGeometry();
    QRect frame = window.widget().frameGeometry();
    int leftGap = frame.left() - available.left();
    int rightGap = available.right() - frame.right();
    EXPECT_LE(std::abs(leftGap - rightGap), 1) << leftGap << " " << rightGap;
    EXPECT_TRUE(available.contains(frame)) << frame.x() << "," << frame.y();
    EXPECT_GT(frame.top(), available.top());
}

struct Restore {
    std::int64_t stored;
    int selected;
    const char* label;
};

void PrintTo(const Restore& restore, std::ostream* out) {
    *out << "stored " << restore.stored;
}

class QtRestoredTab : public ::testing::TestWithParam<Restore> {};

TEST_P(QtRestoredTab, IsClampedAndNotWrittenBack) {
    Launched sim;
    sim.defaults.set("settingsSelectedTab", Value(GetParam().stored));
    auto& window = sim.openSettings();
    EXPECT_EQ(window.selectedIndex(), GetParam().selected);
    EXPECT_TRUE(window.tabButtons()[static_cast<std::size_t>(GetParam().selected)]->isChecked());
    EXPECT_EQ(window.widget().windowTitle(), QString(GetParam().label));
    EXPECT_EQ(sim.defaults.integerForKey("settingsSelectedTab"), GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(Stored, QtRestoredTab,
                         ::testing::Values(Restore{9, 6, "Über"}, Restore{-3, 0, "Allgemein"},
                                           Restore{4, 4, "Scrollen"}),
                         [](const auto& info) {
                             auto stored = info.param.stored;
                             return std::string(stored < 0 ? "StoredMinus" : "Stored") +
                                    std::to_string(stored < 0 ? -stored : stored);
                         });

TEST(QtSettingsWindow, ClickingATabRemembersItAndShowDoesNotMoveAnOpenWindow) {
    Launched sim;
    auto& window = sim.openSettings();
    window.tabButtons()[3]->click();
    EXPECT_EQ(window.selectedIndex(), 3);
    EXPECT_TRUE(window.page(3)->isVisible());
    EXPECT_FALSE(window.page(0)->isVisible());
    EXPECT_EQ(sim.defaults.integerForKey("settingsSelectedTab"), 3);

    window.widget().move(40, 50);
    sim.app->settingsWindowController().show(0);
    EXPECT_EQ(window.selectedIndex(), 0);
    EXPECT_EQ(window.widget().pos(), QPoint(40, 50));
}

TEST(QtSettingsWindow, GrowsDownwardWithItsTopEdgeFixed) {
    Launched sim;
    auto& window = sim.openSettings();
    // Tabs whose state is not polled, so nothing describes them anew while the test runs.
    window.setTabContent(6, TabView{.elements = {TabText{.text = "Kurz"}}});
    window.setTabContent(3, tallTab());
    window.selectTab(6);
    window.widget().move(100, 80);
    int shortHeight = window.widget().height();

    window.selectTab(3);
    EXPECT_EQ(window.widget().frameGeometry().top(), 80);
    EXPECT_GT(window.widget().height(), shortHeight + 100);
    EXPECT_EQ(window.widget().width(), 460);

    window.selectTab(6);
    EXPECT_EQ(window.widget().frameGeometry().top(), 80);
    EXPECT_EQ(window.widget().height(), shortHeight);
}

TEST(QtSettingsWindow, ClosingOnlyHidesAndReopeningCentresAgain) {
    Launched sim;
    auto& window = sim.openSettings();
    window.widget().close();
    EXPECT_FALSE(window.isVisible());
    window.widget().move(0, 0);
    sim.app->applicationShouldHandleReopen();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(&window, sim.desktop.settingsWindows.window);  // the same window, not a new one
    EXPECT_NE(window.widget().pos(), QPoint(0, 0));
}

TEST(QtSettingsWindow, OpeningAMinimisedWindowBringsItBack) {
    Launched sim;
    auto& window = sim.openSettings();
    window.widget().setWindowState(window.widget().windowState() | Qt::WindowMinimized);
    ASSERT_TRUE(window.widget().isMinimized());
    sim.app->openSettings();
    EXPECT_FALSE(window.widget().isMinimized());
    EXPECT_TRUE(window.isVisible());
}

TEST(QtSettingsWindow, SavesItsFrameAndRestoresItInTheNextWindow) {
    Launched sim;
    auto& window = sim.openSettings();
    window.widget().move(120, 90);
    window.widget().hide();
    auto saved = sim.defaults.stringForKey("LarkspireSettings");
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->substr(0, 7), "120 90 ");

    qt::QtSettingsWindow next(SettingsWindowController::tabs(), sim.defaults);
    next.setFrameAutosaveName("LarkspireSettings");
    EXPECT_EQ(next.widget().pos(), QPoint(120, 90));
}

TEST(QtSettingsWindow, IgnoresADamagedOrUnreachableSavedFrame) {
    for (const char* stored : {"kaputt", "1 2 3", "99999 99999 400 300", "1 2 x 4"}) {
        sim::MemoryDefaults defaults;
        defaults.set("LarkspireSettings", Value(stored));
        qt::QtSettingsWindow window(SettingsWindowController::tabs(), defaults);
        window.widget().move(7, 9);
        window.setFrameAutosaveName("LarkspireSettings");
        EXPECT_EQ(window.widget().pos(), QPoint(7, 9)) << stored;
        EXPECT_EQ(defaults.stringForKey("LarkspireSettings"), std::optional<std::string>(stored));
    }
}

TEST(QtSettingsWindow, IgnoresATabIndexOutsideTheTabs) {
    Launched sim;
    auto& window = sim.openSettings();
    window.selectTab(2);
    window.selectTab(7);
    window.selectTab(-1);
    EXPECT_EQ(window.selectedIndex(), 2);
    EXPECT_EQ(sim.defaults.integerForKey("settingsSelectedTab"), 2);
}

// Both "Erlauben…" buttons reach the shell's stand-in for the system's settings pane; handing the
// pane's address to the desktop would open nothing.
TEST(QtSettingsWindow, AllowButtonsOpenTheShellsExplanation) {
    Launched sim;
    std::vector<std::string> opened;
    sim.desktop.workspace.openSystemSettings = [&opened](const Url& url) {
        opened.push_back(url.string());
        return true;
    };
    sim.session.accessibility.trusted = false;
    auto& window = sim.openSettings();
    for (int tab : {0, 2, 4}) {
        window.selectTab(tab);
        QCoreApplication::processEvents();
        QPushButton* allow = nullptr;
        for (auto* button : window.page(tab)->findChildren<QPushButton*>())
            if (button->text() == "Erlauben…" && button->isVisibleTo(window.page(tab))) allow = button;
        ASSERT_NE(allow, nullptr) << tab;
        allow->click();
    }
    ASSERT_EQ(opened.size(), 3u);
    for (const auto& url : opened)
        EXPECT_EQ(Url::parse(url)->scheme(), qt::QtWorkspace::systemSettingsScheme);
    sim.desktop.workspace.openSystemSettings = nullptr;
    EXPECT_FALSE(sim.desktop.workspace.open(*Url::parse(opened[0])));  // nothing there to stand in
}

// A warning that appeared while its tab was in the background makes room for itself when the tab is
// chosen, instead of squeezing the rows together.
TEST(QtSettingsWindow, FitsATabWhoseRowsChangedWhileAnotherWasShown) {
    Launched sim;
    sim.session.accessibility.trusted = true;
    auto& window = sim.openSettings();
    window.selectTab(4);
    QCoreApplication::processEvents();
    int before = window.widget().height();

    window.widget().hide();
    sim.session.accessibility.trusted = false;
    sim.app->settingsWindowController().show(
        0);  // "Allgemein" reads the permission; every tab is described again
    QCoreApplication::processEvents();
    window.selectTab(4);
    QCoreApplication::processEvents();
    auto* page = window.page(4);
    EXPECT_GT(window.widget().height(), before);
    EXPECT_GE(page->height(), page->heightForWidth(page->width()));
}

// Ten thousand favourites build one page of widgets that fits on the screen; a search typed into
// the tab changes the rows under the field without taking its focus.
TEST(QtSettingsWindow, TheNetworkTabBuildsOnePageOfTenThousandFavouritesAndSearchesAsTyped) {
    QtApp sim;
    sim.session.finderExtension.enabled = true;
    std::vector<NetworkFavorite> stored;
    for (int index = 0; index < 10000; ++index)
        stored.push_back({"smb://nas/Team", "", "Ordner " + std::to_string(index)});
    sim.defaults.set(Settings::networkFavoritesKey, Value(*encodeFavorites(stored)));
    sim.launch();
    auto& window = sim.openSettings();
    window.selectTab(3);
    QCoreApplication::processEvents();
    auto* page = window.page(3);
    EXPECT_LT(page->findChildren<QWidget*>().size(), 300);
    EXPECT_LE(window.widget().height(), window.widget().screen()->availableGeometry().height());

    int fullHeight = window.widget().height();

    auto* field = page->findChildren<QLineEdit*>().value(0);
    ASSERT_TRUE(field);
    field->setFocus();
    ASSERT_TRUE(runUntil([&] { return field->hasFocus(); }));
    QTest::keyClicks(field, "ordner 4321");
    QStringList listed;
    for (auto* button : page->findChildren<QPushButton*>())
        if (button->isVisibleTo(page) && QRegularExpression("^Ordner \\d+$").match(button->text()).hasMatch())
            listed << button->text();
    EXPECT_EQ(listed, QStringList{"Ordner 4321"});
    EXPECT_TRUE(field->hasFocus());
    EXPECT_EQ(field->text(), "ordner 4321");
    // The rows that went away give their room back at once, as any tab does.
    EXPECT_LT(window.widget().height(), fullHeight);
    EXPECT_GE(page->height(), page->heightForWidth(page->width()));
}

}  // namespace
