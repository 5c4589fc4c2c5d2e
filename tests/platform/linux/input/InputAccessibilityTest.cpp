#include "platform/linux/input/InputAccessibility.h"

#include "support/TemporaryFolder.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fnmatch.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using larkspire::linux_desktop::InputAccessibility;
using larkspire::testing::readText;
using larkspire::testing::TemporaryFolder;
using larkspire::testing::writeText;

namespace {

const std::string ruleFile = std::string(LARKSPIRE_SOURCE_DIR) + "/data/70-larkspire.rules";

// Permission checks do not apply to root, so as root the check runs in a child that has become
// "nobody". The modes below mean the same to the owner and to everyone else.
constexpr mode_t readable = 0444, unreadable = 0000, writable = 0666;

bool trustedAsOrdinaryUser(const InputAccessibility& accessibility) {
    pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(2);
        ::_exit(accessibility.isTrusted() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 2) << "could not drop root rights";
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// What the kernel says an input device can do, written as sysfs writes it: words as wide as its
// long, in hexadecimal, the highest first.
struct Abilities {
    std::vector<unsigned> types, relative, keys, absolute;
};

std::string bitmap(const std::vector<unsigned>& bits) {
    constexpr unsigned width = sizeof(unsigned long) * CHAR_BIT;
    std::vector<unsigned long> words(1, 0);
    for (auto bit : bits) {
        if (words.size() <= bit / width) words.resize(bit / width + 1, 0);
        words[bit / width] |= 1ul << (bit % width);
    }
    std::string text;
    for (auto word = words.rbegin(); word != words.rend(); ++word) {
        char hex[32];
        std::snprintf(hex, sizeof hex, "%lx", *word);
        text += (text.empty() ? "" : " ") + std::string(hex);
    }
    return text + "\n";
}

std::vector<unsigned> keyRange(unsigned first, unsigned last) {
    std::vector<unsigned> keys;
    for (unsigned key = first; key <= last; ++key) keys.push_back(key);
    return keys;
}

const Abilities wheelMouse{{EV_SYN, EV_KEY, EV_REL, EV_MSC},
                           {REL_X, REL_Y, REL_HWHEEL, REL_WHEEL, REL_WHEEL_HI_RES, REL_HWHEEL_HI_RES},
                           {BTN_LEFT, BTN_RIGHT, BTN_MIDDLE},
                           {}};
const Abilities keyboard{{EV_SYN, EV_KEY, EV_MSC, EV_LED, EV_REP}, {}, keyRange(KEY_ESC, KEY_COMPOSE), {}};
// A receiver's node that reports a mouse and a whole keyboard: udev calls it a keyboard too.
const Abilities mouseAndKeyboard{{EV_SYN, EV_KEY, EV_REL, EV_MSC},
                                 {REL_X, REL_Y, REL_WHEEL},
                                 [] {
                                     auto keys = keyRange(KEY_ESC, KEY_COMPOSE);
                                     keys.push_back(BTN_LEFT);
                                     return keys;
                                 }(),
                                 {}};
const Abilities touchpad{{EV_SYN, EV_KEY, EV_ABS}, {}, {BTN_LEFT, BTN_TOUCH}, {ABS_X, ABS_Y}};
const Abilities consumerControl{{EV_SYN, EV_KEY, EV_REL, EV_MSC}, {REL_HWHEEL}, {KEY_VOLUMEUP, KEY_MUTE}, {}};
const Abilities pointingStick{{EV_SYN, EV_KEY, EV_REL}, {REL_X, REL_Y}, {BTN_LEFT, BTN_RIGHT}, {}};

class InputAccessibilityTest : public ::testing::Test {
  protected:
    InputAccessibilityTest() { std::filesystem::permissions(dev.path(), std::filesystem::perms(0755)); }
    void device(const std::filesystem::path& relative, mode_t mode,
                std::optional<Abilities> abilities = std::nullopt) {
        writeText(dev / relative, "");
        std::filesystem::permissions(dev / relative.parent_path(), std::filesystem::perms(0755));
        ::chmod((dev / relative).c_str(), mode);
        if (!abilities) return;
        auto capabilities = dev / "sys" / relative.filename() / "device/capabilities";
        writeText(capabilities / "ev", bitmap(abilities->types));
        writeText(capabilities / "rel", bitmap(abilities->relative));
        writeText(capabilities / "key", bitmap(abilities->keys));
        writeText(capabilities / "abs", bitmap(abilities->absolute));
    }

    TemporaryFolder dev;
    InputAccessibility accessibility{dev / "input", dev / "uinput", dev / "sys"};
};

TEST_F(InputAccessibilityTest, TrustedWithTheWheelMiceReadableWhateverTheKeyboards) {
    device("input/event0", readable, wheelMouse);
    device("input/event12", readable, wheelMouse);
    device("input/event1", unreadable, keyboard);
    device("input/event2", unreadable, mouseAndKeyboard);
    device("input/event3", unreadable, touchpad);
    device("input/event4", unreadable, consumerControl);
    device("input/event5", unreadable, pointingStick);
    device("input/event6", unreadable);  // the kernel lists nothing for it
    device("uinput", writable);
    EXPECT_TRUE(trustedAsOrdinaryUser(accessibility));
}

TEST_F(InputAccessibilityTest, NotTrustedWhileOneWheelMouseIsUnreadable) {
    device("input/event0", readable, wheelMouse);
    device("input/event3", unreadable, wheelMouse);
    device("uinput", writable);
    EXPECT_FALSE(trustedAsOrdinaryUser(accessibility));
}

TEST_F(InputAccessibilityTest, NotTrustedWhenUinputIsNotWritable) {
    device("input/event0", readable, wheelMouse);
    device("uinput", readable);
    EXPECT_FALSE(trustedAsOrdinaryUser(accessibility));
}

TEST_F(InputAccessibilityTest, NotTrustedWhenUinputIsMissing) {
    device("input/event0", readable, wheelMouse);
    EXPECT_FALSE(trustedAsOrdinaryUser(accessibility));
}

TEST_F(InputAccessibilityTest, NotTrustedWithoutAnyEventDevice) {
    device("input/mice", readable);
    device("uinput", writable);
    EXPECT_FALSE(trustedAsOrdinaryUser(accessibility));
    InputAccessibility noFolder(dev / "missing", dev / "uinput", dev / "sys");
    EXPECT_FALSE(trustedAsOrdinaryUser(noFolder));
}

TEST_F(InputAccessibilityTest, OnlyEventDevicesCount) {
    device("input/event0", readable, wheelMouse);
    device("input/mice", unreadable);
    device("input/mouse0", unreadable);
    device("input/eventually", unreadable, wheelMouse);
    device("input/by-id/usb-mouse-event-mouse", unreadable);
    device("uinput", writable);
    EXPECT_TRUE(trustedAsOrdinaryUser(accessibility));
}

TEST_F(InputAccessibilityTest, AGrantIsSeenAtTheNextAsk) {
    device("input/event0", unreadable, wheelMouse);
    device("uinput", writable);
    EXPECT_FALSE(trustedAsOrdinaryUser(accessibility));
    ::chmod((dev / "input/event0").c_str(), readable);
    EXPECT_TRUE(trustedAsOrdinaryUser(accessibility));
}

TEST(InputAccessibilityPrompt, HandsOverToTheShellEachTimeAndIsHarmlessWithoutIt) {
    InputAccessibility accessibility("/nonexistent/input", "/nonexistent/uinput");
    accessibility.prompt();
    int shown = 0;
    accessibility.setPromptHandler([&] { ++shown; });
    accessibility.prompt();
    accessibility.prompt();
    EXPECT_EQ(shown, 2);
}

// --- The udev rule, read as udev reads it ---------------------------------------------------

struct RuleToken {
    std::string key, op, value;
};
using Rule = std::vector<RuleToken>;
using UdevDevice = std::map<std::string, std::string>;  // "KERNEL", "ENV{ID_INPUT_MOUSE}"…

std::vector<Rule> readRules(const std::string& text) {
    // KEY or KEY{NAME}, an operator, a quoted value, and a comma or the end of the line.
    static const std::regex token(
        R"re(\s*([A-Z_]+(\{[A-Za-z0-9_]+\})?)\s*(==|!=|\+=|-=|:=|=)\s*"([^"]*)"\s*(,|$))re");
    std::vector<Rule> rules;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.find_first_not_of(" \t") == std::string::npos || line[line.find_first_not_of(" \t")] == '#')
            continue;
        Rule rule;
        auto at = line.cbegin();
        std::smatch match;
        while (at != line.cend() &&
               std::regex_search(at, line.cend(), match, token, std::regex_constants::match_continuous)) {
            rule.push_back({match[1], match[3], match[4]});
            at = match[0].second;
        }
        EXPECT_TRUE(at == line.cend()) << "not a udev rule: " << line;
        rules.push_back(rule);
    }
    return rules;
}

// True when a line whose every match holds for the device tags it for the user at the seat.
bool grantsTheSeat(const std::vector<Rule>& rules, const UdevDevice& device) {
    for (const auto& rule : rules) {
        bool matches = true;
        bool tags = false;
        for (const auto& t : rule) {
            auto found = device.find(t.key);
            std::string value = found == device.end() ? "" : found->second;
            bool equal = ::fnmatch(t.value.c_str(), value.c_str(), 0) == 0;
            if (t.op == "==") matches = matches && equal;
            if (t.op == "!=") matches = matches && !equal;
            if (t.key == "TAG" && t.op == "+=" && t.value == "uaccess") tags = true;
        }
        if (matches && tags) return true;
    }
    return false;
}

UdevDevice inputNode(std::string kernel, std::initializer_list<const char*> properties) {
    UdevDevice device{{"SUBSYSTEM", "input"}, {"KERNEL", std::move(kernel)}, {"ENV{ID_INPUT}", "1"}};
    for (const char* property : properties) device[std::string("ENV{") + property + "}"] = "1";
    return device;
}

TEST(UdevRule, GivesTheSeatUinputAndTheMiceButNoKeyboard) {
    auto rules = readRules(readText(ruleFile));
    ASSERT_FALSE(rules.empty());
    EXPECT_TRUE(grantsTheSeat(rules, {{"SUBSYSTEM", "misc"}, {"KERNEL", "uinput"}}));
    EXPECT_TRUE(grantsTheSeat(rules, inputNode("event7", {"ID_INPUT_MOUSE"})));
    EXPECT_TRUE(
        grantsTheSeat(rules, inputNode("event12", {"ID_INPUT_MOUSE", "ID_INPUT_KEY"})));  // extra keys

    EXPECT_FALSE(grantsTheSeat(rules, inputNode("event3", {"ID_INPUT_KEY", "ID_INPUT_KEYBOARD"})));
    EXPECT_FALSE(
        grantsTheSeat(rules, inputNode("event4", {"ID_INPUT_MOUSE", "ID_INPUT_KEY", "ID_INPUT_KEYBOARD"})));
    EXPECT_FALSE(grantsTheSeat(rules, inputNode("event5", {"ID_INPUT_TOUCHPAD"})));
    EXPECT_FALSE(grantsTheSeat(rules, inputNode("event6", {"ID_INPUT_TABLET"})));
    EXPECT_FALSE(grantsTheSeat(rules, inputNode("mouse0", {"ID_INPUT_MOUSE"})));  // every mouse at once
    EXPECT_FALSE(grantsTheSeat(rules, inputNode("input7", {"ID_INPUT_MOUSE"})));
    EXPECT_FALSE(grantsTheSeat(rules, {{"SUBSYSTEM", "misc"}, {"KERNEL", "fuse"}}));

    bool staticNode = false;
    for (const auto& rule : rules) {
        for (const auto& t : rule) {
            // Nothing for a group or for everyone: only the user at the seat.
            EXPECT_TRUE(t.key != "MODE" && t.key != "GROUP" && t.key != "OWNER") << t.key << t.op << t.value;
            // The node exists before the module is loaded, and opening it loads the module.
            if (t.key == "OPTIONS" && t.value == "static_node=uinput") staticNode = true;
        }
    }
    EXPECT_TRUE(staticNode);
}

// --- The explanation ---------------------------------------------------------------------------

TEST(InputAccessibilityExplanation, SaysWhenThereIsNoUinputDeviceAndNeverAsksForTheKeyboards) {
    TemporaryFolder dev;
    InputAccessibility missing(dev / "input", dev / "uinput", dev / "sys");
    auto text = missing.explanation();
    EXPECT_NE(text.find("„uinput“ ist nicht geladen"), std::string::npos) << text;
    EXPECT_NE(text.find(InputAccessibility::ruleCommand()), std::string::npos);
    EXPECT_EQ(text.find("usermod"), std::string::npos);

    writeText(dev / "uinput", "");
    text = missing.explanation();
    EXPECT_EQ(text.find("nicht geladen"), std::string::npos) << text;
    EXPECT_NE(text.find(InputAccessibility::ruleCommand()), std::string::npos);
}

// The command is run as the user would paste it, with sudo, udevadm and modprobe standing in.
TEST(InputAccessibilityExplanation, TheOneCommandWritesThePackagedRuleLoadsUinputAndReloadsUdev) {
    auto command = InputAccessibility::ruleCommand();
    EXPECT_EQ(command.find("sudo "), command.rfind("sudo "));
    TemporaryFolder work;
    for (const char* tool : {"udevadm", "modprobe"}) {
        auto path = work / "bin" / tool;
        writeText(path, "#!/bin/sh\necho \"" + std::string(tool) + " $*\" >> \"$LOG\"\n");
        ::chmod(path.c_str(), 0755);
    }
    std::filesystem::create_directories(work / "etc");
    writeText(work / "paste.sh", "sudo() {\n"
                                 "  [ \"$1 $2\" = 'sh -c' ] || exit 3\n"
                                 "  PATH=\"$BIN:$PATH\" sh -c \"${3//\\/etc\\/udev\\/rules.d/$ETC}\"\n"
                                 "}\n" +
                                     command + "\n");
    std::string run = "cd " + work.path().string() + " && LOG=log BIN=" + (work / "bin").string() +
                      " ETC=" + (work / "etc").string() + " bash -e paste.sh";
    ASSERT_EQ(std::system(run.c_str()), 0) << command;

    std::string expected;
    std::istringstream packaged(readText(ruleFile));
    for (std::string line; std::getline(packaged, line);)
        if (!line.empty() && line.front() != '#') expected += line + "\n";
    EXPECT_EQ(readText(work / "etc/70-larkspire.rules"), expected);
    EXPECT_EQ(readText(work / "log"), "modprobe uinput\n"
                                      "udevadm control --reload\n"
                                      "udevadm trigger --subsystem-match=misc --subsystem-match=input\n");
}

}  // namespace
