#include "platform/linux/input/InputAccessibility.h"

#include "support/TemporaryFolder.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using larkspire::linux_desktop::InputAccessibility;
using larkspire::testing::TemporaryFolder;
using larkspire::testing::writeText;

namespace {

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

class InputAccessibilityTest : public ::testing::Test {
  protected:
    InputAccessibilityTest() { std::filesystem::permissions(dev.path(), std::filesystem::perms(0755)); }
    void device(const std::filesystem::path& relative, mode_t mode) {
        writeText(dev / relative, "");
        std::filesystem::permissions(dev / relative.parent_path(), std::filesystem::perms(0755));
        ::chmod((dev / relative).c_str(), mode);
    }

    TemporaryFolder dev;
    InputAccessibility accessibility{dev / "input", dev / "uinput"};
};

TEST_F(InputAccessibilityTest, TrustedWhenEveryEventDeviceIsReadableAndUinputWritable) {
    device("input/event0", readable);
    device("input/event12", readable);
    device("uinput", writable);
    EXPECT_TRUE(trustedAsOrdinaryUser(accessibility));
}

TEST_F(InputAccessibilityTest, NotTrustedWhenUinputIsNotWritable) {
    device("input/event0", readable);
    device("uinput", readable);
    EXPECT_FALSE(trustedAsOrdinaryUser(accessibility));
}

TEST_F(InputAccessibilityTest, NotTrustedWhenUinputIsMissing) {
    device("input/event0", readable);
    EXPECT_FALSE(trustedAsOrdinaryUser(accessibility));
}

TEST_F(InputAccessibilityTest, NotTrustedWhenOneEventDeviceIsUnreadable) {
    device("input/event0", readable);
    device("input/event3", unreadable);
    device("uinput", writable);
    EXPECT_FALSE(trustedAsOrdinaryUser(accessibility));
}

TEST_F(InputAccessibilityTest, NotTrustedWithoutAnyEventDevice) {
    device("input/mice", readable);
    device("uinput", writable);
    EXPECT_FALSE(trustedAsOrdinaryUser(accessibility));
    InputAccessibility noFolder(dev / "missing", dev / "uinput");
    EXPECT_FALSE(trustedAsOrdinaryUser(noFolder));
}

TEST_F(InputAccessibilityTest, OnlyEventDevicesCount) {
    device("input/event0", readable);
    device("input/mice", unreadable);
    device("input/mouse0", unreadable);
    device("input/eventually", unreadable);
    device("input/by-id/usb-mouse-event-mouse", unreadable);
    device("uinput", writable);
    EXPECT_TRUE(trustedAsOrdinaryUser(accessibility));
}

TEST_F(InputAccessibilityTest, AGrantIsSeenAtTheNextAsk) {
    device("input/event0", unreadable);
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

}  // namespace
