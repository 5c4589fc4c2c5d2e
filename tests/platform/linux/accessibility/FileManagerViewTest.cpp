#include "platform/linux/accessibility/FileManagerView.h"

#include "support/RecordedAccessible.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <tuple>
#include <vector>

using namespace larkspire;
using namespace larkspire::linux_desktop;
using larkspire::testing::findRecorded;
using larkspire::testing::RecordedTree;
using nlohmann::json;

namespace {

const std::string recordings = std::string(LARKSPIRE_SOURCE_DIR) + "/tests/data/accessibility/";
const std::string recordedHome = "/tmp/atspi-rules/s3/home";
const std::string recordedFolder = recordedHome + "/Dokumente";

std::optional<FileManagerView> read(const RecordedTree& tree, FileManagerKind kind) {
    return readFileManagerWindow(kind, *tree.frame(), recordedHome);
}

std::vector<std::string> names(const FileManagerView& view, bool selectedOnly = false) {
    std::vector<std::string> found;
    for (const auto& item : view.items)
        if (!selectedOnly || item.selected) found.push_back(item.name);
    return found;
}

std::vector<std::string> files(int first, int last) {
    std::vector<std::string> found;
    for (int i = first; i <= last; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "Datei %02d.txt", i);
        found.push_back(name);
    }
    return found;
}

std::vector<std::string> withFolders(std::vector<std::string> names) {
    names.insert(names.begin(), {"Ordner A", "Ordner B"});
    return names;
}

struct Recording {
    std::string file;
    FileManagerKind kind;
    std::string title;
    Coordinates coordinates;
    Rect viewport;
    std::vector<std::string> visible;
    std::vector<std::string> selected;
};

void PrintTo(const Recording& recording, std::ostream* out) {
    *out << recording.file;
}

class RecordedWindow : public ::testing::TestWithParam<Recording> {};

TEST_P(RecordedWindow, ShowsTheFolderTheVisibleItemsAndTheSelection) {
    const Recording& expected = GetParam();
    auto tree = RecordedTree::load(recordings + expected.file);
    ASSERT_EQ(fileManagerKind(tree->application()), expected.kind);

    auto view = read(*tree, expected.kind);
    ASSERT_TRUE(view);
    EXPECT_EQ(view->title, expected.title);
    EXPECT_TRUE(view->active);
    EXPECT_EQ(view->coordinates, expected.coordinates);
    EXPECT_EQ(view->frame, tree->frame()->extents());
    EXPECT_EQ(view->folder, recordedFolder);
    EXPECT_EQ(view->viewport, expected.viewport);
    EXPECT_TRUE(view->exposesItems);
    EXPECT_EQ(names(*view), expected.visible);
    EXPECT_EQ(names(*view, true), expected.selected);
    for (const auto& item : view->items) {
        // Half-visible rows count; each one reaches into the viewport.
        EXPECT_LT(item.extents.y, expected.viewport.y + expected.viewport.height) << item.name;
        EXPECT_GT(item.extents.y + item.extents.height, expected.viewport.y) << item.name;
        EXPECT_GT(item.extents.width, 0) << item.name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    FileManagers, RecordedWindow,
    ::testing::Values(Recording{"thunar-details.json",
                                FileManagerKind::thunar,
                                "Dokumente - Thunar",
                                Coordinates::screen,
                                {272, 247, 729, 447},
                                files(3, 19),
                                {"Datei 05.txt", "Datei 07.txt", "Datei 10.txt"}},
                      // Back at the top of the list after the view was switched.
                      Recording{"thunar-buttons.json",
                                FileManagerKind::thunar,
                                "Dokumente - Thunar",
                                Coordinates::screen,
                                {272, 247, 729, 447},
                                withFolders(files(1, 14)),
                                {"Datei 05.txt", "Datei 07.txt", "Datei 10.txt"}},
                      Recording{"pcmanfm-details.json",
                                FileManagerKind::pcmanfmQt,
                                "Dokumente",
                                Coordinates::screen,
                                {354, 272, 746, 419},
                                files(4, 29),
                                {"Datei 06.txt", "Datei 08.txt", "Datei 11.txt"}},
                      Recording{"pcmanfm-icon.json",
                                FileManagerKind::pcmanfmQt,
                                "Dokumente",
                                Coordinates::screen,
                                {354, 250, 746, 441},
                                files(6, 40),
                                {"Datei 13.txt", "Datei 15.txt", "Datei 21.txt"}},
                      // Stale rows that GTK 4 kept ("Datei 02.txt" overlaps "Datei 03.txt") are left out.
                      Recording{"nautilus-list.json",
                                FileManagerKind::nautilus,
                                "Dokumente",
                                Coordinates::window,
                                {241, 77, 649, 513},
                                files(3, 12),
                                {"Datei 05.txt", "Datei 07.txt", "Datei 10.txt"}},
                      Recording{"nautilus-grid.json",
                                FileManagerKind::nautilus,
                                "Dokumente",
                                Coordinates::window,
                                {241, 47, 649, 543},
                                files(1, 20),
                                {"Datei 05.txt", "Datei 07.txt", "Datei 10.txt"}}),
    [](const auto& info) {
        std::string name = info.param.file.substr(0, info.param.file.find('.'));
        name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
        return name;
    });

TEST(FileManagerView, ThunarIconAndCompactViewsExposeNoItems) {
    for (std::string file : {"thunar-icon.json", "thunar-compact.json"}) {
        auto tree = RecordedTree::load(recordings + file);
        auto view = read(*tree, FileManagerKind::thunar);
        ASSERT_TRUE(view) << file;
        EXPECT_FALSE(view->exposesItems) << file;
        EXPECT_TRUE(view->items.empty()) << file;
        EXPECT_EQ(view->folder, recordedFolder) << file;
        EXPECT_EQ(view->viewport, (Rect{272, 222, 729, 472})) << file;
    }
}

TEST(FileManagerView, KnowsTheFileManagersByTheirNamesOnTheBus) {
    EXPECT_EQ(fileManagerKind("thunar"), FileManagerKind::thunar);
    EXPECT_EQ(fileManagerKind("Thunar"), FileManagerKind::thunar);
    EXPECT_EQ(fileManagerKind("pcmanfm-qt"), FileManagerKind::pcmanfmQt);
    EXPECT_EQ(fileManagerKind("org.gnome.Nautilus"), FileManagerKind::nautilus);
    EXPECT_EQ(fileManagerKind("gnome-shell"), std::nullopt);
    EXPECT_EQ(fileManagerKind(""), std::nullopt);
}

// Nautilus names its home button in the session's language ("Persönlicher Ordner" with LANGUAGE=de).
// That name, as the session's translation gives it, leads home; a name in any other language leads
// nowhere, so the window gets no folder and no badge.
TEST(FileManagerView, NautilusKnowsItsHomeButtonByTheSessionsNameAndNoOther) {
    auto tree = RecordedTree::load(recordings + "nautilus-list.json");
    json* home = findRecorded(tree->document["frames"][0], "label", "Home");
    ASSERT_TRUE(home);
    (*home)["name"] = "Persönlicher Ordner";
    const PathBarNames german{.home = "Persönlicher Ordner"};
    auto view = readFileManagerWindow(FileManagerKind::nautilus, *tree->frame(), recordedHome, german);
    ASSERT_TRUE(view);
    EXPECT_EQ(view->folder, recordedFolder);
    EXPECT_EQ(names(*view, true), (std::vector<std::string>{"Datei 05.txt", "Datei 07.txt", "Datei 10.txt"}));

    (*home)["name"] = "Dossier personnel";
    view = readFileManagerWindow(FileManagerKind::nautilus, *tree->frame(), recordedHome, german);
    ASSERT_TRUE(view);
    EXPECT_EQ(view->folder, std::nullopt);
    EXPECT_TRUE(view->items.empty());
}

// Outside the home folder the path bar starts at "/", which Nautilus names after the system (os-release's
// NAME); another system's name, or none, must give no folder rather than a wrong one.
TEST(FileManagerView, NautilusOutsideTheHomeFolderStartsAtTheButtonNamedAfterTheSystem) {
    auto tree = RecordedTree::load(recordings + "nautilus-outside-home.json");
    auto view = readFileManagerWindow(FileManagerKind::nautilus, *tree->frame(), recordedHome,
                                      PathBarNames{.system = "Debian GNU/Linux"});
    ASSERT_TRUE(view);
    EXPECT_EQ(view->folder, "/tmp/fmn-x/aussen/tief");
    EXPECT_EQ(names(*view), (std::vector<std::string>{"Notiz 1.txt", "Notiz 2.txt", "Notiz 3.txt"}));
    EXPECT_EQ(names(*view, true), (std::vector<std::string>{"Notiz 1.txt", "Notiz 2.txt"}));

    for (std::string other : {"Fedora Linux", "Linux"}) {
        view = readFileManagerWindow(FileManagerKind::nautilus, *tree->frame(), recordedHome,
                                     PathBarNames{.system = other});
        ASSERT_TRUE(view) << other;
        EXPECT_EQ(view->folder, std::nullopt) << other;
        EXPECT_TRUE(view->items.empty()) << other;
    }
}

// A long folder made from a real recording: `rows` rows of which only those at `firstVisible` and on
// are laid out (Thunar) or every row is laid out in order (pcmanfm-qt).
void growRows(json& table, int columns, int headers, int rows, int firstVisible, double top, double rowHeight,
              bool layoutAll, bool nameInSecondChild) {
    // The first row the program laid out gives every cell's place across the view.
    std::size_t laidOutRow = std::size_t(headers);
    while (laidOutRow + 1 < table["children"].size() && table["children"][laidOutRow]["extents"][0] < -1e6)
        laidOutRow += std::size_t(columns);
    json templateRow = json::array();
    for (int c = 0; c < columns; ++c) templateRow.push_back(table["children"][laidOutRow + std::size_t(c)]);
    json children = json::array();
    for (int h = 0; h < headers; ++h) children.push_back(table["children"][std::size_t(h)]);
    for (int r = 0; r < rows; ++r) {
        double y = top + (r - firstVisible) * rowHeight;
        bool laidOut = layoutAll || (r >= firstVisible && r < firstVisible + 20);
        for (int c = 0; c < columns; ++c) {
            json cell = templateRow[std::size_t(c)];
            auto& e = cell["extents"];
            e[1] = laidOut ? y : -2147483648.0;
            if (!laidOut) e[0] = -2147483648.0;
            std::string name = "Datei " + std::to_string(r) + ".txt";
            if (c == 0) {
                if (nameInSecondChild)
                    cell["children"][1]["name"] = name;
                else
                    cell["name"] = name;
            }
            cell["states"] = json::array({"selectable", "showing", "visible"});
            children.push_back(cell);
        }
    }
    table["children"] = children;
    table["childCount"] = int(children.size());
    table["selectedRows"] = json::array({firstVisible + 2, 4000});
}

TEST(FileManagerView, AFolderOfFiveThousandFilesCostsOnlyItsVisibleRows) {
    struct Case {
        std::string file;
        FileManagerKind kind;
        std::string role;
        int columns;
        double top;
        double rowHeight;
        bool layoutAll;
        bool nameInSecondChild;
    };
    for (const Case& c :
         {Case{"thunar-details.json", FileManagerKind::thunar, "table", 4, 247, 28, false, true},
          Case{"pcmanfm-details.json", FileManagerKind::pcmanfmQt, "tree", 8, 272, 17, true, false}}) {
        auto tree = RecordedTree::load(recordings + c.file);
        json* table = nullptr;
        // The item view is the largest table or tree of the window.
        std::function<void(json&)> largest = [&](json& node) {
            if (node.value("role", "") == c.role && (!table || node["childCount"] > (*table)["childCount"]))
                table = &node;
            for (auto& child : node["children"]) largest(child);
        };
        largest(tree->document["frames"][0]);
        ASSERT_TRUE(table);
        growRows(*table, c.columns, c.columns, 5000, 2500, c.top, c.rowHeight, c.layoutAll,
                 c.nameInSecondChild);

        tree->calls = 0;
        auto view = read(*tree, c.kind);
        ASSERT_TRUE(view) << c.file;
        ASSERT_FALSE(view->items.empty()) << c.file;
        EXPECT_EQ(view->items.front().name, "Datei 2500.txt") << c.file;
        EXPECT_EQ(names(*view, true), std::vector<std::string>{"Datei 2502.txt"}) << c.file;
        RecordProperty(c.file + " calls", int(tree->calls));
        // Finding the window's parts and some 16–25 rows, never the 5,000.
        EXPECT_LT(tree->calls, 450) << c.file;
    }
}

// Damaged trees: each is read without a crash, and what cannot be known is left out.
struct Damage {
    std::string name;
    std::string file;
    FileManagerKind kind;
    std::function<void(json& frame)> apply;
    bool folderKept;
};

void PrintTo(const Damage& damage, std::ostream* out) {
    *out << damage.name;
}

class DamagedTree : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedTree, GivesASoundFallback) {
    auto tree = RecordedTree::load(recordings + GetParam().file);
    GetParam().apply(tree->document["frames"][0]);
    auto view = read(*tree, GetParam().kind);
    ASSERT_TRUE(view);
    EXPECT_EQ(view->folder.has_value(), GetParam().folderKept);
    if (!view->folder) {
        EXPECT_TRUE(view->items.empty());
    }
    for (const auto& item : view->items) {
        EXPECT_FALSE(item.name.empty());
        EXPECT_TRUE(item.extents.isFinite()) << item.name;
        EXPECT_GT(item.extents.width, 0) << item.name;
    }
}

void forEach(json& node, const std::string& role, const std::function<void(json&)>& change) {
    if (node.value("role", "") == role) change(node);
    for (auto& child : node["children"]) forEach(child, role, change);
}

INSTANTIATE_TEST_SUITE_P(
    FileManagers, DamagedTree,
    ::testing::Values(
        Damage{"ChildCountsThatLie", "thunar-details.json", FileManagerKind::thunar,
               [](json& frame) { forEach(frame, "table", [](json& t) { t["childCount"] = 1000000; }); },
               true},
        Damage{"MissingChildren", "pcmanfm-details.json", FileManagerKind::pcmanfmQt,
               [](json& frame) {
                   forEach(frame, "tree", [](json& t) {
                       t["childCount"] = 5000;
                       t["children"] = json::array();
                   });
               },
               true},
        Damage{"NotANumberExtents", "pcmanfm-details.json", FileManagerKind::pcmanfmQt,
               [](json& frame) {
                   forEach(frame, "table cell", [](json& c) { c["extents"] = {"nan", 1, "inf", 17}; });
               },
               true},
        Damage{"NegativeSizes", "nautilus-list.json", FileManagerKind::nautilus,
               [](json& frame) {
                   forEach(frame, "table row", [](json& r) { r["extents"] = {265, 100, -601, -44}; });
               },
               true},
        Damage{"ALoopBackToTheFrame", "thunar-details.json", FileManagerKind::thunar,
               [](json& frame) {
                   // The tool bar lists the window again as its first child.
                   forEach(frame, "tool bar", [](json& t) {
                       t["children"].insert(t["children"].begin(), json{{"loop", 2}});
                       t["childCount"] = int(t["children"].size());
                   });
               },
               true},
        Damage{"EmptyNames", "pcmanfm-icon.json", FileManagerKind::pcmanfmQt,
               [](json& frame) { forEach(frame, "list item", [](json& i) { i["name"] = ""; }); }, true},
        Damage{"NamesThatLeadOutOfTheFolder", "nautilus-grid.json", FileManagerKind::nautilus,
               [](json& frame) {
                   forEach(frame, "table cell", [](json& c) {
                       if (c.value("name", "") != "NautilusGridCell") c["name"] = "../../etc/passwd";
                   });
               },
               true},
        Damage{"APathBarWithNothingChecked", "thunar-buttons.json", FileManagerKind::thunar,
               [](json& frame) {
                   forEach(frame, "toggle button", [](json& b) { b["states"] = json::array({"visible"}); });
               },
               false},
        Damage{"ALocationThatIsNoPath", "thunar-details.json", FileManagerKind::thunar,
               [](json& frame) { forEach(frame, "text", [](json& t) { t["text"] = "trash:///"; }); }, false},
        Damage{"APathBarWithoutItsRoot", "pcmanfm-details.json", FileManagerKind::pcmanfmQt,
               [](json& frame) {
                   forEach(frame, "check box", [](json& b) {
                       if (b.value("name", "") == "/") b["name"] = "tmp";
                   });
               },
               false}),
    [](const auto& info) { return info.param.name; });

TEST(FileManagerView, AnObjectThatIsNoWindowIsNotRead) {
    auto tree = RecordedTree::load(recordings + "thunar-details.json");
    tree->document["frames"][0]["role"] = "panel";
    EXPECT_EQ(read(*tree, FileManagerKind::thunar), std::nullopt);
    auto empty = std::make_shared<RecordedTree>(json{{"frames", json::array({json::object()})}});
    EXPECT_EQ(readFileManagerWindow(FileManagerKind::nautilus, *empty->frame()), std::nullopt);
}

}  // namespace

namespace {

void shiftRows(json& node, const std::string& role, double by) {
    forEach(node, role, [by](json& cell) {
        if (cell["extents"][1].get<double>() > -1e6)
            cell["extents"][1] = cell["extents"][1].get<double>() + by;
    });
}

TEST(FileManagerReader, ReadsAChangedSelectionAloneAndNoticesScrolling) {
    auto tree = RecordedTree::load(recordings + "pcmanfm-details.json");
    FileManagerReader reader(FileManagerKind::pcmanfmQt, tree->frame(), recordedHome);
    ASSERT_TRUE(reader.read());
    json& frame = tree->document["frames"][0];
    json* table = nullptr;
    // The folder's tree, not the side pane's.
    forEach(frame, "tree", [&](json& t) {
        if (t.value("childCount", 0) > 100) table = &t;
    });
    ASSERT_TRUE(table);

    EXPECT_FALSE(reader.selectionChanged());
    (*table)["selectedRows"] = json::array({10});
    tree->calls = 0;
    EXPECT_TRUE(reader.selectionChanged());  // without waiting for an event
    EXPECT_EQ(tree->calls, 1);
    auto selection = reader.readSelection();
    ASSERT_TRUE(selection);
    EXPECT_EQ(names(*selection, true), std::vector<std::string>{"Datei 09.txt"});
    EXPECT_LE(tree->calls, 3);
    EXPECT_FALSE(reader.selectionChanged());
    EXPECT_FALSE(reader.moved());

    // Scrolled down by one row: the first row read moved, and the items move along.
    shiftRows(*table, "table cell", -17);
    EXPECT_TRUE(reader.moved());
    auto scrolled = reader.readItems();
    ASSERT_TRUE(scrolled);
    EXPECT_EQ(names(*scrolled).front(), "Datei 05.txt");
    EXPECT_EQ(names(*scrolled).back(), "Datei 30.txt");
}

TEST(FileManagerReader, ReadsTheStatesOfNautilusRowsForTheSelection) {
    auto tree = RecordedTree::load(recordings + "nautilus-list.json");
    FileManagerReader reader(FileManagerKind::nautilus, tree->frame(), recordedHome);
    ASSERT_TRUE(reader.read());
    forEach(tree->document["frames"][0], "table row", [](json& row) {
        auto& states = row["states"];
        states.erase(std::remove(states.begin(), states.end(), "selected"), states.end());
        if (row["children"][0]["children"][0]["name"] == "Datei 12.txt") states.push_back("selected");
    });
    auto selection = reader.readSelection();
    ASSERT_TRUE(selection);
    EXPECT_EQ(names(*selection, true), std::vector<std::string>{"Datei 12.txt"});
}

}  // namespace

namespace {

// After going up a level, a path bar keeps the deeper buttons; the checked one is the folder shown.
TEST(FileManagerView, PathBarsNameTheCheckedFolderNotTheDeepest) {
    for (auto [file, kind, role] :
         {std::tuple{"thunar-buttons.json", FileManagerKind::thunar, "toggle button"},
          std::tuple{"pcmanfm-details.json", FileManagerKind::pcmanfmQt, "check box"}}) {
        auto tree = RecordedTree::load(recordings + file);
        forEach(tree->document["frames"][0], role, [](json& button) {
            auto& states = button["states"];
            states.erase(std::remove(states.begin(), states.end(), "checked"), states.end());
            if (button["name"] == "home") states.push_back("checked");
        });
        auto view = read(*tree, kind);
        ASSERT_TRUE(view) << file;
        EXPECT_EQ(view->folder, recordedHome) << file;
    }
}

}  // namespace

namespace {

// GTK 4 keeps hundreds of item widgets in a long folder. Once the shown ones are found, a new read of
// the items looks near them first instead of through all.
// Back at the top after End: rows 33–42 keep the places they had at the bottom and make a run as long as
// the rows shown. The rows the user is at (focused, selected) are the ones shown; then, after a jump back
// to the bottom that `moved` cannot see (the first row read keeps its place), a new selection finds them.
TEST(FileManagerReader, NautilusRowsLeftBehindByAFarScrollAreNotTakenForTheRowsShown) {
    auto tree = RecordedTree::load(recordings + "nautilus-scrolled-back.json");
    FileManagerReader reader(FileManagerKind::nautilus, tree->frame(), recordedHome);
    auto view = reader.read();
    ASSERT_TRUE(view);
    EXPECT_EQ(names(*view), files(1, 10));
    EXPECT_EQ(names(*view, true), files(1, 2));

    // The jump back: the top rows keep their places, the bottom rows take theirs again, 39–40 selected.
    json& list = *findRecorded(tree->document["frames"][0], "tree table", "GtkColumnView");
    auto& rows = list["children"][1]["children"];
    for (std::size_t i = 0; i < rows.size(); ++i) {
        auto& states = rows[i]["states"];
        states.erase(std::remove(states.begin(), states.end(), "selected"), states.end());
        states.erase(std::remove(states.begin(), states.end(), "focused"), states.end());
        if (i == 38 || i == 39) states.push_back("selected");
    }
    EXPECT_FALSE(reader.moved());
    auto selection = reader.readSelection();
    ASSERT_TRUE(selection);
    EXPECT_EQ(names(*selection, true), files(39, 40));
}

TEST(FileManagerReader, ReadsALongNautilusGridNearWhereItsItemsWere) {
    auto tree = RecordedTree::load(recordings + "nautilus-grid.json");
    json* grid = findRecorded(tree->document["frames"][0], "table", "GtkGridView");
    ASSERT_TRUE(grid);
    json cell = (*grid)["children"][4];
    json children = json::array();
    for (int k = 0; k < 700; ++k) {
        json item = cell;
        bool shown = k >= 300 && k < 320;
        int column = (k - 300) % 4, row = (k - 300) / 4;
        item["extents"] = shown ? json{261 + 154 * column, 50 + 136 * row, 144, 130} : json{256, 62, 0, 0};
        item["states"] = json::array({"focusable", "visible"});
        item["children"][0]["name"] = "Datei " + std::to_string(k) + ".txt";
        children.push_back(item);
    }
    (*grid)["children"] = children;
    (*grid)["childCount"] = 700;

    FileManagerReader reader(FileManagerKind::nautilus, tree->frame(), recordedHome);
    auto first = reader.read();
    ASSERT_TRUE(first);
    std::vector<std::string> expected;
    for (int k = 300; k < 316; ++k) expected.push_back("Datei " + std::to_string(k) + ".txt");
    EXPECT_EQ(names(*first), expected);

    tree->calls = 0;
    auto again = reader.readItems();
    ASSERT_TRUE(again);
    EXPECT_EQ(names(*again), expected);
    EXPECT_LT(tree->calls, 500);
}

}  // namespace

namespace {

// A row the program has made but not laid out yet: its cell has no place, the rows after it have.
void unplace(json& frame, const std::string& name, const json& extents) {
    forEach(frame, "table cell", [&](json& cell) {
        bool named = cell.value("name", "") == name ||
                     (cell["children"].size() > 1 && cell["children"][1].value("name", "") == name);
        if (named) cell["extents"] = extents;
    });
}

TEST(FileManagerReader, AWindowStillBeingBuiltIsNoCompleteRead) {
    struct Case {
        std::string file;
        FileManagerKind kind;
        json unplaced;
    };
    for (const auto& c :
         {Case{"thunar-details.json", FileManagerKind::thunar, json{-2147483648.0, -2147483648.0, 0, 0}},
          Case{"pcmanfm-details.json", FileManagerKind::pcmanfmQt, json{0, 0, 0, 0}}}) {
        auto tree = RecordedTree::load(recordings + c.file);
        FileManagerReader reader(c.kind, tree->frame(), recordedHome);
        auto whole = reader.read();
        ASSERT_TRUE(whole) << c.file;
        EXPECT_TRUE(reader.complete()) << c.file;

        // A half-built row in the middle: the rows after it are still read, but the read is not whole.
        json& frame = tree->document["frames"][0];
        unplace(frame, "Datei 10.txt", c.unplaced);
        auto gap = reader.readItems();
        ASSERT_TRUE(gap) << c.file;
        EXPECT_FALSE(reader.complete()) << c.file;
        auto expected = names(*whole);
        std::erase(expected, "Datei 10.txt");
        EXPECT_EQ(names(*gap), expected) << c.file;

        // A row whose cells are not named yet is left out, and the read is not whole until it is named.
        auto nameless = RecordedTree::load(recordings + c.file);
        FileManagerReader unnamedReader(c.kind, nameless->frame(), recordedHome);
        std::vector<json*> nameHolders;
        forEach(nameless->document["frames"][0], "table cell", [&](json& cell) {
            if (cell.value("name", "") == "Datei 10.txt") nameHolders.push_back(&cell);
            if (cell["children"].size() > 1 && cell["children"][1].value("name", "") == "Datei 10.txt")
                nameHolders.push_back(&cell["children"][1]);
        });
        ASSERT_FALSE(nameHolders.empty()) << c.file;
        for (json* holder : nameHolders) (*holder)["name"] = "";
        auto building = unnamedReader.read();
        ASSERT_TRUE(building) << c.file;
        EXPECT_EQ(names(*building), expected) << c.file;
        EXPECT_FALSE(unnamedReader.complete()) << c.file;
        EXPECT_TRUE(unnamedReader.moved()) << c.file;
        for (json* holder : nameHolders) (*holder)["name"] = "Datei 10.txt";
        ASSERT_TRUE(unnamedReader.readItems()) << c.file;
        EXPECT_TRUE(unnamedReader.complete()) << c.file;
        EXPECT_FALSE(unnamedReader.moved()) << c.file;

        // The last rows not laid out yet end the read early, and it looks whole; once they are laid
        // out, the reader notices without an event.
        auto late = RecordedTree::load(recordings + c.file);
        FileManagerReader lateReader(c.kind, late->frame(), recordedHome);
        auto all = names(*whole);
        ASSERT_GE(all.size(), 3u) << c.file;
        std::vector<std::pair<json*, json>> places;
        for (std::size_t i = all.size() - 2; i < all.size(); ++i)
            forEach(late->document["frames"][0], "table cell", [&](json& cell) {
                if (cell.value("name", "") == all[i] ||
                    (cell["children"].size() > 1 && cell["children"][1].value("name", "") == all[i]))
                    places.emplace_back(&cell, cell["extents"]);
            });
        for (auto& [cell, extents] : places) (*cell)["extents"] = c.unplaced;
        auto early = lateReader.read();
        ASSERT_TRUE(early) << c.file;
        EXPECT_EQ(names(*early), std::vector<std::string>(all.begin(), all.end() - 2)) << c.file;
        EXPECT_FALSE(lateReader.moved()) << c.file;
        for (auto& [cell, extents] : places) (*cell)["extents"] = extents;
        EXPECT_TRUE(lateReader.moved()) << c.file;
        auto laidOut = lateReader.readItems();
        ASSERT_TRUE(laidOut) << c.file;
        EXPECT_EQ(names(*laidOut), all) << c.file;

        // A window not named yet.
        auto fresh = RecordedTree::load(recordings + c.file);
        fresh->document["frames"][0]["name"] = "";
        FileManagerReader unnamed(c.kind, fresh->frame(), recordedHome);
        ASSERT_TRUE(unnamed.read()) << c.file;
        EXPECT_FALSE(unnamed.complete()) << c.file;
    }

    // Views that list nothing are whole with their place; a window whose view is not there yet is not.
    auto icons = RecordedTree::load(recordings + "thunar-icon.json");
    FileManagerReader iconReader(FileManagerKind::thunar, icons->frame(), recordedHome);
    ASSERT_TRUE(iconReader.read());
    EXPECT_TRUE(iconReader.complete());
    forEach(icons->document["frames"][0], "directory pane", [](json& pane) {
        pane["children"] = json::array();
        pane["childCount"] = 0;
    });
    ASSERT_TRUE(iconReader.read());
    EXPECT_FALSE(iconReader.complete());
}

}  // namespace
