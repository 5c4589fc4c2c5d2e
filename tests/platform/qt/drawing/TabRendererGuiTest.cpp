#include "platform/qt/QtApp.h"
#include "platform/qt/drawing/TabRenderer.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace larkspire;
using larkspire::testing::runUntil;

namespace {

// A page with a name field, a switch and a status row, bound to plain values.
struct Page {
    QWidget window;
    QWidget* page = new QWidget(&window);
    qt::TabRenderer renderer{*page};
    std::string name = "Neu.txt";
    bool on = false;
    bool flag = false;
    int buttonPresses = 0;

    TabView describe(bool withWarning = false) {
        TabGroup group{.title = "Rechtsklick im Finder → „Neue Datei“"};
        group.content.push_back(TabText{"Dateiname inkl. Endung"});
        group.content.push_back(
            TabTextField{.text = {[this] { return name; }, [this](std::string v) { name = v; }}});
        group.content.push_back(TabElement(TabText{.text = "Ungültiger Name", .color = TabColor::red},
                                           withWarning || name.empty()));
        group.content.push_back(
            TabSwitch{.title = "Datei öffnen", .isOn = {[this] { return on; }, [this](bool v) { on = v; }}});
        group.content.push_back(
            TabStatusRow{.flag = flag,
                         .text = flag ? "Gerätesteuerung erlaubt" : "Gerätesteuerung nicht erlaubt",
                         .buttonTitle = "Erlauben…",
                         .buttonAction = [this] { ++buttonPresses; }});
        TabView view{.elements = {group}};
        if (withWarning) view.elements.push_back(TabHint{"Noch ein Hinweis"});
        return view;
    }
    Page() {
        window.resize(500, 400);
        window.show();
        renderer.render(describe());
    }
    template <class T> QList<T*> all() const { return page->findChildren<T*>(); }
    QLineEdit* field() const { return all<QLineEdit>().value(0); }
};

TEST(TabRenderer, TypingStoresAsTypedAndRenderingAgainKeepsFocusAndCursor) {
    Page page;
    auto* field = page.field();
    ASSERT_TRUE(field);
    EXPECT_EQ(field->text(), "Neu.txt");
    field->setFocus();
    ASSERT_TRUE(runUntil([&] { return field->hasFocus(); }));
    field->setCursorPosition(3);
    field->insert("X");
    EXPECT_EQ(page.name, "NeuX.txt");

    page.renderer.render(page.describe());
    EXPECT_EQ(page.field(), field);
    EXPECT_TRUE(field->hasFocus());
    EXPECT_EQ(field->cursorPosition(), 4);
    EXPECT_EQ(page.renderer.builds(), 1);
}

TEST(TabRenderer, ANewShapeBuildsAnewButTheFieldKeepsFocusAndCursor) {
    Page page;
    page.field()->setFocus();
    ASSERT_TRUE(runUntil([&] { return page.field()->hasFocus(); }));
    page.field()->setCursorPosition(2);

    page.renderer.render(page.describe(true));
    EXPECT_EQ(page.renderer.builds(), 2);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    auto* field = page.field();
    ASSERT_TRUE(field);
    EXPECT_TRUE(field->hasFocus());
    EXPECT_EQ(field->cursorPosition(), 2);
    EXPECT_EQ(page.all<QLineEdit>().size(), 1);  // the old widgets are gone
}

TEST(TabRenderer, AChangeMadeElsewhereReachesTheField) {
    Page page;
    page.name = "Bericht.md";
    page.renderer.render(page.describe());
    EXPECT_EQ(page.field()->text(), "Bericht.md");
}

TEST(TabRenderer, SwitchesCallTheirBindingAndFollowTheState) {
    Page page;
    auto* box = page.all<QCheckBox>().value(0);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text(), "Datei öffnen");
    EXPECT_FALSE(box->isChecked());
    box->click();
    EXPECT_TRUE(page.on);

    page.on = false;
    page.renderer.render(page.describe());
    EXPECT_FALSE(box->isChecked());
}

TEST(TabRenderer, VisibilityAndStatusRowButtonFollowTheDescription) {
    Page page;
    auto findLabel = [&](const QString& text) -> QLabel* {
        for (auto* label : page.all<QLabel>())
            if (label->text() == text) return label;
        return nullptr;
    };
    auto* warning = findLabel("Ungültiger Name");
    ASSERT_TRUE(warning);
    EXPECT_FALSE(warning->isVisible());
    auto* allow = page.all<QPushButton>().value(0);
    ASSERT_TRUE(allow);
    EXPECT_TRUE(allow->isVisible());
    allow->click();
    EXPECT_EQ(page.buttonPresses, 1);

    page.name = "";
    page.flag = true;
    page.renderer.render(page.describe());
    EXPECT_TRUE(warning->isVisible());
    EXPECT_FALSE(allow->isVisible());
    EXPECT_TRUE(findLabel("Gerätesteuerung erlaubt"));
}

TEST(TabRenderer, AnActionThatRendersANewShapeFromInsideAClickDoesNotCrash) {
    QWidget window;
    auto* pageWidget = new QWidget(&window);
    qt::TabRenderer renderer(*pageWidget);
    int clicks = 0;
    std::function<TabView()> describe = [&] {
        TabView view;
        for (int i = 0; i <= clicks; ++i)
            view.elements.push_back(TabButton{.title = "Mehr", .action = [&] {
                                                  ++clicks;
                                                  renderer.render(describe());
                                              }});
        return view;
    };
    renderer.render(describe());
    window.show();
    pageWidget->findChildren<QPushButton*>().value(0)->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(pageWidget->findChildren<QPushButton*>().size(), 2);
}

}  // namespace

namespace {

// Every kind of element in one tab, drawn into the build folder for a look at the result.
TEST(TabRenderer, DrawsEveryKindOfElementWithinTheTabWidth) {
    QWidget page;
    page.setFixedWidth(460);
    qt::TabRenderer renderer(page);
    bool on = true;
    std::string name = "Bericht.md";
    TabGroup start{.title = "Start"};
    start.content.push_back(
        TabSwitch{.title = "Beim Anmelden starten", .isOn = {[&] { return on; }, [&](bool v) { on = v; }}});
    start.content.push_back(TabButton{.title = "Anmeldeobjekt in den Systemeinstellungen erlauben…",
                                      .style = TabButtonStyle::small});
    TabGroup permissions{.title = "Berechtigungen"};
    permissions.content.push_back(TabStatusRow{
        .flag = true, .text = "Finder-Erweiterung aktiv", .buttonTitle = "Aktivieren…", .buttonAction = [] {
        }});
    permissions.content.push_back(TabStatusRow{.flag = false,
                                               .text = "Gerätesteuerung nicht erlaubt",
                                               .buttonTitle = "Erlauben…",
                                               .buttonAction = [] {}});
    permissions.content.push_back(
        TabHint{"Die Finder-Erweiterung liefert die Rechtsklick-Einträge. Die Gerätesteuerung braucht "
                "Larkspire für ⌘X, die Auswahlgröße und das flüssige Scrollen."});
    TabGroup file{.title = "Rechtsklick im Finder → „Neue Datei“"};
    file.content.push_back(TabRow{
        .items = {TabTextField{.text = {[&] { return name; }, [&](std::string v) { name = v; }}},
                  TabButton{.title = "Standard"}, TabButton{.title = ".md"}, TabButton{.title = ".txt"}}});
    file.content.push_back(TabText{.text = "Ungültiger Name – es wird „Neu.txt“ verwendet.",
                                   .style = TabTextStyle::caption,
                                   .color = TabColor::red});
    file.content.push_back(TabDivider{});
    file.content.push_back(TabRow{
        .items = {TabImage{.image = "scissors", .size = 16},
                  TabText{.text = "Ausgeschnitten: a, b, c und 2 weitere", .style = TabTextStyle::caption},
                  TabSpacer{}, TabButton{.title = "Verwerfen"}},
        .tinted = true});
    file.content.push_back(
        TabRow{.items = {TabDot{.color = TabColor::green, .help = "Verbunden"},
                         TabButton{.title = "Projekte", .style = TabButtonStyle::link}, TabSpacer{},
                         TabButton{.style = TabButtonStyle::borderless,
                                   .image = "minus.circle",
                                   .help = "Aus der Seitenleiste entfernen"}}});
    TabView view{
        .elements = {
            start, permissions, file, TabRow{.items = {TabSpacer{}, TabButton{.title = "Larkspire beenden"}}},
            TabRow{.items = {
                       TabImage{.image = "larkspire", .size = 64},
                       TabColumn{
                           .items = {
                               TabText{.text = "Larkspire", .style = TabTextStyle::title, .semibold = true},
                               TabText{.text = "Version ? (?)"},
                               TabText{.text = "Kleine Verbesserungen für Finder und Maus."}}}}}}};
    renderer.render(view);
    page.adjustSize();
    page.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(page.width(), 460);
    EXPECT_GT(page.height(), 300);
    for (auto* child : page.findChildren<QWidget*>()) {
        if (!child->isVisible()) continue;
        auto inPage = QRect(child->mapTo(&page, QPoint(0, 0)), child->size());
        EXPECT_LE(inPage.right(), page.width()) << child->metaObject()->className();
    }
    // The snapshot test may not have made the folder yet: tests run in any order.
    QString folder = QString(LARKSPIRE_BUILD_DIR) + "/snapshots";
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_TRUE(page.grab().save(folder + "/tab-elements.png"));
}

}  // namespace

namespace {

TEST(TabRenderer, AnAmpersandInATitleIsShownAsItselfNotAsAShortcutMark) {
    QWidget page;
    qt::TabRenderer renderer{page};
    renderer.render(TabView{
        .elements = {TabSwitch{.title = "CPU & Arbeitsspeicher", .isOn = {[] { return false; }, [](bool) {}}},
                     TabButton{.title = "A & B", .action = [] {}}}});
    auto* box = page.findChild<QCheckBox*>();
    auto* button = page.findChild<QPushButton*>();
    ASSERT_TRUE(box && button);
    // Qt draws "&&" as one "&"; a single one would underline the next letter and vanish.
    EXPECT_EQ(box->text(), "CPU && Arbeitsspeicher");
    EXPECT_EQ(button->text(), "A && B");
}

}  // namespace
