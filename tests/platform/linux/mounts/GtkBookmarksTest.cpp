#include "platform/linux/mounts/GtkBookmarks.h"

#include "network/FinderSidebar.h"
#include "support/TemporaryFolder.h"

#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace larkspire;
using namespace larkspire::linux_desktop;
using larkspire::testing::readText;
using larkspire::testing::TemporaryFolder;
using larkspire::testing::writeText;
namespace fs = std::filesystem;

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

// The bookmarks file with one entry and KDE's places file, as a user who has both has them.
struct SidebarFiles {
    TemporaryFolder tmp;
    fs::path bookmarks = tmp / "gtk-3.0/bookmarks";
    fs::path places = tmp / "user-places.xbel";
    std::string bookmarksText = "file:///alt Alt\n";
    std::string placesText = "<?xml version=\"1.0\"?>\n<xbel>\n</xbel>\n";
    SidebarFiles() {
        writeText(bookmarks, bookmarksText);
        writeText(places, placesText);
    }
    bool add() {
        GtkBookmarksSidebar sidebar(bookmarks, places);
        return FinderSidebar::add(sidebar, Url::fileUrl(tmp.folder("Neu").string()));
    }
};

struct stat statusOf(const fs::path& file) {
    struct stat info {};
    ::stat(file.c_str(), &info);
    return info;
}

// A file the user made read-only, or another account's file behind a link in the user's folder, is
// neither replaced nor given to the user; a refused bookmarks file means the folder was not added.
TEST(GtkBookmarksSidebar, AFileThatIsReadOnlyOrNotTheUsersOwnIsNeverReplaced) {
    for (bool inBookmarks : {true, false}) {
        for (bool foreign : {false, true}) {
            if (foreign && ::geteuid() != 0) continue;  // only root can give a file to another user
            SidebarFiles files;
            auto attacked = inBookmarks ? files.bookmarks : files.places;
            auto text = readText(attacked);
            auto real = attacked;
            if (foreign) {
                real = files.tmp / "fremd" / attacked.filename();
                writeText(real, text);
                ASSERT_EQ(::chown(real.c_str(), 65534, 65534), 0);
                ::chmod(real.c_str(), 0666);  // writable by all, yet not the user's own
                fs::remove(attacked);
                fs::create_symlink(real, attacked);
            } else {
                ::chmod(real.c_str(), 0444);
            }
            auto before = statusOf(real);
            auto what = std::string(inBookmarks ? "bookmarks" : "places") + (foreign ? " fremd" : " 0444");

            EXPECT_EQ(files.add(), !inBookmarks) << what;
            EXPECT_EQ(readText(real), text) << what;
            auto after = statusOf(real);
            EXPECT_EQ(after.st_ino, before.st_ino) << what;
            EXPECT_EQ(after.st_uid, before.st_uid) << what;
            EXPECT_EQ(after.st_mode, before.st_mode) << what;
            if (foreign) {
                EXPECT_TRUE(fs::is_symlink(attacked)) << what;
            }
            if (!inBookmarks) {
                EXPECT_NE(readText(files.bookmarks).find("/Neu\n"), std::string::npos) << what;
            }
        }
    }
}

// Whatever stands in a file's place (a device that never ends, a pipe without a writer, a folder, a
// file far too big) is not read: the sidebar answers at once, and nothing is written.
TEST(GtkBookmarksSidebar, OnlyRegularFilesOfASaneSizeAreRead) {
    std::vector<std::pair<std::string, std::function<void(const fs::path&)>>> kinds{
        {"/dev/zero", [](const fs::path& file) { fs::create_symlink("/dev/zero", file); }},
        {"fifo", [](const fs::path& file) { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); }},
        {"folder", [](const fs::path& file) { fs::create_directory(file); }},
        {"64 MB",
         [](const fs::path& file) {
             writeText(file, "file:///alt Alt\n");
             fs::resize_file(file, 64 * 1024 * 1024);
         }},
    };
    for (const auto& [name, make] : kinds) {
        for (bool inBookmarks : {true, false}) {
            SidebarFiles files;
            auto attacked = inBookmarks ? files.bookmarks : files.places;
            fs::remove(attacked);
            make(attacked);
            auto before = fs::symlink_status(attacked);
            GtkBookmarksSidebar sidebar(files.bookmarks, files.places);
            if (inBookmarks) {
                EXPECT_FALSE(sidebar.snapshot()) << name;
            }
            EXPECT_EQ(files.add(), !inBookmarks) << name;
            EXPECT_EQ(fs::symlink_status(attacked).type(), before.type()) << name;
            if (before.type() == fs::file_type::regular) {
                EXPECT_EQ(fs::file_size(attacked), 64u * 1024 * 1024);
            }
        }
    }
}

}  // namespace
