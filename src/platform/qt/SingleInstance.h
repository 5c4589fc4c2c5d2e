#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>

namespace larkspire::qt {

// One running instance per user: later starts hand their request to it through a local socket that
// only this user may use. A request is a list of fields: "open" with URLs, "reopen", or "choose" with
// a menu item title.
class SingleInstance : public QObject {
    Q_OBJECT
  public:
    enum class Delivery { delivered, noInstance, noAnswer };
    enum class Claim { primary, forwarded, noAnswer };
    static constexpr qint64 maximumRequestSize = 1 << 20;

    explicit SingleInstance(QString socketPath = defaultSocketPath());
    ~SingleInstance() override;

    // $XDG_RUNTIME_DIR/larkspire.socket, or a per-user name in the temporary folder without one.
    static QString defaultSocketPath();

    // Hands the request to the running instance, or becomes the running instance when there is none.
    // Two starts at the same moment end with one primary; a socket left by a crash is replaced.
    Claim claimOrForward(const QStringList& request);
    // Only hands the request over; never becomes the running instance.
    Delivery forward(const QStringList& request) const;

    // Requests of later starts, one after the other, on the main thread.
    void setHandler(std::function<void(const QStringList&)> handler) { this->handler = std::move(handler); }
    bool isListening() const { return server.isListening(); }
    QString listenError() const { return server.errorString(); }

    static QByteArray encode(const QStringList& request);

  private:
    void accept();
    void handle(QStringList request);

    QString socketPath;
    QLocalServer server;
    std::function<void(const QStringList&)> handler;
    std::deque<QStringList> pending;
    bool handling = false;
};

}  // namespace larkspire::qt
