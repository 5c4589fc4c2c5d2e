#include "platform/linux/mounts/GtkBookmarks.h"

#include "network/FinderSidebar.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace larkspire;
using namespace larkspire::linux_desktop;
using larkspire::testing::readText;
using larkspire::testing::TemporaryFolder;
using larkspire::testing::writeText;

namespace {

TEST(GtkBookmarks, EveryLineThatIsNotTouchedStaysByteForByte) {
    std::string text = "# von Hand\r\n"
                       "file:///home/anna/Musik%20alt Musik\r\n"
                       "\n"
                       "file:///home/anna/caf\xe9\n"  // not UTF-8: kept, but not an entry
                       "sftp://anna@host/srv/daten\n"
                       "kein-uri\n"
                       "file:///tmp/letzte";  // no line feed at the end
    auto bookmarks = GtkBookmarks::parse(text);
    EXPECT_EQ(bookmarks.text(), text);
    auto items = bookmarks.items();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0], (SidebarItem{"file:///home/anna/Musik%20alt", "Musik"}));
    EXPECT_EQ(items[1], (SidebarItem{"sftp://anna@host/srv/daten", "daten"}));

    ASSERT_TRUE(bookmarks.insertAfter(items[2], "file:///neu/Ordner", std::nullopt));
    ASSERT_TRUE(bookmarks.remove(items[0]));
    EXPECT_EQ(bookmarks.text(), "# von Hand\r\n\nfile:///home/anna/caf\xe9\nsftp://anna@host/srv/daten\n"
                                "kein-uri\nfile:///tmp/letzte\nfile:///neu/Ordner");
    EXPECT_FALSE(bookmarks.insertAfter(items[1], "file:///a\nfile:///b", std::nullopt));
    EXPECT_FALSE(bookmarks.remove(items[0]));
}

TEST(GtkBookmarksSidebar, AFolderIsAddedOnceAtTheEndAndTheFileKeepsItsOtherLines) {
    TemporaryFolder tmp;
    auto file = tmp / "gtk-3.0/bookmarks";
    auto places = tmp / "user-places.xbel";
    std::string xbel =
        "<?xml version=\"1.0\"?>\n<xbel>\n <bookmark href=\"file:///home\">\n  <title>Home</title>\n"
        " </bookmark>\n</xbel>\n";
    GtkBookmarksSidebar sidebar(file, places);
    // A missing file is an empty sidebar, which offers no entry to put a new one after.
    EXPECT_FALSE(FinderSidebar::add(sidebar, Url::fileUrl(tmp.path().string())));
    EXPECT_FALSE(std::filesystem::exists(file));

    auto folder = tmp.folder("Zeile\nzwei");  // a line feed in a name must not split the entry
    writeText(file, "# Kommentar\nfile:///nicht/da Alt\n");
    ::chmod(file.c_str(), 0640);
    writeText(places, xbel);
    ASSERT_TRUE(FinderSidebar::add(sidebar, Url::fileUrl(folder.string())));
    ASSERT_TRUE(FinderSidebar::add(sidebar, Url::fileUrl(folder.string() + "/.")));
    EXPECT_EQ(readText(file),
              "# Kommentar\nfile:///nicht/da Alt\n" + Url::fileUrl(folder.string()).string() + "\n");
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
              std::filesystem::perms(0640));

    auto mirrored = readText(places);
    EXPECT_TRUE(mirrored.starts_with(xbel.substr(0, xbel.size() - 8)));
    EXPECT_EQ(mirrored.find(" <bookmark href=\"" + Url::fileUrl(folder.string()).string() + "\">"),
              xbel.size() - 8);

    FinderSidebar::remove(sidebar, std::nullopt, "Alt");  // does not resolve: found by its name
    FinderSidebar::remove(sidebar, folder.string(), std::nullopt);
    EXPECT_EQ(readText(file), "# Kommentar\n");
    EXPECT_EQ(readText(places), xbel);
}

}  // namespace
