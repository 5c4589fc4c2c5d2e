#include "platform/qt/QtApp.h"
#include "platform/qt/compositor/SwayIpc.h"
#include "platform/qt/compositor/SwayTree.h"
#include "platform/qt/compositor/SwayWindows.h"
#include "platform/sim/Recorders.h"

#include <atomic>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace larkspire;
using larkspire::linux_desktop::DesktopWindow;
using larkspire::qt::SwayTree;
using larkspire::qt::SwayWindows;
using larkspire::testing::runUntil;

namespace {

// A workspace as sway 1.7 lists it, trimmed to the fields the list reads; ids as sway numbers them.
std::string view(int id, int pid, const std::string& title, const std::string& shell, bool visible,
                 bool focused, const std::string& rect, const std::string& windowRect = "",
                 int fullscreen = 0) {
    return R"({"id":)" + std::to_string(id) + R"(,"type":"con","name":")" + title + R"(","pid":)" +
           std::to_string(pid) + R"(,"app_id":"x","shell":")" + shell + R"(","visible":)" +
           (visible ? "true" : "false") + R"(,"focused":)" + (focused ? "true" : "false") +
           R"(,"fullscreen_mode":)" + std::to_string(fullscreen) + R"(,"rect":)" + rect +
           (windowRect.empty() ? "" : R"(,"window_rect":)" + windowRect) +
           R"(,"nodes":[],"floating_nodes":[],"focus":[]})";
}

std::string rect(int x, int y, int width, int height) {
    return R"({"x":)" + std::to_string(x) + R"(,"y":)" + std::to_string(y) + R"(,"width":)" +
           std::to_string(width) + R"(,"height":)" + std::to_string(height) + "}";
}

std::string container(int id, const std::string& type, const std::string& nodes, const std::string& focus,
                      const std::string& floating = "") {
    return R"({"id":)" + std::to_string(id) + R"(,"type":")" + type + R"(","name":"","rect":)" +
           rect(0, 0, 1280, 720) + R"(,"nodes":[)" + nodes + R"(],"floating_nodes":[)" + floating +
           R"(],"focus":[)" + focus + "]}";
}

// Two outputs' worth of workspaces: the shown one with two tiled and two floating windows, a hidden
// one, and the scratchpad, which sway keeps on its own output "__i3".
std::string recordedTree() {
    auto shown = container(
        10, "workspace",
        container(11, "con",
                  view(20, 100, "Projekt - Thunar", "xdg_shell", true, true, rect(0, 25, 640, 695),
                       rect(2, 0, 636, 693)) +
                      "," + view(21, 101, "foot", "xdg_shell", true, false, rect(640, 25, 640, 695)),
                  "20,21"),
        "11",
        view(30, 102, "Unten", "xwayland", true, false, rect(100, 100, 300, 200)) + "," +
            view(31, 103, "Oben", "xdg_shell", true, false, rect(200, 150, 300, 200)));
    auto hidden = container(
        12, "workspace", view(40, 104, "Woanders", "xdg_shell", false, false, rect(0, 25, 1280, 695)), "40");
    auto scratch = container(13, "workspace", "", "",
                             view(50, 105, "Notizen", "xdg_shell", false, false, rect(340, 160, 600, 400)));
    return container(1, "root",
                     container(2, "output", scratch, "13") + "," +
                         container(3, "output", shown + "," + hidden, "10,12"),
                     "3,2");
}

std::vector<std::uint32_t> numbers(const std::vector<DesktopWindow>& windows) {
    std::vector<std::uint32_t> listed;
    for (const auto& window : windows) listed.push_back(window.number);
    return listed;
}

TEST(SwayTree, ListsWhatIsOnScreenFrontToBackWithItsAreasThenTheHiddenWindows) {
    auto tree = SwayTree::parse(recordedTree());
    ASSERT_TRUE(tree);
    // Floating above tiled, the last floating one on top; the hidden workspace and the scratchpad last.
    EXPECT_EQ(numbers(tree->windows), (std::vector<std::uint32_t>{31, 30, 20, 21, 40, 50}));
    EXPECT_EQ(tree->focused, 20u);

    const auto& thunar = tree->windows[2];
    EXPECT_EQ(thunar.title, "Projekt - Thunar");
    EXPECT_EQ(thunar.processIdentifier, 100);
    EXPECT_EQ(thunar.frame, (Rect{0, 25, 640, 695}));
    // The client area is the window rectangle, which sway measures from the container.
    EXPECT_EQ(thunar.client, (Rect{2, 25, 636, 693}));
    EXPECT_TRUE(thunar.onScreen);
    EXPECT_TRUE(thunar.windowRelativeExtents);
    // XWayland programs place their extents on the X11 screen, as under X11.
    EXPECT_FALSE(tree->windows[1].windowRelativeExtents);
    EXPECT_FALSE(tree->windows[4].onScreen);
    EXPECT_FALSE(tree->windows[5].onScreen);
}

TEST(SwayTree, TheTabLastFocusedAndAFullscreenWindowComeFirst) {
    auto tabs = container(11, "con",
                          view(20, 100, "Hinten", "xdg_shell", false, false, rect(0, 50, 1280, 670)) + "," +
                              view(21, 101, "Vorn", "xdg_shell", true, true, rect(0, 50, 1280, 670)),
                          "21,20");
    auto tree = SwayTree::parse(
        container(1, "root", container(3, "output", container(10, "workspace", tabs, "11"), "10"), "3"));
    ASSERT_TRUE(tree);
    EXPECT_EQ(numbers(tree->windows), (std::vector<std::uint32_t>{21, 20}));

    auto fullscreen =
        container(10, "workspace",
                  view(20, 100, "Film", "xdg_shell", true, false, rect(0, 0, 1280, 720), "", 1) + "," +
                      view(21, 101, "Daneben", "xdg_shell", true, true, rect(640, 0, 640, 720)),
                  "21,20", view(30, 102, "Schwebend", "xdg_shell", true, false, rect(10, 10, 100, 100)));
    tree = SwayTree::parse(container(1, "root", container(3, "output", fullscreen, "10"), "3"));
    ASSERT_TRUE(tree);
    EXPECT_EQ(numbers(tree->windows), (std::vector<std::uint32_t>{20, 30, 21}));
}

TEST(SwayTree, GarbageGivesNoTreeAndUnsoundWindowsAreLeftOut) {
    for (const char* garbage :
         {"", "nicht JSON", "[1,2,3]", R"({"id":1})", R"({"nodes":{}})", R"({"id":1,"nodes":[)", "\xff\xfe"})
        EXPECT_FALSE(SwayTree::parse(garbage)) << garbage;

    auto workspace = container(
        10, "workspace",
        view(0, 100, "ohne Nummer", "xdg_shell", true, false, rect(0, 0, 10, 10)) + "," +
            view(-5, 100, "negativ", "xdg_shell", true, false, rect(0, 0, 10, 10)) + "," +
            view(22, 100, "ohne Fläche", "xdg_shell", true, false,
                 R"({"x":"a","y":0,"width":1,"height":1})") +
            "," + view(23, 100, "negative Breite", "xdg_shell", true, false, rect(0, 0, -4, 10)) + "," +
            view(24, -1, "ohne Prozess", "xdg_shell", true, false, rect(0, 0, 10, 10)) + "," +
            R"({"id":25,"pid":"x","name":7,"shell":null,"visible":"ja","rect":{"x":1,"y":2,"width":3,"height":4}})",
        "");
    auto tree = SwayTree::parse(container(1, "root", container(3, "output", workspace, ""), ""));
    ASSERT_TRUE(tree);
    ASSERT_EQ(numbers(tree->windows), (std::vector<std::uint32_t>{24, 25}));
    EXPECT_FALSE(tree->windows[0].processIdentifier);
    EXPECT_FALSE(tree->windows[1].processIdentifier);
    EXPECT_EQ(tree->windows[1].title, "");
    EXPECT_FALSE(tree->windows[1].onScreen);

    // Nesting far deeper than any layout is not followed, and costs no stack.
    std::string deep;
    for (int i = 0; i < 100000; ++i) deep += R"({"nodes":[)";
    deep += view(60, 1, "tief", "xdg_shell", true, false, rect(0, 0, 1, 1));
    for (int i = 0; i < 100000; ++i) deep += "]}";
    tree = SwayTree::parse(deep);
    ASSERT_TRUE(tree);
    EXPECT_TRUE(tree->windows.empty());
}

// A sway that answers on a socket in a folder of its own: `get_tree` with what `tree` holds (raw
// bytes, so a test can send garbage or claim any length), subscriptions with success, and events
// to every subscriber when asked.
class FakeSway {
  public:
    explicit FakeSway(std::string path) : path(std::move(path)) {
        listening = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, this->path.c_str(), sizeof address.sun_path - 1);
        if (bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(listening, 8) != 0)
            ADD_FAILURE() << "cannot listen on " << this->path;
        if (pipe(wake) != 0) ADD_FAILURE() << "no pipe";
        thread = std::thread([this] { serve(); });
    }
    ~FakeSway() {
        char stop = 's';
        (void)!write(wake[1], &stop, 1);
        thread.join();
        for (int fd : connections) close(fd);
        close(listening);
        close(wake[0]);
        close(wake[1]);
        unlink(path.c_str());
    }
    void setTree(std::string bytes) {
        std::lock_guard lock(mutex);
        tree = std::move(bytes);
    }
    void sendEvent(const std::string& payload) {
        std::lock_guard lock(mutex);
        auto bytes = qt::sway::encode(qt::sway::eventFlag | 3, payload);
        for (int fd : subscribed) (void)!::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }
    std::atomic<int> treeRequests = 0;

  private:
    void serve() {
        for (;;) {
            std::vector<pollfd> polled{{wake[0], POLLIN, 0}, {listening, POLLIN, 0}};
            for (int fd : connections) polled.push_back({fd, POLLIN, 0});
            if (poll(polled.data(), polled.size(), -1) < 0) continue;
            if (polled[0].revents) return;
            if (polled[1].revents & POLLIN)
                connections.push_back(accept4(listening, nullptr, nullptr, SOCK_CLOEXEC));
            for (std::size_t i = 2; i < polled.size(); ++i)
                if (polled[i].revents) answer(polled[i].fd);
        }
    }
    void answer(int fd) {
        char header[14];
        if (recv(fd, header, sizeof header, MSG_WAITALL) != sizeof header) {
            std::erase(connections, fd);
            std::lock_guard lock(mutex);
            std::erase(subscribed, fd);
            close(fd);
            return;
        }
        std::uint32_t length, type;
        std::memcpy(&length, header + 6, 4);
        std::memcpy(&type, header + 10, 4);
        std::string payload(length, '\0');
        if (length) recv(fd, payload.data(), length, MSG_WAITALL);
        std::lock_guard lock(mutex);
        std::string reply;
        if (type == qt::sway::subscribeRequest) {
            subscribed.push_back(fd);
            reply = qt::sway::encode(type, R"({"success":true})");
        } else {
            ++treeRequests;
            reply = tree;
        }
        (void)!::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
    }

    std::string path;
    int listening = -1;
    int wake[2] = {-1, -1};
    std::vector<int> connections;
    std::vector<int> subscribed;
    std::mutex mutex;
    std::string tree;
    std::thread thread;
};

class SwayWindowsTest : public ::testing::Test {
  protected:
    std::string socketPath(int instance) const {
        return (folder / ("sway-ipc." + std::to_string(getuid()) + "." + std::to_string(instance) + ".sock"))
            .string();
    }
    std::string goodTree() const { return qt::sway::encode(qt::sway::getTreeRequest, recordedTree()); }
    int errors(const std::string& start) const {
        int found = 0;
        for (const auto& line : log.lines) found += line.message.starts_with(start);
        return found;
    }

    std::filesystem::path folder = [] {
        char name[] = "/tmp/sway-test-XXXXXX";
        return std::filesystem::path(mkdtemp(name));
    }();
    sim::RecordingLog log;

    void TearDown() override { std::filesystem::remove_all(folder); }
};

TEST_F(SwayWindowsTest, ReadsTheTreeOncePerTurnAndFollowsEventsWithoutAskingAgain) {
    auto sway = std::make_unique<FakeSway>(socketPath(1));
    sway->setTree(goodTree());
    SwayWindows windows(log, socketPath(1), folder.string());
    ASSERT_TRUE(windows.isConnected());
    int activations = 0;
    auto token = windows.observeActivations([&activations] { ++activations; });

    EXPECT_EQ(numbers(windows.windows()), (std::vector<std::uint32_t>{31, 30, 20, 21, 40, 50}));
    EXPECT_EQ(windows.activeWindow(), 20u);
    EXPECT_EQ(sway->treeRequests, 1);  // one state per turn of the main loop

    sway->sendEvent(R"({"change":"focus","container":{"id":21}})");
    ASSERT_TRUE(runUntil([&] { return activations == 1; }));
    windows.windows();
    EXPECT_EQ(sway->treeRequests, 2);

    // A reply past the bound is refused by its header, a malformed one by the parser: each is an
    // empty list and one log line, however often it is asked.
    std::string huge = qt::sway::encode(qt::sway::getTreeRequest, "");
    std::uint32_t claimed = 50 * 1024 * 1024;
    std::memcpy(huge.data() + 6, &claimed, 4);
    for (const auto& reply : {huge, qt::sway::encode(qt::sway::getTreeRequest, R"({"nodes":[{"id":)")}) {
        sway->setTree(reply);
        for (int pass = 0; pass < 3; ++pass) {
            QCoreApplication::processEvents();  // the next turn reads anew
            EXPECT_TRUE(windows.windows().empty());
        }
    }
    EXPECT_EQ(errors("sway-Fensterliste nicht gelesen: Antwort größer als 8 MiB"), 1);
    EXPECT_EQ(errors("sway-Fensterliste nicht gelesen: unlesbarer Baum"), 1);
    EXPECT_TRUE(windows.isConnected());

    sway->setTree(goodTree());
    QCoreApplication::processEvents();
    EXPECT_EQ(windows.windows().size(), 6u);

    // A sway that does not answer is waited for once; then it is asked again only after an event.
    sway->setTree("");
    QCoreApplication::processEvents();
    EXPECT_TRUE(windows.windows().empty());
    int asked = sway->treeRequests;
    for (int pass = 0; pass < 3; ++pass) {
        QCoreApplication::processEvents();
        EXPECT_TRUE(windows.windows().empty());
    }
    EXPECT_EQ(sway->treeRequests, asked);
    EXPECT_EQ(errors("sway-Fensterliste nicht gelesen: sway antwortet nicht"), 1);
    sway->setTree(goodTree());
    sway->sendEvent(R"({"change":"focus","container":{"id":20}})");
    ASSERT_TRUE(runUntil([&] { return windows.windows().size() == 6u; }));
}

TEST_F(SwayWindowsTest, SaysOnceThatSwayWentAndFollowsTheNextOne) {
    auto sway = std::make_unique<FakeSway>(socketPath(1));
    sway->setTree(goodTree());
    SwayWindows windows(log, socketPath(1), folder.string());
    int activations = 0;
    auto token = windows.observeActivations([&activations] { ++activations; });

    sway.reset();
    ASSERT_TRUE(runUntil([&] { return !windows.isConnected(); }));
    EXPECT_TRUE(windows.windows().empty());
    EXPECT_FALSE(windows.activeWindow());
    for (int turn = 0; turn < 5; ++turn) QCoreApplication::processEvents();
    EXPECT_EQ(errors("sway-Fensterliste verloren: "), 1);
    EXPECT_EQ(activations, 1);  // the badge looks again and finds nothing

    // A new sway listens on a socket of its own in the runtime folder.
    sway = std::make_unique<FakeSway>(socketPath(2));
    sway->setTree(goodTree());
    ASSERT_TRUE(runUntil([&] { return windows.isConnected(); }));
    EXPECT_EQ(windows.windows().size(), 6u);
    EXPECT_EQ(errors("sway-Fensterliste wieder verbunden"), 1);
    EXPECT_EQ(activations, 2);
}

}  // namespace
