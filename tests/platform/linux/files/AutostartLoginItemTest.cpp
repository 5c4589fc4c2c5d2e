#include "platform/linux/files/AutostartLoginItem.h"

#include "support/TemporaryFolder.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <ostream>

using namespace larkspire;
using larkspire::linux_desktop::AutostartLoginItem;
using larkspire::testing::readText;
using larkspire::testing::TemporaryFolder;
using larkspire::testing::writeText;

namespace {

// Reads an Exec value back as a session manager does: string escapes first, then field codes and
// the quoting rules. Gives the single argument, or nothing when the value is not one argument.
std::optional<std::string> startedProgram(const std::string& exec) {
    std::string unescaped;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        if (exec[i] == '\\' && i + 1 < exec.size()) {
            char next = exec[++i];
            unescaped += next == 's'   ? ' '
                         : next == 'n' ? '\n'
                         : next == 't' ? '\t'
                         : next == 'r' ? '\r'
                                       : next;
        } else {
            unescaped += exec[i];
        }
    }
    if (!unescaped.empty() && unescaped.find_first_of(" \t\"'\\><~|&;$*?#()`%") == std::string::npos)
        return unescaped;
    if (unescaped.size() < 2 || unescaped.front() != '"' || unescaped.back() != '"') return std::nullopt;
    std::string argument;
    for (std::size_t i = 1; i + 1 < unescaped.size(); ++i) {
        char c = unescaped[i];
        if (c == '%') {
            if (unescaped[i + 1] != '%') return std::nullopt;
            ++i;
        } else if (c == '\\') {
            char next = unescaped[++i];
            if (next != '"' && next != '`' && next != '$' && next != '\\') return std::nullopt;
            c = next;
        } else if (c == '"' || c == '`' || c == '$') {
            return std::nullopt;
        }
        argument += c;
    }
    return argument;
}

std::string execLineOf(const std::string& entry) {
    auto start = entry.find("\nExec=");
    if (start == std::string::npos) return {};
    start += 6;
    return entry.substr(start, entry.find('\n', start) - start);
}

class AutostartLoginItemTest : public ::testing::Test {
  protected:
    TemporaryFolder config;
    AutostartLoginItem item{config / "autostart", "/opt/Larkspire/bin/larkspire"};
};

TEST_F(AutostartLoginItemTest, RegisterWritesAnEntryThatStartsThisProgram) {
    EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);
    ASSERT_TRUE(item.registerItem());
    EXPECT_EQ(item.status(), LoginItemStatus::enabled);
    auto entry = readText(config / "autostart/larkspire.desktop");
    EXPECT_TRUE(entry.starts_with("[Desktop Entry]\n"));
    EXPECT_NE(entry.find("\nType=Application\n"), std::string::npos);
    EXPECT_EQ(startedProgram(execLineOf(entry)), "/opt/Larkspire/bin/larkspire");
}

TEST_F(AutostartLoginItemTest, RegisteringTwiceKeepsOneEntry) {
    ASSERT_TRUE(item.registerItem());
    ASSERT_TRUE(item.registerItem());
    int files = 0;
    for (auto& entry : std::filesystem::directory_iterator(config / "autostart")) files += entry.exists();
    EXPECT_EQ(files, 1);
}

TEST_F(AutostartLoginItemTest, UnregisterRemovesTheEntryAndSucceedsWhenThereIsNone) {
    ASSERT_TRUE(item.registerItem());
    EXPECT_TRUE(item.unregisterItem());
    EXPECT_FALSE(std::filesystem::exists(config / "autostart/larkspire.desktop"));
    EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);
    EXPECT_TRUE(item.unregisterItem());
}

struct SwitchedEntry {
    std::string text;
    LoginItemStatus status;
};

void PrintTo(const SwitchedEntry& e, std::ostream* out) {
    if (e.text.empty()) *out << "empty file";
    for (char ch : e.text) *out << (ch == '\n' ? std::string(" | ") : std::string(1, ch));
}

class SwitchedEntryTest : public AutostartLoginItemTest,
                          public ::testing::WithParamInterface<SwitchedEntry> {};

TEST_P(SwitchedEntryTest, StatusFollowsTheSwitchesInTheEntry) {
    writeText(config / "autostart/larkspire.desktop", GetParam().text);
    EXPECT_EQ(item.status(), GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, SwitchedEntryTest,
    ::testing::Values(
        SwitchedEntry{"[Desktop Entry]\nType=Application\nExec=larkspire\n", LoginItemStatus::enabled},
        SwitchedEntry{"[Desktop Entry]\nExec=larkspire\nHidden=true\n", LoginItemStatus::notRegistered},
        SwitchedEntry{"[Desktop Entry]\nHidden = true\r\n", LoginItemStatus::notRegistered},
        SwitchedEntry{"[Desktop Entry]\nHidden=false\n", LoginItemStatus::enabled},
        SwitchedEntry{"[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n", LoginItemStatus::notRegistered},
        // A key of another group does not switch the entry.
        SwitchedEntry{"[Desktop Entry]\nExec=larkspire\n[Desktop Action quit]\nHidden=true\n",
                      LoginItemStatus::enabled},
        SwitchedEntry{"", LoginItemStatus::enabled}));

TEST_F(AutostartLoginItemTest, AFolderInPlaceOfTheEntryIsNotARegistration) {
    std::filesystem::create_directories(config / "autostart/larkspire.desktop");
    EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);
}

TEST(AutostartExec, AnyExecutablePathReadsBackUnchanged) {
    for (std::string path :
         {"/opt/Lark Spire/larkspire", "/home/jörg/„bin“/larkspire", "/tmp/a\"b", "/tmp/$HOME", "/tmp/`id`",
          "/tmp/back\\slash", "/tmp/100%/%f", "/tmp/'quoted' & more;|<>*?#()~"}) {
        auto exec = AutostartLoginItem::execValue(path);
        ASSERT_TRUE(exec) << path;
        EXPECT_EQ(startedProgram(*exec), path) << *exec;
    }
}

TEST(AutostartExec, ALiteralBackslashNeedsFourBackslashesInTheFile) {
    EXPECT_EQ(AutostartLoginItem::execValue("/a\\b"), "\"/a\\\\\\\\b\"");
}

TEST(AutostartExec, APathNoEntryCanHoldIsRefusedAndNothingIsWritten) {
    EXPECT_EQ(AutostartLoginItem::execValue("/tmp/line\nbreak"), std::nullopt);
    EXPECT_EQ(AutostartLoginItem::execValue("/tmp/\xFF"), std::nullopt);

    TemporaryFolder config;
    AutostartLoginItem item(config / "autostart", "/tmp/\xFF/larkspire");
    EXPECT_FALSE(item.registerItem());
    EXPECT_FALSE(std::filesystem::exists(config / "autostart/larkspire.desktop"));
    AutostartLoginItem relative(config / "autostart", "bin/larkspire");
    EXPECT_FALSE(relative.registerItem());
}

TEST(AutostartLocation, FollowsXdgConfigHomeAndTheRunningProgram) {
    TemporaryFolder config;
    std::string saved = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
    bool wasSet = std::getenv("XDG_CONFIG_HOME") != nullptr;
    ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    AutostartLoginItem item;
    bool registered = item.registerItem();
    if (wasSet)
        ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");

    ASSERT_TRUE(registered);
    EXPECT_EQ(item.entryFile(), config / "autostart/larkspire.desktop");
    auto program = startedProgram(execLineOf(readText(item.entryFile())));
    ASSERT_TRUE(program);
    EXPECT_TRUE(std::filesystem::equivalent(*program, "/proc/self/exe"));
}

}  // namespace
