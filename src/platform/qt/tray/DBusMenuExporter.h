#pragma once

#include "platform/qt/tray/DBusMenuTypes.h"
#include "platform/types/MenuExport.h"

#include <QDBusContext>
#include <QObject>
#include <functional>
#include <vector>

namespace larkspire::qt {

// The status menu as com.canonical.dbusmenu, for panels that draw the menu themselves: built from
// the core's description, and a panel's click chooses the entry through `choose`, as the tray's own
// menu does. The core's menus are flat, so the layout is one level under the root (id 0).
class DBusMenuExporter : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)

  public:
    static constexpr const char* objectPath = "/MenuBar";

    DBusMenuExporter(std::function<Menu()> provider, std::function<void(const MenuItem&)> choose);

    // Asks the provider again; tells the panels when anything they show changed, and says whether it did.
    bool refresh();
    const Menu& shownMenu() const { return shown; }
    uint revision() const { return layoutRevision; }

    uint version() const { return 3; }
    QString textDirection() const { return QStringLiteral("ltr"); }
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }

  public slots:
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                   larkspire::qt::DBusMenuLayoutItem& layout);
    larkspire::qt::DBusMenuItemList GetGroupProperties(const QList<int>& ids,
                                                       const QStringList& propertyNames);
    QDBusVariant GetProperty(int id, const QString& name);
    void Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp);
    QList<int> EventGroup(const larkspire::qt::DBusMenuEventList& events);
    bool AboutToShow(int id);
    QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors);

  signals:
    void LayoutUpdated(uint revision, int parent);
    void ItemsPropertiesUpdated(const larkspire::qt::DBusMenuItemList& updatedProps,
                                const larkspire::qt::DBusMenuItemKeysList& removedProps);
    void ItemActivationRequested(int id, uint timestamp);

  private:
    // The position of an entry shown now; -1 for the root, -2 for an id that is not there.
    int indexOf(int id) const;
    QVariantMap propertiesOf(int id, const QStringList& names) const;
    void refuse(const QString& why);
    // True when the event was for an entry shown now.
    bool handle(int id, const QString& eventId);

    std::function<Menu()> provider;
    std::function<void(const MenuItem&)> choose;
    MenuIds ids;
    Menu shown;
    std::vector<std::int32_t> shownIds;
    std::vector<QVariantMap> shownProperties;
    uint layoutRevision = 0;
};

}  // namespace larkspire::qt
