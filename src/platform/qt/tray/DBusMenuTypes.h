#pragma once

#include <QDBusArgument>
#include <QDBusVariant>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace larkspire::qt {

// The values of com.canonical.dbusmenu and org.kde.StatusNotifierItem on the bus.

struct DBusMenuItem {  // (ia{sv})
    int id = 0;
    QVariantMap properties;
};
using DBusMenuItemList = QList<DBusMenuItem>;

struct DBusMenuItemKeys {  // (ias)
    int id = 0;
    QStringList properties;
};
using DBusMenuItemKeysList = QList<DBusMenuItemKeys>;

struct DBusMenuLayoutItem {  // (ia{sv}av), the children each a variant of the same
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayoutItem> children;
};

struct DBusMenuEvent {  // (isvu)
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using DBusMenuEventList = QList<DBusMenuEvent>;

struct DBusImage {  // (iiay): ARGB32 in network byte order
    int width = 0;
    int height = 0;
    QByteArray pixels;
};
using DBusImageList = QList<DBusImage>;

struct DBusToolTip {  // (sa(iiay)ss)
    QString iconName;
    DBusImageList iconPixmap;
    QString title;
    QString description;
};

// Makes the types known to QtDBus; needed once before objects using them are exported.
void registerTrayDBusTypes();

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItem& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItem& item);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItemKeys& keys);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItemKeys& keys);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuLayoutItem& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuLayoutItem& item);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuEvent& event);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuEvent& event);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusImage& image);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusImage& image);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusToolTip& tip);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusToolTip& tip);

}  // namespace larkspire::qt

Q_DECLARE_METATYPE(larkspire::qt::DBusMenuItem)
Q_DECLARE_METATYPE(larkspire::qt::DBusMenuItemKeys)
Q_DECLARE_METATYPE(larkspire::qt::DBusMenuLayoutItem)
Q_DECLARE_METATYPE(larkspire::qt::DBusMenuEvent)
Q_DECLARE_METATYPE(larkspire::qt::DBusImage)
Q_DECLARE_METATYPE(larkspire::qt::DBusToolTip)
