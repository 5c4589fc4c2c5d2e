#include "QtApp.h"
#include "platform/qt/SingleInstance.h"

#include <QLocalSocket>
#include <QTemporaryDir>
#include <QtEndian>
#include <future>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
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

}  // namespace
