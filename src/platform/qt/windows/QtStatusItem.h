#pragma once

#include "platform/StatusItem.h"

#include <QDBusConnection>
#include <QImage>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>
#include <optional>

namespace larkspire::qt {

class DBusMenuExporter;
class StatusNotifierItem;

// The status item as a tray icon. A tray has no title text, so a non-empty title is drawn as a badge
// on the icon; the menu is built from the core's description each time it opens.
class QtStatusItem : public QObject, public StatusItem {
    Q_OBJECT
  public:
    QtStatusItem();
    ~QtStatusItem() override;

    bool hasButton() const override { return true; }
    void setImageLeading() override {}  // the badge always sits on the image
    void setIcon(const StatusIcon& icon) override;
    void setMenuProvider(std::function<Menu()> menuNeedsUpdate) override;
    void menuContentChanged() override;

    // Opens the menu afresh and chooses its first enabled item with this title; false when there is none.
    bool choose(const std::string& title);
    // Runs a chosen entry's action after the menu's own handling, then shows the menu afresh.
    void perform(const MenuItem& item);
    // Shows the item and its menu on `bus` as a StatusNotifierItem and a dbusmenu of its own instead of
    // the tray icon; `registered` hears of each registration with a panel (empty) or why it failed.
    void exportTo(const QDBusConnection& bus, std::function<void(const QString& problem)> registered);
    StatusNotifierItem* exportedItem() const { return notifierItem.get(); }
    DBusMenuExporter* exportedMenu() const { return menuExporter.get(); }
    void setOnIconSet(std::function<void()> callback) { onIconSet = std::move(callback); }
    // The menu as the core describes it now, for panels that draw it themselves.
    Menu currentMenu() const { return provider ? provider() : Menu{}; }
    // The icon theme's name for a state's image.
    static std::string themeIconName(const std::string& image);

    QSystemTrayIcon& trayIcon() { return tray; }
    QMenu& menu() { return *qmenu; }
    const StatusIcon& icon() const { return shown; }
    int menuBuilds() const { return builds; }

    // The picture of a state: the image with the title, trimmed, as a badge at its lower right.
    static QImage renderIcon(const StatusIcon& icon, int size, const QColor& tint);

  protected:
    // The menu's key equivalents work in every Larkspire window, as their labels promise.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void rebuildMenu();

    QSystemTrayIcon tray;
    std::unique_ptr<QMenu> qmenu;
    std::unique_ptr<DBusMenuExporter> menuExporter;
    std::unique_ptr<StatusNotifierItem> notifierItem;
    std::function<Menu()> provider;
    std::function<void()> onIconSet;
    StatusIcon shown;
    bool rebuildQueued = false;
    int builds = 0;
};

// Said on the terminal and in the log when the desktop has no tray to show the status item in.
extern const char* const noTrayMessage;

class QtStatusBar : public StatusBar {
  public:
    std::unique_ptr<StatusItem> createStatusItem() override;
    // The item shown now and those created from now on show on `bus` as StatusNotifierItems of their
    // own (see exportTo).
    void exportItemsTo(const QDBusConnection& bus, std::function<void(const QString& problem)> registered);
    QtStatusItem* item = nullptr;  // the last item created; owned by the application

  private:
    std::optional<QDBusConnection> exportBus;
    std::function<void(const QString&)> onRegistered;
};

}  // namespace larkspire::qt
