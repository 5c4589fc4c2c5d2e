#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>

class QSocketNotifier;
class QTimer;

namespace larkspire::qt {

// One running instance per user: later starts hand their request to it through a local socket in a
// folder only this user may enter, and the instance talks only to processes of the same user. A
// request is a list of fields: "open" with URLs, "reopen", or "choose" with a menu item title.
// Whether an instance lives is decided by a lock it holds while it runs, never by how fast it
// answers. Claiming and forwarding need no QCoreApplication, so a start hands its URLs over before
// any GUI exists; requests are served once one does.
class SingleInstance : public QObject {
    Q_OBJECT
  public:
    enum class Delivery { delivered, noInstance, noAnswer };
    enum class Claim { primary, forwarded, noAnswer };
    // A request is a few URLs; a connection may hold one request, all of them together a few.
    static constexpr qint64 maximumRequestSize = 256 * 1024;
    static constexpr qint64 maximumBuffered = 1024 * 1024;
    static constexpr int maximumConnections = 32;

    explicit SingleInstance(QString socketPath = defaultSocketPath());
    ~SingleInstance() override;

    // $XDG_RUNTIME_DIR/larkspire.socket when that folder is the user's own and private; else the
    // same name in a private per-user folder, made when missing: larkspire-UID in the temporary
    // folder, or ~/.cache/larkspire when someone else holds that name. Empty when there is none.
    static QString defaultSocketPath();

    // Hands the request to the running instance, or becomes the running instance when there is none.
    // Two starts at the same moment end with one primary; a socket left by a crash is replaced.
    Claim claimOrForward(const QStringList& request);
    // Only hands the request over; never becomes the running instance.
    Delivery forward(const QStringList& request) const;

    // Requests of later starts, one after the other, on the main thread.
    void setHandler(std::function<void(const QStringList&)> handler);
    // Trouble while serving (too many open files and the like), in words for the log.
    void setProblemHandler(std::function<void(const std::string&)> handler) {
        onProblem = std::move(handler);
    }
    bool isListening() const { return listening >= 0; }
    QString listenError() const { return problem; }

    static QByteArray encode(const QStringList& request);

  private:
    struct Connection;

    // `busy` tells a full queue or a connection closed at once from an instance that took the
    // request and never answered.
    Delivery forwardOnce(const QByteArray& message, bool* busy = nullptr) const;
    bool listen();
    void serve();
    void accept();
    void receive(int fd);
    void drop(int fd);
    void handle(QStringList request);
    void report(const std::string& text);

    QString socketPath;
    QString problem;
    int lock = -1;
    int listening = -1;
    QSocketNotifier* acceptNotifier = nullptr;
    QTimer* acceptRetry = nullptr;
    bool acceptTroubleReported = false;
    std::map<int, std::unique_ptr<Connection>> connections;
    qint64 buffered = 0;
    std::function<void(const QStringList&)> handler;
    std::function<void(const std::string&)> onProblem;
    std::deque<QStringList> pending;
    bool handling = false;
};

}  // namespace larkspire::qt
