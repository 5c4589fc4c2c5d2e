#pragma once

#include "platform/qt/tray/DBusMenuTypes.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QImage>
#include <QObject>
#include <functional>

namespace larkspire::qt {

// The status item as an org.kde.StatusNotifierItem of its own, for Wayland panels: it says it is a
// menu and names the exported menu, so a left click shows the panel's menu. (Qt's own item says
// it is none, and a panel then asks the program to activate, which on Wayland cannot place a menu at
// the icon.) It registers with the panel's watcher, and again whenever a watcher comes.
class StatusNotifierItem : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconThemePath READ iconThemePath)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(larkspire::qt::DBusImageList IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ noIconName)
    Q_PROPERTY(larkspire::qt::DBusImageList OverlayIconPixmap READ noIconPixmap)
    Q_PROPERTY(QString AttentionIconName READ noIconName)
    Q_PROPERTY(larkspire::qt::DBusImageList AttentionIconPixmap READ noIconPixmap)
    Q_PROPERTY(QString AttentionMovieName READ noIconName)
    Q_PROPERTY(larkspire::qt::DBusToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)

  public:
    static constexpr const char* watcherService = "org.kde.StatusNotifierWatcher";
    static constexpr const char* objectPath = "/StatusNotifierItem";

    // True when a watcher is on the bus now.
    static bool watcherRunning(const QDBusConnection& bus);

    // Exported on `bus` under a name of its own, with the menu at `menuPath`; `registered` hears of
    // each registration with a watcher (empty) or why it failed.
    StatusNotifierItem(QDBusConnection bus, QString menuPath,
                       std::function<void(const QString& problem)> registered);
    ~StatusNotifierItem() override;

    // What the panel shows: a theme icon's name (empty for none) or else the pictures, and the tooltip.
    void setIcon(const QString& iconName, const QList<QImage>& pictures, const QString& tooltipText);
    const QString& serviceName() const { return service; }

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return QStringLiteral("larkspire"); }
    QString title() const { return QStringLiteral("Larkspire"); }
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    QString iconThemePath() const { return {}; }
    QString iconName() const { return themedName; }
    DBusImageList iconPixmap() const { return pixmaps; }
    QString noIconName() const { return {}; }
    DBusImageList noIconPixmap() const { return {}; }
    DBusToolTip toolTip() const { return {themedName, {}, tooltip, {}}; }
    bool itemIsMenu() const { return true; }
    QDBusObjectPath menu() const { return QDBusObjectPath(menuPath); }

  public slots:
    // The panel shows the menu itself; a window of ours could not be placed at the icon.
    void Activate(int x, int y);
    void SecondaryActivate(int x, int y);
    void ContextMenu(int x, int y);
    void Scroll(int delta, const QString& orientation);

  signals:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);

  private:
    void registerWithWatcher();

    QDBusConnection bus;
    QString service;
    QString menuPath;
    std::function<void(const QString&)> registered;
    QDBusServiceWatcher watcher;
    QString themedName;
    DBusImageList pixmaps;
    QString tooltip;
};

}  // namespace larkspire::qt
