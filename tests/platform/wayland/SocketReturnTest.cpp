#include "platform/wayland/SocketReturn.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace larkspire::wayland;
namespace fs = std::filesystem;

namespace {

// A runtime folder of its own, named by XDG_RUNTIME_DIR and WAYLAND_DISPLAY as a session names it.
class SocketReturnTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/socket-return-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder = pattern;
        ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
        ::setenv("WAYLAND_DISPLAY", "wayland-7", 1);
    }
    void TearDown() override { fs::remove_all(folder); }

    // The compositor makes its socket: bound, so it is there, though nothing accepts on it yet.
    OwnedFd makeSocket() {
        OwnedFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        auto path = (folder / "wayland-7").string();
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        EXPECT_EQ(::bind(socket.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        return socket;
    }
    static bool readable(const SocketReturn& watcher) {
        pollfd folderEvents{watcher.fd(), POLLIN, 0};
        return ::poll(&folderEvents, 1, 0) == 1;
    }

    fs::path folder;
};

TEST_F(SocketReturnTest, WakesOnlyForTheSocketAndTriesABoundedNumberOfTimes) {
    std::string problem;
    auto watcher = SocketReturn::watch(problem);
    ASSERT_TRUE(watcher) << problem;
    EXPECT_FALSE(watcher->socketAppeared());  // nothing there yet

    // The lock file comes first and other programs' files come and go: no try for those.
    std::ofstream(folder / "wayland-7.lock");
    std::ofstream(folder / "pulse");
    EXPECT_TRUE(readable(*watcher));
    EXPECT_FALSE(watcher->socketAppeared());
    EXPECT_FALSE(readable(*watcher));  // drained, so a level-triggered loop does not spin

    auto socket = makeSocket();
    EXPECT_TRUE(readable(*watcher));
    EXPECT_TRUE(watcher->socketAppeared());
    int retries = 0;
    while (watcher->nextTryAfterFailure() == SocketReturn::retryMilliseconds) ++retries;
    EXPECT_EQ(retries + 1, SocketReturn::tries);
    EXPECT_EQ(watcher->nextTryAfterFailure(), -1);

    // Made anew, the socket earns a fresh round of tries; gone, none at all.
    fs::remove(folder / "wayland-7");
    socket = makeSocket();
    EXPECT_TRUE(watcher->socketAppeared());
    EXPECT_EQ(watcher->nextTryAfterFailure(), SocketReturn::retryMilliseconds);
    fs::remove(folder / "wayland-7");
    EXPECT_EQ(watcher->nextTryAfterFailure(), -1);
}

TEST_F(SocketReturnTest, ASocketAlreadyThereIsTriedOnceTheWatchBegins) {
    auto socket = makeSocket();
    std::string problem;
    auto watcher = SocketReturn::watch(problem);
    ASSERT_TRUE(watcher) << problem;
    EXPECT_TRUE(watcher->socketAppeared());
    EXPECT_FALSE(watcher->socketAppeared());  // owed once, not on every look
}

TEST_F(SocketReturnTest, AFolderThatCannotBeWatchedIsSaid) {
    ::setenv("WAYLAND_DISPLAY", (folder / "missing/wayland-7").c_str(), 1);
    std::string problem;
    EXPECT_FALSE(SocketReturn::watch(problem));
    EXPECT_NE(problem.find("missing"), std::string::npos);
    ::unsetenv("WAYLAND_DISPLAY");
    EXPECT_FALSE(SocketReturn::watch(problem));
}

}  // namespace
