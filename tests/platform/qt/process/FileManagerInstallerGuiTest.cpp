#include "platform/qt/process/FileManagerInstaller.h"
#include "support/TemporaryFolder.h"

#include <QXmlStreamReader>
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

using namespace larkspire;
using larkspire::linux_desktop::FileManagerIntegrations;
using larkspire::testing::readText;
using larkspire::testing::TemporaryFolder;
using larkspire::testing::writeText;
namespace fs = std::filesystem;

namespace {

std::string shellQuoted(const std::string& text) {
    std::string word = "'";
    for (char c : text) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return word + "'";
}

int count(const std::string& text, const std::string& part) {
    int found = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++found;
    return found;
}

// Text of the first element `name` in an XML document, as a reader sees it.
std::string elementText(const std::string& document, const char* name) {
    QXmlStreamReader xml(QString::fromStdString(document));
    while (xml.readNextStartElement() || !xml.atEnd()) {
        if (xml.isStartElement() && xml.name() == QLatin1String(name))
            return xml.readElementText().toStdString();
        if (!xml.isStartElement()) xml.readNext();
    }
    return {};
}

// The child elements of the <action> whose unique-id is `id`, name to text; empty when none.
std::map<std::string, std::string> thunarActionWithId(const std::string& document, const std::string& id) {
    QXmlStreamReader xml(QString::fromStdString(document));
    std::map<std::string, std::string> action;
    int depth = 0;
    while (!xml.atEnd()) {
        auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement && ++depth == 2) {
            action.clear();
        } else if (token == QXmlStreamReader::StartElement && depth == 3) {
            auto name = xml.name().toString().toStdString();
            action[name] = xml.readElementText().toStdString();
            --depth;
        } else if (token == QXmlStreamReader::EndElement && depth-- == 2 && action["unique-id"] == id) {
            return action;
        }
    }
    return {};
}

// Thunar's command line: %% made single and %-codes filled in from `codes`, then run by a shell.
std::string thunarCommandLine(const std::string& command, const std::map<char, std::string>& codes) {
    std::string line;
    for (std::size_t i = 0; i < command.size(); ++i) {
        if (command[i] == '%' && i + 1 < command.size()) {
            char code = command[++i];
            line += codes.contains(code) ? codes.at(code) : std::string(1, code);
        } else {
            line += command[i];
        }
    }
    return line;
}

// The arguments of an Exec value after the desktop-entry rules (string escapes, quoting, %%).
std::vector<std::string> execArguments(const std::string& exec) {
    std::string text;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        if (exec[i] == '\\' && i + 1 < exec.size()) {
            char next = exec[++i];
            text += next == 's' ? ' ' : next == 'n' ? '\n' : next == 't' ? '\t' : next;
        } else {
            text += exec[i];
        }
    }
    std::vector<std::string> arguments;
    std::string current;
    bool quoted = false, any = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (quoted && c == '\\' && i + 1 < text.size()) {
            current += text[++i];
        } else if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if (c == '%' && i + 1 < text.size() && text[i + 1] == '%') {
            current += text[++i];
        } else if (c == ' ' && !quoted) {
            if (any || !current.empty()) arguments.push_back(current);
            current.clear();
            any = false;
        } else {
            current += c;
        }
    }
    if (any || !current.empty()) arguments.push_back(current);
    return arguments;
}

// A user's home with a stand-in for the program that records what it is asked.
struct Installer : ::testing::Test {
    Installer() {
        writeText(home / "bin/larkspire",
                  "#!/bin/sh\nprintf '%s\\n' \"$@\" >> \"$(dirname \"$0\")/requests\"\n");
        fs::permissions(home / "bin/larkspire", fs::perms::owner_all);
    }
    FileManagerIntegrations::Places places() {
        return {.nautilusScript = home / "data/nautilus/scripts/Neue Datei",
                .dolphinServiceMenus = {home / "data/kio/servicemenus/larkspire-neue-datei.desktop"},
                .thunarActions = home / "config/Thunar/uca.xml",
                .systemThunarActions = {home / "etc/xdg/Thunar/uca.xml"},
                .newFileHelper = helper};
    }
    qt::FileManagerInstall install() {
        return qt::installFileManagerEntries((home / "bin/larkspire").string(), places());
    }
    std::string requests() { return readText(home / "bin/requests"); }
    std::string userActions() { return readText(home / "config/Thunar/uca.xml"); }

    TemporaryFolder home;
    fs::path helper = home / "data/larkspire/larkspire-new-file";
};

TEST_F(Installer, AFreshAccountStartsFromTheSharedThunarActions) {
    std::string shared =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n<action>\n\t<name>Terminal hier "
        "öffnen</name>\n\t<unique-id>1-1</unique-id>\n\t<command>exo-open --working-directory %f "
        "--launch TerminalEmulator</command>\n</action>\n</actions>\n";
    writeText(home / "etc/xdg/Thunar/uca.xml", shared);
    FileManagerIntegrations integrations(places());
    EXPECT_FALSE(integrations.isEnabled());

    auto result = install();
    EXPECT_TRUE(result.problems.empty());
    EXPECT_TRUE(integrations.isEnabled());
    auto actions = userActions();
    EXPECT_EQ(actions.substr(0, shared.rfind("</actions>")), shared.substr(0, shared.rfind("</actions>")));
    EXPECT_EQ(count(actions, "<unique-id>larkspire-neue-datei</unique-id>"), 1);
    EXPECT_FALSE(
        fs::exists(home / "config/Thunar/uca.xml.larkspire-backup"));  // nothing of the user's changed
    EXPECT_EQ(readText(home / "etc/xdg/Thunar/uca.xml"), shared);
    for (const auto& script : {helper, places().nautilusScript, places().dolphinServiceMenus[0]})
        EXPECT_NE(fs::status(script).permissions() & fs::perms::owner_exec, fs::perms::none) << script;
}

TEST_F(Installer, TheUsersThunarFileKeepsItsFormLinkModeAndEveryOtherAction) {
    // One line, Windows line ends, a comment naming <action>, entities, and a link into a dotfiles folder.
    std::string theirs =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<actions><!-- <action> alt --><action>"
        "<name>A &amp; B</name><unique-id>7</unique-id><command>sort &lt; %f</command></action>"
        "</actions>\r\n";
    writeText(home / "dotfiles/uca.xml", theirs);
    ::chmod((home / "dotfiles/uca.xml").c_str(), 0600);
    fs::create_directories(home / "config/Thunar");
    fs::create_symlink(home / "dotfiles/uca.xml", home / "config/Thunar/uca.xml");

    ASSERT_TRUE(install().problems.empty());
    auto once = userActions();
    ASSERT_TRUE(install().problems.empty());

    EXPECT_TRUE(fs::is_symlink(home / "config/Thunar/uca.xml"));
    EXPECT_EQ(fs::status(home / "dotfiles/uca.xml").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    auto merged = readText(home / "dotfiles/uca.xml");
    EXPECT_EQ(merged, once);
    auto end = theirs.find("</actions>");
    EXPECT_EQ(merged.substr(0, end), theirs.substr(0, end));
    EXPECT_TRUE(merged.ends_with("</actions>\r\n"));
    EXPECT_EQ(count(merged, "<unique-id>larkspire-neue-datei</unique-id>"), 1);
    EXPECT_EQ(readText(home / "config/Thunar/uca.xml.larkspire-backup"), theirs);

    QXmlStreamReader check(QString::fromStdString(merged));
    while (!check.atEnd()) check.readNext();
    EXPECT_FALSE(check.hasError()) << check.errorString().toStdString();
}

TEST_F(Installer, AnUpdatedActionReplacesTheEarlierOneAndIsBackedUpFirst) {
    std::string theirs =
        "<actions>\n<action><unique-id>larkspire-neue-datei</unique-id><command>alt</command>"
        "</action>\n<action><unique-id>2</unique-id></action>\n</actions>\n";
    writeText(home / "config/Thunar/uca.xml", theirs);
    ASSERT_TRUE(install().problems.empty());
    auto merged = userActions();
    EXPECT_EQ(count(merged, "<unique-id>larkspire-neue-datei</unique-id>"), 1);
    EXPECT_EQ(count(merged, "<command>alt</command>"), 0);
    EXPECT_EQ(count(merged, "<action><unique-id>2</unique-id></action>\n"), 1);
    EXPECT_EQ(readText(home / "config/Thunar/uca.xml.larkspire-backup"), theirs);
}

TEST_F(Installer, AThunarFileThatIsNoActionListIsLeftAloneAndSaidSo) {
    for (std::string theirs : {"kaputt", "<actions><action></actions>", "<menu><action/></menu>"}) {
        writeText(home / "config/Thunar/uca.xml", theirs);
        auto result = install();
        EXPECT_EQ(userActions(), theirs);
        ASSERT_EQ(result.problems.size(), 1u) << theirs;
        EXPECT_NE(result.problems[0].find("Thunar"), std::string::npos);
        EXPECT_TRUE(fs::exists(places().nautilusScript));  // the other entries are still set up
    }
}

TEST_F(Installer, AnEmptyActionListOrFileGetsOurAction) {
    for (std::string theirs : {"<?xml version=\"1.0\"?>\n<actions/>\n", "\n"}) {
        writeText(home / "config/Thunar/uca.xml", theirs);
        ASSERT_TRUE(install().problems.empty()) << theirs;
        EXPECT_EQ(elementText(userActions(), "unique-id"), "larkspire-neue-datei") << theirs;
        EXPECT_EQ(readText(home / "config/Thunar/uca.xml.larkspire-backup"), theirs);
    }
}

// Paths with characters that mean something to XML, desktop entries, Thunar or the shell.
TEST_F(Installer, EveryEntryCallsTheHelperWhateverItsPath) {
    helper = home / "data/A & <B> \"C\" $HOME 100% it's/larkspire-new-file";
    ASSERT_TRUE(install().problems.empty());

    // Thunar: the XML text, %% made single and %d/%f filled in quoted, then run by a shell.
    auto line = thunarCommandLine(elementText(userActions(), "command"),
                                  {{'d', shellQuoted("/tmp/a b")}, {'f', shellQuoted("/tmp/a b/c")}});
    ASSERT_EQ(std::system(line.c_str()), 0) << line;

    // Dolphin: the Exec value read by the desktop-entry rules.
    auto menu = readText(places().dolphinServiceMenus[0]);
    auto exec = menu.substr(menu.find("\nExec=") + 6);
    exec = exec.substr(0, exec.find('\n'));
    auto arguments = execArguments(exec);
    ASSERT_EQ(arguments.size(), 3u) << exec;
    EXPECT_EQ(arguments[0], helper.string());
    EXPECT_EQ(arguments[2], "%f");

    EXPECT_EQ(requests(), "quirefold://create?dir=/tmp/a%20b&sel=/tmp/a%20b/c\n");
}

TEST_F(Installer, TheHelperPercentEncodesFolderAndSelection) {
    ASSERT_TRUE(install().problems.empty());
    std::string command = shellQuoted(helper.string()) +
                          " --dir '/tmp/Projekt Ä/a&b=c' --sel '/tmp/x y/100%.txt' --sel relativ";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(requests(),
              "quirefold://create?dir=/tmp/Projekt%20%C3%84/a%26b%3Dc&sel=/tmp/x%20y/100%25.txt\n");
}

// A newline in a folder's name once sent the file to a sibling folder named like the first line.
TEST_F(Installer, NautilusSendsTheShownFolderAndTheFirstSelectedItemEvenWithNewlines) {
    ASSERT_TRUE(install().problems.empty());
    std::string command =
        "NAUTILUS_SCRIPT_CURRENT_URI='file:///home/anna/Ordner%20%C3%9C' "
        "NAUTILUS_SCRIPT_SELECTED_FILE_PATHS='/home/anna/Ordner Ü/zwei\nZeilen\n/home/anna/c\n' "
        "NAUTILUS_SCRIPT_SELECTED_URIS='file:///home/anna/Ordner%20%C3%9C/zwei%0AZeilen\n"
        "file:///home/anna/c\n' " +
        shellQuoted(places().nautilusScript.string());
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(
        requests(),
        "quirefold://create?dir=/home/anna/Ordner%20%C3%9C&sel=/home/anna/Ordner%20%C3%9C/zwei%0AZeilen\n");
}

TEST_F(Installer, NautilusLeavesOutPlacesThatAreNoLocalFiles) {
    ASSERT_TRUE(install().problems.empty());
    std::string command =
        "NAUTILUS_SCRIPT_CURRENT_URI='sftp://server/home' NAUTILUS_SCRIPT_SELECTED_URIS='' " +
        shellQuoted(places().nautilusScript.string());
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(requests(), "quirefold://create\n");
}

TEST_F(Installer, TheSidebarEntrySendsOnePathItemPerSelectedFolder) {
    ASSERT_TRUE(install().problems.empty());
    auto script = places().nautilusScript.parent_path() / "Zur Seitenleiste hinzufügen";
    std::string command = "cd /tmp && NAUTILUS_SCRIPT_SELECTED_URIS='file:///home/anna/Ordner%20%C3%9C\n"
                          "file:///srv/a%26b\n' " +
                          shellQuoted(script.string()) + " && " +
                          shellQuoted((helper.parent_path() / "larkspire-add-favorite").string()) +
                          " relativ";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(requests(), "quirefold://favorite?path=/home/anna/Ordner%20%C3%9C&path=/srv/a%26b\n"
                          "quirefold://favorite?path=/tmp/relativ\n");
    EXPECT_TRUE(fs::exists(home / "data/kio/servicemenus/larkspire-seitenleiste.desktop"));
}

TEST_F(Installer, ThunarGetsTheSidebarActionForFoldersBesideNeueDateiOnceAndTheUsersOwnStays) {
    helper = home / "data/A & <B> \"C\" $HOME 100% it's/larkspire-new-file";
    std::string theirs =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n"
        "<action><unique-id>larkspire-seitenleiste</unique-id><command>alt</command></action>\n"
        "<action>\n\t<name>Zur Seitenleiste</name>\t<unique-id>7</unique-id>\n"
        "\t<command>meins %F</command><directories/></action>\n</actions>\n";
    writeText(home / "config/Thunar/uca.xml", theirs);
    ASSERT_TRUE(install().problems.empty());
    auto once = userActions();
    ASSERT_TRUE(install().problems.empty());
    auto merged = userActions();
    EXPECT_EQ(merged, once);
    EXPECT_EQ(count(merged, "<unique-id>larkspire-neue-datei</unique-id>"), 1);
    EXPECT_EQ(count(merged, "<unique-id>larkspire-seitenleiste</unique-id>"), 1);
    EXPECT_EQ(count(merged, "<command>alt</command>"), 0);
    auto users = theirs.substr(theirs.find("<action>\n\t"));
    users = users.substr(0, users.find("</actions>"));
    EXPECT_EQ(count(merged, users), 1);
    EXPECT_EQ(readText(home / "config/Thunar/uca.xml.larkspire-backup"), theirs);

    auto action = thunarActionWithId(merged, "larkspire-seitenleiste");
    EXPECT_EQ(action["name"], "Zur Seitenleiste hinzufügen");
    // Folders only: Thunar offers an action for every kind of item it lists.
    EXPECT_TRUE(action.contains("directories"));
    for (auto kind : {"audio-files", "image-files", "other-files", "text-files", "video-files"})
        EXPECT_FALSE(action.contains(kind)) << kind;
    auto line = thunarCommandLine(action["command"],
                                  {{'F', shellQuoted("/tmp/a b") + " " + shellQuoted("/srv/c&d")}});
    ASSERT_EQ(std::system(line.c_str()), 0) << line;
    EXPECT_EQ(requests(), "quirefold://favorite?path=/tmp/a%20b&path=/srv/c%26d\n");
    EXPECT_TRUE(thunarActionWithId(merged, "larkspire-neue-datei").contains("other-files"));
}

// Nautilus and newer Dolphin versions run only executable entries, so a file already standing in an
// entry's place is made executable, whether its contents were old or already ours.
TEST_F(Installer, EveryEntryIsExecutableEvenWhereAFileAlreadyStood) {
    auto entries = {helper,
                    places().nautilusScript,
                    places().dolphinServiceMenus[0],
                    helper.parent_path() / "larkspire-add-favorite",
                    places().nautilusScript.parent_path() / "Zur Seitenleiste hinzufügen",
                    places().dolphinServiceMenus[0].parent_path() / "larkspire-seitenleiste.desktop"};
    for (const auto& entry : entries) {
        writeText(entry, "alt\n");
        ::chmod(entry.c_str(), 0644);
    }
    for (bool sameContents : {false, true}) {
        if (sameContents)
            for (const auto& entry : entries) ::chmod(entry.c_str(), 0644);
        auto result = install();
        EXPECT_TRUE(result.problems.empty());
        for (const auto& entry : entries) {
            EXPECT_EQ(fs::status(entry).permissions() & fs::perms::all, fs::perms(0755)) << entry;
            EXPECT_EQ(std::count(result.written.begin(), result.written.end(), entry.string()), 1) << entry;
        }
    }
    EXPECT_EQ(fs::status(places().thunarActions).permissions() & fs::perms::all, fs::perms(0644));
}

}  // namespace
