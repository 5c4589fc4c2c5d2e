#include "platform/qt/compositor/SwayWindows.h"

#include "platform/qt/compositor/SwayIpc.h"
#include "platform/qt/compositor/SwayTree.h"
#include "platform/types/Signal.h"
#include "platform/wayland/SocketReturn.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>

namespace larkspire::qt {

namespace {

// sway answers within milliseconds; the main loop waits no longer than this for it.
constexpr int answerMilliseconds = 500;

}  // namespace

struct SwayWindows::State {
    Logger log;
    std::string socket;  // the one last followed
    std::string runtimeFolder;
    std::unique_ptr<sway::Connection> events;
    std::unique_ptr<sway::Connection> requests;
    std::unique_ptr<QSocketNotifier> notifier;
    // While sway is gone: where a new one makes its socket, and the next try.
    std::unique_ptr<wayland::SocketReturn> returning;
    std::unique_ptr<QSocketNotifier> socketFolder;
    QTimer retry;
    QObject context;  // ends the queued calls with the state
    std::optional<SwayTree> tree;
    bool treeQueued = false;
    // A sway that did not answer in time is asked again only after its next event, so a hung sway
    // holds the main loop up once, not on every pass of the badge.
    bool stalled = false;
    bool lostSaid = false;
    std::string lastProblem;
    Signal activations;

    State(Log& log, std::string socket, std::string runtimeFolder)
        : log(log, "windows"), socket(std::move(socket)), runtimeFolder(std::move(runtimeFolder)) {
        retry.setSingleShot(true);
        QObject::connect(&retry, &QTimer::timeout, &context, [this] { tryAgain(); });
    }

    ~State() {
        notifier.reset();
        socketFolder.reset();
    }

    bool follow(const std::string& path, std::string& problem) {
        auto connection = sway::Connection::open(path, problem);
        if (!connection) return false;
        auto reply = connection->request(sway::subscribeRequest, R"(["window","workspace"])", problem);
        if (!reply) return false;
        if (reply->find("true") == std::string::npos) {
            problem = "sway verweigert die Fensterereignisse";
            return false;
        }
        socket = path;
        stalled = false;
        events = std::move(connection);
        requests.reset();
        notifier = std::make_unique<QSocketNotifier>(events->descriptor(), QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, &context, [this] { readEvents(); });
        return true;
    }

    // The socket known last first, then any this user's sway listens on now.
    void connect() {
        std::vector<std::string> candidates{socket};
        for (auto& found : sway::socketsIn(runtimeFolder))
            if (found != socket) candidates.push_back(std::move(found));
        std::string problem = "kein sway-Socket";
        for (const auto& path : candidates) {
            if (path.empty()) continue;
            if (follow(path, problem)) {
                retry.stop();
                socketFolder.reset();
                returning.reset();
                if (lostSaid) log.info("sway-Fensterliste wieder verbunden (" + socket + ")");
                lostSaid = false;
                lastProblem.clear();
                changed();
                return;
            }
        }
        waitForSway(problem);
    }

    // Until a sway listens again only the runtime folder is watched, by inotify: nothing wakes idly.
    void waitForSway(const std::string& problem) {
        if (!lostSaid) log.error("sway-Fensterliste verloren: " + problem + "; warte auf sway");
        lostSaid = true;
        if (returning || runtimeFolder.empty()) return;
        std::string unwatched;
        returning = wayland::SocketReturn::watch(runtimeFolder, &sway::isSocketName, unwatched);
        if (!returning) {
            log.error("sway-Fensterliste kommt nicht wieder: " + unwatched);
            return;
        }
        socketFolder = std::make_unique<QSocketNotifier>(returning->fd(), QSocketNotifier::Read);
        // Connected, the watch ends: not from within its own notifier's signal.
        QObject::connect(socketFolder.get(), &QSocketNotifier::activated, &context, [this] {
            if (returning->socketAppeared()) retry.start(0);
        });
        // A socket there already may belong to a sway that does not listen yet.
        if (returning->socketAppeared()) retry.start(0);
    }

    void tryAgain() {
        if (events) return;
        connect();
        if (events || !returning) return;
        int wait = returning->nextTryAfterFailure();
        if (wait >= 0) retry.start(wait);
    }

    void lose(const std::string& problem) {
        // Called from the notifier's own signal, which must not delete it.
        if (notifier) {
            notifier->setEnabled(false);
            notifier.release()->deleteLater();
        }
        events.reset();
        requests.reset();
        tree.reset();
        waitForSway(problem);
        changed();
        // sway may have gone and come back meanwhile.
        connect();
    }

    void readEvents() {
        std::vector<sway::Message> messages;
        std::string problem;
        if (!events->readAvailable(messages, problem)) return lose(problem);
        if (messages.empty()) return;
        stalled = false;
        changed();
    }

    void changed() {
        tree.reset();
        activations.notify();
    }

    void report(const std::string& problem) {
        if (problem == lastProblem) return;
        lastProblem = problem;
        log.error("sway-Fensterliste nicht gelesen: " + problem);
    }

    const SwayTree* read() {
        if (tree) return &*tree;
        if (!events || stalled) return nullptr;
        std::string problem;
        if (!requests) requests = sway::Connection::open(socket, problem);
        std::optional<std::string> reply;
        if (requests) reply = requests->request(sway::getTreeRequest, {}, problem, answerMilliseconds);
        if (!reply) {
            stalled = requests && requests->timedOut();
            requests.reset();
            // Whether sway is still there tells a bad answer from a sway that went.
            std::string again;
            if (!sway::Connection::open(socket, again)) {
                lose(problem);
                return nullptr;
            }
            report(problem);
            return nullptr;
        }
        tree = SwayTree::parse(*reply);
        if (!tree) {
            report("unlesbarer Baum");
            return nullptr;
        }
        lastProblem.clear();
        // One pass of the badge sees one state; the next turn of the main loop reads anew.
        if (!treeQueued) {
            treeQueued = true;
            QMetaObject::invokeMethod(
                &context,
                [this] {
                    treeQueued = false;
                    tree.reset();
                },
                Qt::QueuedConnection);
        }
        return &*tree;
    }
};

SwayWindows::SwayWindows(Log& log, std::string socket, std::string runtimeFolder)
    : state(std::make_unique<State>(log, std::move(socket), std::move(runtimeFolder))) {
    state->connect();
}

SwayWindows::~SwayWindows() = default;

bool SwayWindows::isConnected() const {
    return state->events != nullptr;
}

std::vector<linux_desktop::DesktopWindow> SwayWindows::windows() {
    const auto* tree = state->read();
    return tree ? tree->windows : std::vector<linux_desktop::DesktopWindow>{};
}

std::optional<std::uint32_t> SwayWindows::activeWindow() {
    const auto* tree = state->read();
    return tree ? tree->focused : std::nullopt;
}

double SwayWindows::primaryScreenHeight() const {
    // The same height the overlay windows convert their frames with.
    auto* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().height() : 0;
}

std::shared_ptr<void> SwayWindows::observeActivations(std::function<void()> handler) {
    return state->activations.observe(std::move(handler));
}

}  // namespace larkspire::qt
