#include "platform/qt/process/SingleInstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <QtEndian>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string_view>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace larkspire::qt {

namespace {

constexpr char magic[4] = {'L', 'K', 'S', '1'};
constexpr int headerSize = 8;
constexpr int answerTimeout = 5000;
// How long a start waits for an instance that holds the lock but does not listen yet.
constexpr int claimPatience = 8000;
constexpr int acceptRetryInterval = 200;

QString errorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

bool addressOf(const QString& path, sockaddr_un& address) {
    auto bytes = QFile::encodeName(path);
    address = {};
    address.sun_family = AF_UNIX;
    if (bytes.isEmpty() || static_cast<std::size_t>(bytes.size()) >= sizeof(address.sun_path)) return false;
    std::memcpy(address.sun_path, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return true;
}

// A process of this user on the other end; strangers are never talked to.
bool peerIsThisUser(int fd) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::getuid();
}

// A real folder, not a link, of this user and closed to everyone else.
bool isPrivateFolder(const QByteArray& path) {
    struct stat info {};
    return ::lstat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid() &&
           (info.st_mode & 077) == 0;
}

bool madePrivateFolder(const QByteArray& path) {
    ::mkdir(path.constData(), 0700);
    return isPrivateFolder(path);
}

int remaining(const QElapsedTimer& since, int timeout) {
    return static_cast<int>(std::max<qint64>(0, timeout - since.elapsed()));
}

bool waitFor(int fd, short events, const QElapsedTimer& since, int timeout) {
    pollfd entry{fd, events, 0};
    while (true) {
        int ready = ::poll(&entry, 1, remaining(since, timeout));
        if (ready > 0) return true;
        if (ready == 0 || errno != EINTR) return false;
    }
}

}  // namespace

struct SingleInstance::Connection {
    int fd;
    QSocketNotifier* readable;
    QTimer* expiry;
    QByteArray received;
};

SingleInstance::SingleInstance(QString socketPath) : socketPath(std::move(socketPath)) {}

SingleInstance::~SingleInstance() {
    while (!connections.empty()) drop(connections.begin()->first);
    if (listening >= 0) {
        // Gone before the lock is given up, so the next start finds neither.
        ::unlink(QFile::encodeName(socketPath).constData());
        ::close(listening);
    }
    if (lock >= 0) ::close(lock);
}

QString SingleInstance::defaultSocketPath() {
    auto runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.startsWith('/') && isPrivateFolder(runtime))
        return QFile::decodeName(runtime + "/larkspire.socket");
    // The shared temporary folder, where anyone may have taken the name first; such a folder is
    // not used, and the home folder serves instead.
    auto temporary = QFile::encodeName(QDir::tempPath()) + "/larkspire-" + QByteArray::number(::getuid());
    if (madePrivateFolder(temporary)) return QFile::decodeName(temporary + "/larkspire.socket");
    auto cache = QFile::encodeName(QDir::homePath()) + "/.cache";
    ::mkdir(cache.constData(), 0700);
    if (madePrivateFolder(cache + "/larkspire"))
        return QFile::decodeName(cache + "/larkspire/larkspire.socket");
    return {};
}

// The fields are joined by NUL bytes, which no argument can contain, behind a magic and a length.
QByteArray SingleInstance::encode(const QStringList& request) {
    QByteArray payload;
    for (qsizetype i = 0; i < request.size(); ++i) {
        if (i > 0) payload.append('\0');
        payload.append(request[i].toUtf8());
    }
    QByteArray message(magic, 4);
    quint32 length = qToBigEndian(static_cast<quint32>(payload.size()));
    message.append(reinterpret_cast<const char*>(&length), 4);
    message.append(payload);
    return message;
}

SingleInstance::Delivery SingleInstance::forward(const QStringList& request) const {
    return forwardOnce(encode(request));
}

// Plain sockets and poll, so that this works before any QCoreApplication exists.
SingleInstance::Delivery SingleInstance::forwardOnce(const QByteArray& message, bool* busy) const {
    bool ignored = false;
    if (!busy) busy = &ignored;
    *busy = false;
    sockaddr_un address{};
    if (!addressOf(socketPath, address)) return Delivery::noInstance;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return Delivery::noInstance;
    auto result = [fd](Delivery delivery) {
        ::close(fd);
        return delivery;
    };
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        // A full queue means an instance that is busy, not one that is gone.
        *busy = errno == EAGAIN;
        return result(*busy ? Delivery::noAnswer : Delivery::noInstance);
    }
    if (!peerIsThisUser(fd)) return result(Delivery::noAnswer);

    QElapsedTimer since;
    since.start();
    std::string_view rest(message.constData(), static_cast<std::size_t>(message.size()));
    while (!rest.empty()) {
        if (!waitFor(fd, POLLOUT, since, answerTimeout)) return result(Delivery::noAnswer);
        ssize_t sent = ::send(fd, rest.data(), rest.size(), MSG_NOSIGNAL);
        if (sent < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (sent < 0) {
            *busy = errno == EPIPE || errno == ECONNRESET;
            return result(Delivery::noAnswer);
        }
        rest.remove_prefix(static_cast<std::size_t>(sent));
    }
    char answer = 0;
    while (true) {
        if (!waitFor(fd, POLLIN, since, answerTimeout)) return result(Delivery::noAnswer);
        ssize_t got = ::recv(fd, &answer, 1, 0);
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (got == 1 && answer == 'k') return result(Delivery::delivered);
        // Closed at once: an instance with too many connections at the moment.
        *busy = got == 0 || errno == ECONNRESET;
        return result(Delivery::noAnswer);
    }
}

SingleInstance::Claim SingleInstance::claimOrForward(const QStringList& request) {
    auto message = encode(request);
    bool busy = false;
    auto delivery = forwardOnce(message, &busy);
    if (delivery == Delivery::delivered) return Claim::forwarded;
    if (socketPath.isEmpty()) {
        problem = "kein privater Ordner für den Socket";
        return Claim::primary;
    }

    // The running instance holds this lock for as long as it lives; the kernel gives it up when the
    // process ends, however it ends.
    lock = ::open(QFile::encodeName(socketPath + ".lock").constData(),
                  O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lock < 0) {
        problem = "Sperrdatei: " + errorText(errno);
        return Claim::primary;
    }
    QElapsedTimer waited;
    waited.start();
    while (true) {
        if (::flock(lock, LOCK_EX | LOCK_NB) == 0) {
            listen();
            return Claim::primary;
        }
        // An instance lives: it is just starting to listen, or busy, and is tried again; one that
        // took the request and did not answer in time is stopped or hung.
        if ((delivery == Delivery::noAnswer && !busy) || waited.elapsed() > claimPatience) break;
        ::usleep(50'000);
        delivery = forwardOnce(message, &busy);
        if (delivery == Delivery::delivered) break;
    }
    ::close(lock);
    lock = -1;
    return delivery == Delivery::delivered ? Claim::forwarded : Claim::noAnswer;
}

bool SingleInstance::listen() {
    sockaddr_un address{};
    if (!addressOf(socketPath, address)) {
        problem = "der Name des Sockets ist zu lang";
        return false;
    }
    // Nobody holds the lock, so whatever has this name was left by an instance that is gone.
    ::unlink(address.sun_path);
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::chmod(address.sun_path, 0600) != 0 || ::listen(fd, 64) != 0) {
        problem = errorText(errno);
        if (fd >= 0) ::close(fd);
        return false;
    }
    listening = fd;
    serve();
    return true;
}

void SingleInstance::setHandler(std::function<void(const QStringList&)> handler) {
    this->handler = std::move(handler);
    serve();
}

// Connections wait in the queue until there is an event loop on this thread to serve them.
void SingleInstance::serve() {
    auto* application = QCoreApplication::instance();
    if (listening < 0 || acceptNotifier || !application || QThread::currentThread() != application->thread())
        return;
    acceptNotifier = new QSocketNotifier(listening, QSocketNotifier::Read, this);
    connect(acceptNotifier, &QSocketNotifier::activated, this, &SingleInstance::accept);
    acceptRetry = new QTimer(this);
    acceptRetry->setSingleShot(true);
    connect(acceptRetry, &QTimer::timeout, this, [this] {
        acceptNotifier->setEnabled(true);
        accept();
    });
    // The event loop is gone once the application is; nothing may wait on it after that.
    connect(application, &QCoreApplication::aboutToQuit, this, [this] {
        while (!connections.empty()) drop(connections.begin()->first);
        acceptRetry->stop();
        acceptNotifier->setEnabled(false);
    });
}

void SingleInstance::accept() {
    while (true) {
        int fd = ::accept4(listening, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            int error = errno;
            if (error == EINTR || error == ECONNABORTED) continue;
            if (error == EAGAIN || error == EWOULDBLOCK) return;
            // Out of descriptors or memory: the connection stays queued and the socket keeps
            // listening; accepting is tried again shortly instead of spinning on it.
            if (!acceptTroubleReported)
                report("Weitere Starts warten, Verbindungen lassen sich gerade nicht annehmen: " +
                       errorText(error).toStdString());
            acceptTroubleReported = true;
            acceptNotifier->setEnabled(false);
            acceptRetry->start(acceptRetryInterval);
            return;
        }
        acceptTroubleReported = false;
        if (!peerIsThisUser(fd) || connections.size() >= static_cast<std::size_t>(maximumConnections)) {
            ::close(fd);
            continue;
        }
        auto connection = std::make_unique<Connection>();
        connection->fd = fd;
        connection->readable = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(connection->readable, &QSocketNotifier::activated, this, [this, fd] { receive(fd); });
        connection->expiry = new QTimer(this);
        connection->expiry->setSingleShot(true);
        connect(connection->expiry, &QTimer::timeout, this, [this, fd] { drop(fd); });
        connection->expiry->start(answerTimeout);
        connections.emplace(fd, std::move(connection));
    }
}

// Reads no more than the request still lacks, so one connection never holds more than one request.
void SingleInstance::receive(int fd) {
    auto found = connections.find(fd);
    if (found == connections.end()) return;
    auto& received = found->second->received;
    qint64 wanted = headerSize - received.size();
    if (received.size() >= headerSize) {
        quint32 length = qFromBigEndian<quint32>(received.constData() + 4);
        if (received.left(4) != QByteArray(magic, 4) || length > maximumRequestSize) {
            drop(fd);  // not one of ours; nothing is handled
            return;
        }
        wanted = headerSize + static_cast<qint64>(length) - received.size();
    }
    wanted = std::min<qint64>(wanted, 64 * 1024);
    if (wanted > 0 && buffered + wanted > maximumBuffered) {
        drop(fd);
        return;
    }
    if (wanted > 0) {
        QByteArray chunk(wanted, Qt::Uninitialized);
        ssize_t got = ::recv(fd, chunk.data(), static_cast<std::size_t>(wanted), 0);
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) return;
        if (got <= 0) {
            drop(fd);
            return;
        }
        received.append(chunk.constData(), got);
        buffered += got;
    }
    if (received.size() < headerSize) return;
    quint32 length = qFromBigEndian<quint32>(received.constData() + 4);
    if (received.left(4) != QByteArray(magic, 4) || length > maximumRequestSize) {
        drop(fd);
        return;
    }
    if (received.size() < headerSize + static_cast<qint64>(length)) return;
    QStringList request;
    for (const auto& field : received.mid(headerSize).split('\0')) request.append(QString::fromUtf8(field));
    ::send(fd, "k", 1, MSG_NOSIGNAL | MSG_DONTWAIT);
    drop(fd);
    // Handled from the event loop, in the order the requests came in.
    QMetaObject::invokeMethod(
        this, [this, request] { handle(request); }, Qt::QueuedConnection);
}

void SingleInstance::drop(int fd) {
    auto found = connections.find(fd);
    if (found == connections.end()) return;
    auto& connection = *found->second;
    buffered -= connection.received.size();
    connection.readable->setEnabled(false);
    connection.readable->deleteLater();
    connection.expiry->stop();
    connection.expiry->deleteLater();
    ::close(fd);
    connections.erase(found);
}

void SingleInstance::report(const std::string& text) {
    if (onProblem) onProblem(text);
}

// A request that shows a dialog runs an event loop of its own; later requests wait until it is done.
void SingleInstance::handle(QStringList request) {
    pending.push_back(std::move(request));
    if (handling) return;
    handling = true;
    while (!pending.empty()) {
        auto next = std::move(pending.front());
        pending.pop_front();
        if (handler) handler(next);
    }
    handling = false;
}

}  // namespace larkspire::qt
