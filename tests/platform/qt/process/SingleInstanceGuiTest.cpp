#include "platform/qt/QtApp.h"
#include "platform/qt/process/SingleInstance.h"

#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace larkspire;
using larkspire::testing::runUntil;
using Claim = larkspire::qt::SingleInstance::Claim;
using Delivery = larkspire::qt::SingleInstance::Delivery;

namespace {

struct Instances : ::testing::Test {
    QTemporaryDir folder;
    QString path() const { return folder.filePath("larkspire.socket"); }

    // A later start is another process; here another thread, so this one can keep serving.
    Claim startAnother(const QStringList& request) {
        auto claim = std::async(std::launch::async, [this, request] {
            qt::SingleInstance another(path());
            auto result = another.claimOrForward(request);
            EXPECT_EQ(another.isListening(), result == Claim::primary);
            return result;
        });
        runUntil([&] { return claim.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 20000);
        return claim.get();
    }
    Delivery forwardFromAnother(const QStringList& request) {
        auto delivery = std::async(std::launch::async,
                                   [this, request] { return qt::SingleInstance(path()).forward(request); });
        runUntil([&] { return delivery.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
                 20000);
        return delivery.get();
    }
};

// A plain socket at `path`, connected or bound, as another process would hold it.
int rawSocket(const QString& path, bool bind) {
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    auto bytes = path.toLocal8Bit();
    std::memcpy(address.sun_path, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    auto* any = reinterpret_cast<sockaddr*>(&address);
    if (bind ? ::bind(fd, any, sizeof address) : ::connect(fd, any, sizeof address)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

TEST_F(Instances, ALaterStartHandsItsUrlsInOrderToTheRunningOne) {
    qt::SingleInstance first(path());
    std::vector<QStringList> received;
    first.setHandler([&](const QStringList& request) { received.push_back(request); });
    ASSERT_EQ(first.claimOrForward({"reopen"}), Claim::primary);

    // A URL with a line break stays one field; fields are split on NUL only.
    QStringList request{"open", "quirefold://create?path=%2Ftmp", "quirefold://favorite?path=a\nb", "x"};
    EXPECT_EQ(startAnother(request), Claim::forwarded);
    EXPECT_EQ(startAnother({"reopen"}), Claim::forwarded);

    ASSERT_TRUE(runUntil([&] { return received.size() == 2; }));
    EXPECT_EQ(received[0], request);
    EXPECT_EQ(received[1], QStringList{"reopen"});
}

TEST_F(Instances, ASocketLeftByACrashedInstanceDoesNotBlockTheNextStart) {
    // A bound socket file that nobody listens on any more, as a killed process leaves it.
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    auto bytes = path().toLocal8Bit();
    ASSERT_LT(static_cast<std::size_t>(bytes.size()), sizeof(address.sun_path));
    std::memcpy(address.sun_path, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
    ASSERT_TRUE(QFile::exists(path()));

    qt::SingleInstance next(path());
    EXPECT_EQ(next.claimOrForward({"reopen"}), Claim::primary);
    EXPECT_TRUE(next.isListening());
    EXPECT_EQ(forwardFromAnother({"reopen"}), Delivery::delivered);
}

TEST_F(Instances, OnlyForwardingNeverStartsAnInstance) {
    qt::SingleInstance lone(path());
    EXPECT_EQ(lone.forward({"choose", "Larkspire beenden"}), Delivery::noInstance);
    EXPECT_FALSE(lone.isListening());
}

TEST_F(Instances, ForeignOrOversizedDataIsDroppedAndTheInstanceKeepsServing) {
    qt::SingleInstance first(path());
    std::vector<QStringList> received;
    first.setHandler([&](const QStringList& request) { received.push_back(request); });
    ASSERT_EQ(first.claimOrForward({"reopen"}), Claim::primary);

    QByteArray oversized("LKS1");
    quint32 huge = qToBigEndian<quint32>(0xFFFFFFF0u);
    oversized.append(reinterpret_cast<const char*>(&huge), 4);
    for (const QByteArray& junk : {QByteArray("GET / HTTP/1.0\r\n\r\n"), oversized}) {
        QLocalSocket socket;
        socket.connectToServer(path());
        ASSERT_TRUE(socket.waitForConnected(1000));
        socket.write(junk);
        socket.flush();
        ASSERT_TRUE(runUntil([&] { return socket.state() == QLocalSocket::UnconnectedState; }));
    }
    EXPECT_TRUE(received.empty());
    EXPECT_EQ(startAnother({"open", "quirefold://create"}), Claim::forwarded);
    ASSERT_TRUE(runUntil([&] { return received.size() == 1; }));
    EXPECT_EQ(received[0], (QStringList{"open", "quirefold://create"}));
}

TEST_F(Instances, AnInstanceThatHoldsTheLockIsNeverTakenOverHoweverSlowItIs) {
    // A running instance that is stopped: its lock is held and its queue is full.
    int lock = ::open((path() + ".lock").toLocal8Bit().constData(), O_RDWR | O_CREAT, 0600);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    int server = rawSocket(path(), true);
    ASSERT_EQ(::listen(server, 0), 0);
    std::vector<int> queued;
    for (int fd; queued.size() < 10 && (fd = rawSocket(path(), false)) >= 0;) queued.push_back(fd);
    ASSERT_LT(queued.size(), 10u) << "the queue never filled";
    struct stat before {};
    ASSERT_EQ(::stat(path().toLocal8Bit().constData(), &before), 0);

    qt::SingleInstance second(path());
    EXPECT_EQ(second.claimOrForward({"open", "quirefold://create"}), Claim::noAnswer);
    EXPECT_FALSE(second.isListening());
    struct stat after {};
    ASSERT_EQ(::stat(path().toLocal8Bit().constData(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "the running instance's socket was replaced";

    for (int fd : queued) ::close(fd);
    ::close(server);
    ::close(lock);
}

TEST_F(Instances, RunningOutOfDescriptorsIsLoggedAndListeningGoesOn) {
#ifdef __SANITIZE_ADDRESS__
    // The sanitizers open descriptors of their own to check a member call; with none left they report
    // every call as one on a broken object.
    GTEST_SKIP() << "needs every descriptor, which the sanitizers' own checks cannot spare";
#endif
    qt::SingleInstance first(path());
    std::vector<std::string> problems;
    first.setProblemHandler([&](const std::string& problem) { problems.push_back(problem); });
    std::vector<QStringList> received;
    first.setHandler([&](const QStringList& request) { received.push_back(request); });
    ASSERT_EQ(first.claimOrForward({"reopen"}), Claim::primary);

    std::vector<int> waiting;
    for (int i = 0; i < 3; ++i) waiting.push_back(rawSocket(path(), false));
    rlimit saved{};
    ::getrlimit(RLIMIT_NOFILE, &saved);
    rlimit lowered = saved;
    lowered.rlim_cur = 64;
    std::vector<int> fillers;
    {
        // Every descriptor below the lowered limit taken, so accepting fails with EMFILE.
        ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
        for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) fillers.push_back(fd);
        runUntil([&] { return !problems.empty(); }, 2000);
        for (int fd : fillers) ::close(fd);
        ::setrlimit(RLIMIT_NOFILE, &saved);
    }
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("Verbindungen"), std::string::npos) << problems[0];
    for (int fd : waiting) ::close(fd);

    EXPECT_TRUE(first.isListening());
    EXPECT_EQ(forwardFromAnother({"open", "quirefold://create"}), Delivery::delivered);
    ASSERT_TRUE(runUntil([&] { return received.size() == 1; }));
}

TEST_F(Instances, HalfMessagesOfManyConnectionsAreBoundedAndDropped) {
    qt::SingleInstance first(path());
    std::vector<QStringList> received;
    first.setHandler([&](const QStringList& request) { received.push_back(request); });
    ASSERT_EQ(first.claimOrForward({"reopen"}), Claim::primary);

    // Each one announces the largest request and sends most of it, then waits.
    QByteArray half("LKS1");
    quint32 length = qToBigEndian<quint32>(qt::SingleInstance::maximumRequestSize);
    half.append(reinterpret_cast<const char*>(&length), 4);
    half.append(QByteArray(qt::SingleInstance::maximumRequestSize - 1, 'x'));
    constexpr int strangers = 40;
    std::vector<std::pair<int, qsizetype>> sockets;
    for (int i = 0; i < strangers; ++i) sockets.emplace_back(rawSocket(path(), false), 0);
    auto closedByTheInstance = [&] {
        int closed = 0;
        for (auto& [fd, sent] : sockets) {
            if (sent < half.size()) {
                auto more = ::send(fd, half.constData() + sent, static_cast<std::size_t>(half.size() - sent),
                                   MSG_NOSIGNAL | MSG_DONTWAIT);
                if (more > 0) sent += more;
            }
            char byte;
            auto got = ::recv(fd, &byte, 1, MSG_DONTWAIT);
            closed += got == 0 || (got < 0 && errno != EAGAIN);
        }
        return closed;
    };
    constexpr auto mostHeld = qt::SingleInstance::maximumBuffered / qt::SingleInstance::maximumRequestSize;
    EXPECT_TRUE(runUntil([&] { return closedByTheInstance() >= strangers - mostHeld; }, 5000))
        << closedByTheInstance();
    EXPECT_TRUE(received.empty());
    EXPECT_EQ(forwardFromAnother({"open", "quirefold://create"}), Delivery::delivered);
    ASSERT_TRUE(runUntil([&] { return received.size() == 1; }));
    for (auto& [fd, sent] : sockets) ::close(fd);
}

TEST_F(Instances, AnotherUsersProcessIsNotServedEvenWhenItCanReachTheSocket) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to run a process as another user";
    qt::SingleInstance first(path());
    std::vector<QStringList> received;
    first.setHandler([&](const QStringList& request) { received.push_back(request); });
    ASSERT_EQ(first.claimOrForward({"reopen"}), Claim::primary);
    ::chmod(folder.path().toLocal8Bit().constData(), 0755);
    ::chmod(path().toLocal8Bit().constData(), 0777);

    pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
        auto delivery = qt::SingleInstance(path()).forward({"open", "quirefold://create?dir=%2Ftmp"});
        ::_exit(delivery == Delivery::delivered ? 0 : 1);
    }
    int status = 0;
    ASSERT_TRUE(runUntil([&] { return ::waitpid(child, &status, WNOHANG) == child; }, 10000));
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    runUntil([] { return false; }, 200);
    EXPECT_TRUE(received.empty());
}

// Sets environment variables for one test and puts back what was there.
struct Environment {
    std::vector<std::pair<const char*, std::optional<QByteArray>>> saved;
    void set(const char* name, const std::optional<QByteArray>& value) {
        saved.emplace_back(name,
                           qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
        value ? qputenv(name, *value) : qunsetenv(name);
    }
    ~Environment() {
        for (auto it = saved.rbegin(); it != saved.rend(); ++it)
            it->second ? qputenv(it->first, *it->second) : qunsetenv(it->first);
    }
};

TEST_F(Instances, WithoutARuntimeFolderTheSocketLivesInAPrivateFolderOfTheUser) {
    Environment environment;
    environment.set("XDG_RUNTIME_DIR", std::nullopt);
    environment.set("TMPDIR", folder.filePath("tmp").toLocal8Bit());
    environment.set("HOME", folder.filePath("home").toLocal8Bit());
    QDir(folder.path()).mkpath("tmp");
    QDir(folder.path()).mkpath("home");
    auto mode = [](const QString& file) {
        struct stat info {};
        ::lstat(file.toLocal8Bit().constData(), &info);
        return info.st_mode & 07777;
    };
    auto own = folder.filePath(QString("tmp/larkspire-%1").arg(::getuid()));
    EXPECT_EQ(qt::SingleInstance::defaultSocketPath(), own + "/larkspire.socket");
    EXPECT_EQ(mode(own), 0700u);

    // Someone else took the name first, as a folder open to all or as a link.
    for (bool asLink : {false, true}) {
        SCOPED_TRACE(asLink);
        QDir(own).removeRecursively();
        QDir(folder.path()).mkpath("elsewhere");
        auto made = asLink ? ::symlink(folder.filePath("elsewhere").toLocal8Bit().constData(),
                                       own.toLocal8Bit().constData())
                           : ::mkdir(own.toLocal8Bit().constData(), 0777);
        ASSERT_EQ(made, 0);
        ::chmod(own.toLocal8Bit().constData(), 0777);
        EXPECT_EQ(qt::SingleInstance::defaultSocketPath(),
                  folder.filePath("home/.cache/larkspire/larkspire.socket"));
        EXPECT_EQ(mode(folder.filePath("home/.cache/larkspire")), 0700u);
        ::unlink(own.toLocal8Bit().constData());
    }
}

TEST_F(Instances, ALaterStartHandsItsUrlOverWithoutADisplay) {
    qt::SingleInstance first(path());
    std::vector<QStringList> received;
    first.setHandler([&](const QStringList& request) { received.push_back(request); });
    ASSERT_EQ(first.claimOrForward({"reopen"}), Claim::primary);

    QProcess later;
    auto environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) environment.remove(name);
    environment.insert("XDG_RUNTIME_DIR", folder.path());
    later.setProcessEnvironment(environment);
    later.start(QString(LARKSPIRE_BUILD_DIR) + "/larkspire", {"quirefold://create?dir=%2Ftmp"});
    ASSERT_TRUE(runUntil([&] { return later.state() == QProcess::NotRunning; }, 10000));
    EXPECT_EQ(later.exitStatus(), QProcess::NormalExit) << later.readAllStandardError().toStdString();
    EXPECT_EQ(later.exitCode(), 0);
    ASSERT_TRUE(runUntil([&] { return received.size() == 1; }));
    EXPECT_EQ(received[0], (QStringList{"open", "quirefold://create?dir=%2Ftmp"}));
}

}  // namespace
