#include "platform/qt/QtApp.h"
#include "platform/qt/drawing/QtImages.h"

#include <QAction>
#include <QApplication>
#include <QColor>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

using namespace larkspire;
using larkspire::testing::QtApp;
using larkspire::testing::runUntil;

namespace {

QStringList titlesOf(QMenu& menu) {
    QStringList titles;
    // The title as shown: without the marks of keyboard shortcuts.
    for (auto* action : menu.actions()) titles.append(action->isSeparator() ? "—" : action->iconText());
    return titles;
}

// Opens the menu as a click would, reads it, and closes it again.
QStringList openAndRead(QMenu& menu) {
    menu.popup(QPoint(0, 0));
    auto titles = titlesOf(menu);
    menu.hide();
    return titles;
}

// Counts pixels of the badge's red in the lower right quarter of the icon.
int badgePixels(const QImage& image) {
    int count = 0;
    for (int y = image.height() / 2; y < image.height(); ++y)
        for (int x = image.width() / 2; x < image.width(); ++x) {
            QColor c = image.pixelColor(x, y);
            if (c.red() > 180 && c.green() < 90 && c.blue() < 90 && c.alpha() > 200) ++count;
        }
    return count;
}

TEST(QtStatusItem, TheMenuIsRebuiltFromTheCoreEachTimeItOpens) {
    qt::QtStatusItem item;
    int calls = 0;
    std::string second = "Erster Stand";
    item.setMenuProvider([&] {
        ++calls;
        return Menu{MenuItem::heading("Larkspire"), MenuItem::separator(),
                    MenuItem{.title = second, .image = "scissors", .checked = true}};
    });
    EXPECT_EQ(openAndRead(item.menu()).join("|").toStdString(), "Larkspire|—|Erster Stand");
    second = "Zweiter Stand";
    EXPECT_EQ(openAndRead(item.menu()).join("|").toStdString(), "Larkspire|—|Zweiter Stand");
    EXPECT_GE(calls, 2);

    auto actions = item.menu().actions();
    EXPECT_FALSE(actions[0]->isEnabled());
    EXPECT_TRUE(actions[2]->isChecked());
    EXPECT_FALSE(actions[2]->icon().isNull());
}

TEST(QtStatusItem, AChangedContentIsShownWithoutOpeningTheMenuAgain) {
    qt::QtStatusItem item;
    std::string title = "vorher";
    item.setMenuProvider([&] { return Menu{MenuItem{.title = title}}; });
    ASSERT_TRUE(runUntil([&] { return titlesOf(item.menu()) == QStringList{"vorher"}; }));
    title = "nachher";
    item.menuContentChanged();
    EXPECT_TRUE(runUntil([&] { return titlesOf(item.menu()) == QStringList{"nachher"}; }));
}

TEST(QtStatusItem, ChoosingAnEntryRunsItsActionWithTheItem) {
    qt::QtStatusItem item;
    std::vector<std::int64_t> tags;
    item.setMenuProvider([&] {
        Menu menu;
        for (int tag = 0; tag < 3; ++tag)
            menu.push_back(MenuItem{.title = "Favorit " + std::to_string(tag),
                                    .action = [&](const MenuItem& sender) { tags.push_back(sender.tag); },
                                    .tag = tag});
        return menu;
    });
    openAndRead(item.menu());
    item.menu().actions()[1]->trigger();
    ASSERT_TRUE(runUntil([&] { return !tags.empty(); }));
    EXPECT_EQ(tags, std::vector<std::int64_t>{1});
    EXPECT_TRUE(item.choose("Favorit 2"));
    EXPECT_FALSE(item.choose("Favorit 9"));
    EXPECT_EQ(tags, (std::vector<std::int64_t>{1, 2}));
}

TEST(QtStatusItem, TheApplicationsMenuOpensTheSettingsAndEndsWithQuitting) {
    QtApp sim;
    sim.session.finderExtension.enabled = true;
    sim.launch();
    auto& item = *sim.desktop.statusBar.item;
    auto titles = openAndRead(item.menu());
    QStringList fromCore;
    for (const auto& entry : sim.app->menuNeedsUpdate())
        fromCore.append(entry.isSeparator ? "—" : QString::fromStdString(entry.title));
    EXPECT_EQ(titles.join("|").toStdString(), fromCore.join("|").toStdString());
    ASSERT_GE(titles.size(), 4);
    EXPECT_EQ(titles.front().toStdString(), "Larkspire");
    EXPECT_EQ(titles.mid(titles.size() - 3).join("|").toStdString(), "—|Einstellungen…|Larkspire beenden");
    auto actions = item.menu().actions();
    auto settings = actions[actions.size() - 2];
    EXPECT_FALSE(actions.front()->isEnabled());
    EXPECT_EQ(settings->shortcut(), QKeySequence("Ctrl+,"));
    EXPECT_EQ(actions.back()->shortcut(), QKeySequence("Ctrl+Q"));

    settings->trigger();
    ASSERT_TRUE(runUntil([&] { return sim.desktop.settingsWindows.window != nullptr; }));
    EXPECT_TRUE(sim.desktop.settingsWindows.window->isVisible());
}

TEST(QtStatusItem, ChoosingFluessigScrollenShowsTheCheckMarkWithoutOpeningTheMenuAgain) {
    QtApp sim;
    sim.session.finderExtension.enabled = true;
    sim.session.accessibility.trusted = true;
    sim.launch();
    auto& item = *sim.desktop.statusBar.item;
    auto entry = [&]() -> QAction* {
        for (auto* action : item.menu().actions())
            if (action->text() == "Flüssig scrollen") return action;
        return nullptr;
    };
    openAndRead(item.menu());
    ASSERT_NE(entry(), nullptr);
    EXPECT_FALSE(entry()->isChecked());

    // Qt flips a checkable entry itself when it is triggered; only a rebuild shows the core's state.
    for (bool on : {true, false}) {
        int builds = item.menuBuilds();
        entry()->trigger();
        EXPECT_TRUE(runUntil([&] {
            return item.menuBuilds() > builds && entry() && entry()->isChecked() == on;
        })) << on;
        EXPECT_EQ(sim.defaults.boolForKey("smoothScroll"), on);
    }
}

TEST(QtStatusItem, WithNothingCutShowsTheWindowImageWithoutBadge) {
    QtApp sim;
    sim.session.finderExtension.enabled = true;
    sim.launch();
    auto& item = *sim.desktop.statusBar.item;
    EXPECT_EQ(item.trayIcon().toolTip(), "Larkspire");
    EXPECT_EQ(item.icon().image, "macwindow");
    EXPECT_FALSE(item.trayIcon().icon().isNull());
    EXPECT_EQ(badgePixels(qt::QtStatusItem::renderIcon(item.icon(), 64, Qt::black)), 0);
}

TEST(QtStatusItem, TwoCutItemsShowTheScissorsBadgeAndTooltipAndDiscardingFromTheMenuClearsThem) {
    QtApp sim;
    sim.session.finderExtension.enabled = true;
    sim.launch();
    auto& item = *sim.desktop.statusBar.item;
    sim.app->cutPasteMonitor().setCut({"/home/a/1.txt", "/home/a/2.txt"});

    EXPECT_EQ(item.icon().image, "scissors");
    EXPECT_EQ(item.trayIcon().toolTip().toStdString(),
              "2 Datei(en) ausgeschnitten – mit ⌘V im Finder verschieben");
    EXPECT_GT(badgePixels(qt::QtStatusItem::renderIcon(item.icon(), 64, Qt::black)), 200);
    // An exported menu shows the new entry without being opened again.
    ASSERT_TRUE(runUntil([&] {
        return titlesOf(item.menu()).mid(0, 3) ==
               QStringList{"Larkspire", "—", "2 Datei(en) ausgeschnitten – verwerfen"};
    }));
    EXPECT_FALSE(item.menu().actions()[2]->icon().isNull());

    item.menu().actions()[2]->trigger();
    ASSERT_TRUE(runUntil([&] { return item.icon().image == "macwindow"; }));
    EXPECT_TRUE(sim.app->cutPasteMonitor().cutPaths().empty());
    EXPECT_EQ(item.trayIcon().toolTip(), "Larkspire");
    EXPECT_EQ(badgePixels(qt::QtStatusItem::renderIcon(item.icon(), 64, Qt::black)), 0);
    EXPECT_TRUE(runUntil([&] {
        return titlesOf(item.menu()).mid(0, 3) == QStringList{"Larkspire", "—", "Flüssig scrollen"};
    }));
}

TEST(QtStatusItem, TheBadgeShowsTheTrimmedTitleAndOnlyWhenThereIsOne) {
    qt::QtStatusItem item;
    StatusIcon twoCut{.image = "scissors",
                      .accessibilityDescription = "Ausgeschnitten",
                      .title = " 2",
                      .tooltip = "2 Datei(en) ausgeschnitten – mit ⌘V im Finder verschieben"};
    item.setIcon(twoCut);
    EXPECT_EQ(item.trayIcon().toolTip().toStdString(),
              "2 Datei(en) ausgeschnitten – mit ⌘V im Finder verschieben");
    auto withBadge = qt::QtStatusItem::renderIcon(twoCut, 64, Qt::black);
    EXPECT_GT(badgePixels(withBadge), 200);

    StatusIcon plain = twoCut;
    plain.title = "";
    EXPECT_EQ(badgePixels(qt::QtStatusItem::renderIcon(plain, 64, Qt::black)), 0);
    EXPECT_NE(withBadge,
              qt::QtStatusItem::renderIcon(StatusIcon{.image = "scissors", .title = " 12"}, 64, Qt::black));
}

// Counts the badge text's white pixels in the outermost columns, where a cut-off digit would end.
int textPixelsAtTheSides(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x : {0, 1, image.width() - 2, image.width() - 1}) {
            QColor c = image.pixelColor(x, y);
            if (c.red() > 200 && c.green() > 200 && c.blue() > 200 && c.alpha() > 200) ++count;
        }
    return count;
}

TEST(QtStatusItem, ALargeCountStaysWholeOnTheSmallestIcon) {
    for (int size : {16, 22, 24})
        for (const char* title : {" 8", " 99", " 250", " 1234"}) {
            auto image = qt::QtStatusItem::renderIcon(StatusIcon{.image = "scissors", .title = title}, size,
                                                      Qt::black);
            EXPECT_EQ(textPixelsAtTheSides(image), 0) << size << title;
            EXPECT_GT(badgePixels(image), 0) << size << title;
        }
}

TEST(QtStatusItem, EveryImageTheMenuAndTabsNameHasAPicture) {
    for (const char* name :
         {"macwindow", "scissors", "gearshape", "doc.badge.plus", "folder",
          "externaldrive.connected.to.line.below", "arrow.up.arrow.down", "square.grid.2x2", "info.circle",
          "externaldrive", "externaldrive.fill", "cpu", "clock", "arrow.up.and.down.and.arrow.left.and.right",
          "exclamationmark.triangle.fill", "minus.circle", "larkspire"}) {
        EXPECT_TRUE(qt::hasBundledImage(name)) << name;
        auto picture = qt::bundledImage(name, 32, Qt::black).toImage();
        int drawn = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x) drawn += qAlpha(picture.pixel(x, y)) > 128;
        EXPECT_GT(drawn, 20) << name;
    }
    EXPECT_NE(qt::bundledImage("externaldrive", 32, Qt::black).toImage(),
              qt::bundledImage("externaldrive.fill", 32, Qt::black).toImage());
    EXPECT_TRUE(qt::namedImage("kein.bild").isNull());
}

}  // namespace

namespace {

// Pixels of the palette's accent colour in the lower right quarter, where the check mark sits.
int accentPixels(const QIcon& icon) {
    auto image = icon.pixmap(22, 22).toImage();
    auto accent = QApplication::palette().color(QPalette::Highlight);
    int count = 0;
    for (int y = image.height() / 2; y < image.height(); ++y)
        for (int x = image.width() / 2; x < image.width(); ++x)
            if (image.pixelColor(x, y) == accent) ++count;
    return count;
}

TEST(QtStatusItemHabits, ACheckedEntryWithAnImageShowsACheckMark) {
    qt::QtStatusItem item;
    item.setMenuProvider([] {
        return Menu{MenuItem{.title = "an", .image = "cpu", .checked = true},
                    MenuItem{.title = "aus", .image = "cpu", .checked = false}};
    });
    openAndRead(item.menu());
    auto actions = item.menu().actions();
    EXPECT_GT(accentPixels(actions[0]->icon()), 10);
    EXPECT_EQ(accentPixels(actions[1]->icon()), 0);
    EXPECT_TRUE(actions[0]->isChecked());
}

TEST(QtStatusItemHabits, TheShownShortcutsWorkInLarkspiresWindows) {
    qt::QtStatusItem item;
    std::vector<std::string> chosen;
    auto record = [&](const MenuItem& sender) { chosen.push_back(sender.title); };
    item.setMenuProvider([&] {
        return Menu{MenuItem{.title = "Flüssig scrollen", .action = record},
                    MenuItem{.title = "Einstellungen…", .action = record, .keyEquivalent = ","},
                    MenuItem{.title = "Larkspire beenden", .action = record, .keyEquivalent = "q"}};
    });
    QWidget window;
    auto* field = new QLineEdit(&window);
    window.show();
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Comma, Qt::ControlModifier);
    QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
    QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier);  // no entry has it
    QTest::keyClick(&window, Qt::Key_Q);                       // a plain letter is typing
    ASSERT_TRUE(runUntil([&] { return chosen.size() >= 2; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(chosen, (std::vector<std::string>{"Einstellungen…", "Larkspire beenden"}));
}

TEST(QtStatusItemHabits, EscapeAndCtrlWCloseTheSettingsWindow) {
    QtApp sim;
    sim.session.finderExtension.enabled = true;
    sim.launch();
    for (auto keys : {QKeyCombination(Qt::Key_Escape), QKeyCombination(Qt::ControlModifier, Qt::Key_W)}) {
        auto& window = sim.openSettings();
        ASSERT_TRUE(window.isVisible());
        QApplication::setActiveWindow(&window.widget());
        QTest::keyClick(&window.widget(), keys.key(), keys.keyboardModifiers());
        EXPECT_TRUE(runUntil([&] { return !window.isVisible(); }))
            << QKeySequence(keys).toString().toStdString();
    }
}

// Pixels of the icon that stand out from a panel of this colour.
int visibleOn(const QImage& icon, const QColor& panel) {
    QImage shown(icon.size(), QImage::Format_ARGB32_Premultiplied);
    shown.fill(panel);
    QPainter(&shown).drawImage(0, 0, icon);
    int count = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            if (std::abs(shown.pixelColor(x, y).lightness() - panel.lightness()) > 100) ++count;
    return count;
}

TEST(QtStatusItemHabits, BothTrayIconsReadOnLightAndDarkPanels) {
    for (const char* image : {"macwindow", "scissors"}) {
        for (QColor text : {QColor(Qt::black), QColor(0xee, 0xee, 0xee)}) {
            auto icon = qt::QtStatusItem::renderIcon(StatusIcon{.image = image}, 22, text);
            EXPECT_GT(visibleOn(icon, QColor(0xf2, 0xf2, 0xf2)), 25) << image;
            EXPECT_GT(visibleOn(icon, QColor(0x24, 0x24, 0x24)), 25) << image;
        }
    }
}

}  // namespace
