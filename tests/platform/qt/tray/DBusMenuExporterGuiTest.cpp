#include "platform/qt/QtApp.h"
#include "platform/qt/tray/DBusMenuExporter.h"

#include <gtest/gtest.h>

using namespace larkspire;
using larkspire::testing::QtApp;
using larkspire::testing::runUntil;

namespace {

// The root's entries as a panel reads them.
QList<qt::DBusMenuItem> entries(qt::DBusMenuExporter& menu) {
    qt::DBusMenuLayoutItem root;
    menu.GetLayout(0, -1, {}, root);
    QList<qt::DBusMenuItem> found;
    for (const auto& child : root.children) found.append({child.id, child.properties});
    return found;
}

int idOf(qt::DBusMenuExporter& menu, const QString& label) {
    for (const auto& entry : entries(menu))
        if (entry.properties.value("label").toString() == label) return entry.id;
    return 0;
}

// A panel holds the layout it read; the menu changes under it before the click arrives.
TEST(DBusMenuExporter, AClickOnAnOlderLayoutChoosesTheEntryItShowedOrNothing) {
    QtApp sim;
    sim.session.finderExtension.enabled = true;
    sim.launch();
    auto& item = *sim.desktop.statusBar.item;
    qt::DBusMenuExporter menu([&] { return item.currentMenu(); },
                              [&](const MenuItem& entry) { item.perform(entry); });

    auto before = entries(menu);
    ASSERT_GE(before.size(), 10);
    EXPECT_EQ(before[0].properties.value("label").toString().toStdString(), "Larkspire");
    EXPECT_FALSE(before[0].properties.value("enabled", true).toBool());  // the heading
    EXPECT_EQ(before[1].properties.value("type").toString().toStdString(), "separator");
    EXPECT_NE(before[1].id, before[3].id);  // each separator has a number of its own
    int clock = idOf(menu, "Uhr & Datum");
    ASSERT_NE(clock, 0);
    auto revision = menu.revision();

    // Cutting puts two entries above the clock's, so positions move while the ids must not.
    sim.app->cutPasteMonitor().setCut({"/home/a/1.txt", "/home/a/2.txt"});
    EXPECT_TRUE(menu.AboutToShow(0));
    EXPECT_GT(menu.revision(), revision);
    int discard = idOf(menu, "2 Datei(en) ausgeschnitten – verwerfen");
    ASSERT_NE(discard, 0);
    EXPECT_EQ(idOf(menu, "Uhr & Datum"), clock);
    EXPECT_FALSE(menu.AboutToShow(0));  // nothing changed since

    menu.Event(clock, "clicked", QDBusVariant(0), 0);
    ASSERT_TRUE(runUntil([&] { return sim.defaults.boolForKey("clockWidget"); }));
    EXPECT_EQ(sim.app->cutPasteMonitor().cutPaths().size(), 2u);  // not the entry now at its old place
    EXPECT_TRUE(menu.AboutToShow(0));
    EXPECT_EQ(menu.GetProperty(clock, "toggle-state").variant().toInt(), 1);

    // Events other than a click, and clicks on the heading, choose nothing.
    menu.Event(clock, "hovered", QDBusVariant(0), 0);
    menu.Event(before[0].id, "clicked", QDBusVariant(0), 0);
    menu.Event(discard, "clicked", QDBusVariant(0), 0);
    ASSERT_TRUE(runUntil([&] { return sim.app->cutPasteMonitor().cutPaths().empty(); }));
    EXPECT_TRUE(sim.defaults.boolForKey("clockWidget"));

    // The discard entry went with the cut: its id, still held by the panel, is no entry any more.
    EXPECT_TRUE(menu.AboutToShow(0));
    EXPECT_EQ(idOf(menu, "2 Datei(en) ausgeschnitten – verwerfen"), 0);
    EXPECT_TRUE(menu.GetGroupProperties({discard}, {}).isEmpty());
    EXPECT_EQ(menu.EventGroup({{discard, "clicked", QDBusVariant(0), 0}}), QList<int>{discard});
}

}  // namespace
