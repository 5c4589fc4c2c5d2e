#include "platform/linux/FileManagerIntegrations.h"

#include "support/TemporaryFolder.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

using namespace larkspire;
using larkspire::linux_desktop::FileManagerIntegrations;
using larkspire::testing::TemporaryFolder;
namespace fs = std::filesystem;

namespace {

std::string quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

std::string read(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

int count(const std::string& text, const std::string& part) {
    int found = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++found;
    return found;
}

// A user's home folder in which the installer runs.
struct Integrations : ::testing::Test {
    int install() {
        std::string command = "env -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME=" + quoted(home.path()) +
                              " bash " + quoted(fs::path(LARKSPIRE_SOURCE_DIR) / "integrations/install.sh") +
                              " " + quoted(home / "bin/larkspire") + " 2>/dev/null";
        return std::system(command.c_str());
    }
    FileManagerIntegrations::Places places() {
        return {.nautilusScript = home / ".local/share/nautilus/scripts/Neue Datei",
                .dolphinServiceMenus = {home / ".local/share/kio/servicemenus/larkspire-neue-datei.desktop"},
                .thunarActions = home / ".config/Thunar/uca.xml"};
    }
    TemporaryFolder home;
};

TEST_F(Integrations, InstallingEnablesTheExtension) {
    FileManagerIntegrations integrations(places());
    EXPECT_FALSE(integrations.isEnabled());
    ASSERT_EQ(install(), 0);
    EXPECT_TRUE(integrations.isEnabled());
    EXPECT_TRUE(fs::exists(home / ".local/share/kio/servicemenus/larkspire-neue-datei.desktop"));
    auto perms = fs::status(home / ".local/share/nautilus/scripts/Neue Datei").permissions();
    EXPECT_NE(perms & fs::perms::owner_exec, fs::perms::none);
}

TEST_F(Integrations, AnyOneOfTheThreeCounts) {
    auto onlyThunar = places();
    home.file(".config/Thunar/uca.xml", "<actions><action><unique-id>other</unique-id></action></actions>");
    EXPECT_FALSE(FileManagerIntegrations(onlyThunar).isEnabled());
    home.file(".config/Thunar/uca.xml",
              "<actions><action><unique-id>larkspire-neue-datei</unique-id></action></actions>");
    EXPECT_TRUE(FileManagerIntegrations(onlyThunar).isEnabled());

    auto onlyDolphin = places();
    home.file("dolphin.desktop");
    onlyDolphin.thunarActions = home / "none.xml";
    onlyDolphin.dolphinServiceMenus = {home / "missing.desktop", home / "dolphin.desktop"};
    EXPECT_TRUE(FileManagerIntegrations(onlyDolphin).isEnabled());
}

TEST_F(Integrations, ThunarKeepsTheUsersOtherActionsAndGetsOursOnce) {
    std::string theirs =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n<action>\n\t<name>Terminal hier</name>\n"
        "\t<unique-id>1700000000-1</unique-id>\n\t<command>exo-open --launch TerminalEmulator</command>\n"
        "</action>\n</actions>\n";
    home.file(".config/Thunar/uca.xml", theirs);
    ASSERT_EQ(install(), 0);
    ASSERT_EQ(install(), 0);
    auto merged = read(home / ".config/Thunar/uca.xml");
    EXPECT_EQ(count(merged, "<unique-id>1700000000-1</unique-id>"), 1);
    EXPECT_EQ(count(merged, "exo-open --launch TerminalEmulator"), 1);
    EXPECT_EQ(count(merged, "<unique-id>larkspire-neue-datei</unique-id>"), 1);
    EXPECT_EQ(count(merged, "<action>"), 2);
    EXPECT_EQ(count(merged, "</actions>"), 1);
    EXPECT_EQ(read(home / ".config/Thunar/uca.xml.larkspire-backup"), theirs);
}

TEST_F(Integrations, AnUnknownThunarFileIsLeftAlone) {
    home.file(".config/Thunar/uca.xml", "kaputt");
    ASSERT_EQ(install(), 0);
    EXPECT_EQ(read(home / ".config/Thunar/uca.xml"), "kaputt");
}

// Runs an installed entry with a stand-in for the program and returns the URL it was given.
struct EntryRun : Integrations {
    void SetUp() override {
        ASSERT_EQ(install(), 0);
        home.file("bin/larkspire", "#!/bin/sh\nprintf '%s\\n' \"$@\" >> \"$(dirname \"$0\")/requests\"\n");
        fs::permissions(home / "bin/larkspire", fs::perms::owner_all);
    }
    std::string requests() { return read(home / "bin/requests"); }
};

TEST_F(EntryRun, TheHelperPercentEncodesFolderAndSelection) {
    std::string command = quoted(home / ".local/share/larkspire/larkspire-new-file") +
                          " --dir '/tmp/Projekt Ä/a&b=c' --sel '/tmp/x y/100%.txt' --sel relativ";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(requests(),
              "quirefold://create?dir=/tmp/Projekt%20%C3%84/a%26b%3Dc&sel=/tmp/x%20y/100%25.txt\n");
}

TEST_F(EntryRun, NautilusSendsTheShownFolderAndTheFirstSelectedItem) {
    std::string command = "NAUTILUS_SCRIPT_CURRENT_URI='file:///home/anna/Ordner%20%C3%9C' "
                          "NAUTILUS_SCRIPT_SELECTED_FILE_PATHS='/home/anna/Ordner Ü/a b\n/home/anna/c\n' " +
                          quoted(home / ".local/share/nautilus/scripts/Neue Datei");
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(requests(),
              "quirefold://create?dir=/home/anna/Ordner%20%C3%9C&sel=/home/anna/Ordner%20%C3%9C/a%20b\n");
}

TEST_F(EntryRun, TheSidebarEntrySendsOnePathItemPerSelectedFolder) {
    std::string command = "cd /tmp && NAUTILUS_SCRIPT_SELECTED_URIS='file:///home/anna/Ordner%20%C3%9C\n"
                          "file:///srv/a%26b\n' " +
                          quoted(home / ".local/share/nautilus/scripts/Zur Seitenleiste hinzufügen") +
                          " && " + quoted(home / ".local/share/larkspire/larkspire-add-favorite") +
                          " relativ";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(requests(), "quirefold://favorite?path=/home/anna/Ordner%20%C3%9C&path=/srv/a%26b\n"
                          "quirefold://favorite?path=/tmp/relativ\n");
    EXPECT_TRUE(fs::exists(home / ".local/share/kio/servicemenus/larkspire-seitenleiste.desktop"));
}

}  // namespace
