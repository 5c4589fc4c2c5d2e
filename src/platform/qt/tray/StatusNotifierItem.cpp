#include "platform/qt/tray/StatusNotifierItem.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QtEndian>

namespace larkspire::qt {

namespace {

DBusImage onTheBus(const QImage& picture) {
    QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
    DBusImage image{argb.width(), argb.height(), {}};
    image.pixels.resize(static_cast<qsizetype>(argb.width()) * argb.height() * 4);
    auto* out = reinterpret_cast<uchar*>(image.pixels.data());
    for (int y = 0; y < argb.height(); ++y) {
        const auto* row = reinterpret_cast<const quint32*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x, out += 4) qToBigEndian(row[x], out);
    }
    return image;
}

}  // namespace

bool StatusNotifierItem::watcherRunning(const QDBusConnection& bus) {
    auto* interface = bus.interface();
    return interface && interface->isServiceRegistered(watcherService).value();
}

StatusNotifierItem::StatusNotifierItem(QDBusConnection connection, QString menu,
                                       std::function<void(const QString&)> registeredHandler)
    : bus(std::move(connection)),
      // The form the watchers expect: one name per item of a process.
      service(QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(QCoreApplication::applicationPid())),
      menuPath(std::move(menu)), registered(std::move(registeredHandler)),
      watcher(watcherService, bus, QDBusServiceWatcher::WatchForRegistration) {
    registerTrayDBusTypes();
    bool exported = bus.registerObject(objectPath, this,
                                       QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                                           QDBusConnection::ExportAllProperties);
    if (!exported || !bus.registerService(service)) {
        if (registered)
            registered(QStringLiteral("%1 ist schon vergeben").arg(exported ? service : objectPath));
        return;
    }
    // A panel that restarts brings a new watcher, which knows no items.
    connect(&watcher, &QDBusServiceWatcher::serviceRegistered, this, [this] { registerWithWatcher(); });
    registerWithWatcher();
}

StatusNotifierItem::~StatusNotifierItem() {
    bus.unregisterObject(objectPath);
    bus.unregisterService(service);
}

void StatusNotifierItem::setIcon(const QString& name, const QList<QImage>& pictures,
                                 const QString& tooltipText) {
    DBusImageList converted;
    for (const auto& picture : pictures) converted.append(onTheBus(picture));
    bool iconChanged = name != themedName || converted.size() != pixmaps.size();
    for (qsizetype i = 0; !iconChanged && i < converted.size(); ++i)
        iconChanged = converted[i].pixels != pixmaps[i].pixels;
    bool tipChanged = tooltipText != tooltip || name != themedName;
    themedName = name;
    pixmaps = std::move(converted);
    tooltip = tooltipText;
    if (iconChanged) emit NewIcon();
    if (tipChanged) emit NewToolTip();
}

void StatusNotifierItem::registerWithWatcher() {
    auto call = QDBusMessage::createMethodCall(watcherService, "/StatusNotifierWatcher", watcherService,
                                               "RegisterStatusNotifierItem");
    call << service;
    auto* pending = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
        QDBusPendingReply<> reply = *done;
        done->deleteLater();
        if (!registered) return;
        auto error = reply.error();
        registered(!reply.isError() ? QString() : error.message().isEmpty() ? error.name() : error.message());
    });
}

void StatusNotifierItem::Activate(int, int) {}
void StatusNotifierItem::SecondaryActivate(int, int) {}
void StatusNotifierItem::ContextMenu(int, int) {}
void StatusNotifierItem::Scroll(int, const QString&) {}

}  // namespace larkspire::qt
