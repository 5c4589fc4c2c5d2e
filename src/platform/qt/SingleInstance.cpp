#include "platform/qt/SingleInstance.h"

#include <QDir>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>
#include <QtEndian>
#include <unistd.h>

namespace larkspire::qt {

namespace {

constexpr char magic[4] = {'L', 'K', 'S', '1'};
constexpr int connectTimeout = 1000;
constexpr int answerTimeout = 5000;

}  // namespace

SingleInstance::SingleInstance(QString socketPath) : socketPath(std::move(socketPath)) {
    server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server, &QLocalServer::newConnection, this, &SingleInstance::accept);
}

SingleInstance::~SingleInstance() {
    server.close();
}

QString SingleInstance::defaultSocketPath() {
    auto runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists()) return QDir(runtime).filePath("larkspire.socket");
    return QDir(QDir::tempPath()).filePath(QString("larkspire-%1.socket").arg(::getuid()));
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
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(connectTimeout)) return Delivery::noInstance;
    socket.write(encode(request));
    if (!socket.waitForBytesWritten(answerTimeout)) return Delivery::noAnswer;
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(answerTimeout)) return Delivery::noAnswer;
    }
    return socket.read(1) == "k" ? Delivery::delivered : Delivery::noAnswer;
}

SingleInstance::Claim SingleInstance::claimOrForward(const QStringList& request) {
    auto delivery = forward(request);
    if (delivery == Delivery::delivered) return Claim::forwarded;
    if (delivery == Delivery::noAnswer) return Claim::noAnswer;

    // Only one starter at a time may look again and take the socket; a lock left by a crashed
    // starter is taken over once its process is gone.
    QLockFile lock(socketPath + ".lock");
    lock.setStaleLockTime(10000);
    bool locked = lock.tryLock(10000);
    delivery = forward(request);
    if (delivery == Delivery::delivered) return Claim::forwarded;
    if (delivery == Delivery::noAnswer) return Claim::noAnswer;

    // Nobody answers on the socket, so whatever file is there was left by an instance that is gone.
    QLocalServer::removeServer(socketPath);
    server.listen(socketPath);
    if (locked) lock.unlock();
    return Claim::primary;
}

void SingleInstance::accept() {
    while (auto* socket = server.nextPendingConnection()) {
        socket->setParent(this);
        auto* expiry = new QTimer(socket);
        expiry->setSingleShot(true);
        connect(expiry, &QTimer::timeout, socket, [socket] { socket->abort(); });
        expiry->start(answerTimeout);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->bytesAvailable() < 8) return;
            auto header = socket->peek(8);
            quint32 length = qFromBigEndian<quint32>(header.constData() + 4);
            if (header.left(4) != QByteArray(magic, 4) || length > maximumRequestSize) {
                socket->abort();  // not one of ours; nothing is handled
                return;
            }
            if (socket->bytesAvailable() < 8 + static_cast<qint64>(length)) return;
            socket->read(8);
            auto payload = socket->read(length);
            QStringList request;
            for (const auto& field : payload.split('\0')) request.append(QString::fromUtf8(field));
            socket->write("k");
            socket->flush();
            socket->disconnectFromServer();
            // Handled from the event loop, in the order the requests came in.
            QMetaObject::invokeMethod(
                this, [this, request] { handle(request); }, Qt::QueuedConnection);
        });
    }
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
