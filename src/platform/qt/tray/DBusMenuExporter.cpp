#include "platform/qt/tray/DBusMenuExporter.h"

#include <QDBusError>

namespace larkspire::qt {

namespace {

QVariantMap entryProperties(const MenuItem& item) {
    QVariantMap properties;
    if (item.isSeparator) {
        properties.insert("type", QStringLiteral("separator"));
        return properties;
    }
    // An underscore marks the access key there; the titles mean the character itself.
    properties.insert("label", QString::fromStdString(item.title).replace('_', "__"));
    if (!choosable(item)) properties.insert("enabled", false);
    // As in the tray's own menu, an entry carries a check mark only while it is on.
    if (item.checked) {
        properties.insert("toggle-type", QStringLiteral("checkmark"));
        properties.insert("toggle-state", 1);
    }
    // Neither images nor key hints: panels draw theme icons at sizes of their own choosing (waybar's
    // stood taller than three entries), and the keys work only in Larkspire's windows, not from the
    // panel's menu.
    return properties;
}

QVariantMap only(const QVariantMap& properties, const QStringList& names) {
    if (names.isEmpty()) return properties;
    QVariantMap chosen;
    for (const auto& name : names)
        if (properties.contains(name)) chosen.insert(name, properties.value(name));
    return chosen;
}

const QVariantMap rootProperties{{"children-display", QStringLiteral("submenu")}};

}  // namespace

DBusMenuExporter::DBusMenuExporter(std::function<Menu()> provider,
                                   std::function<void(const MenuItem&)> choose)
    : provider(std::move(provider)), choose(std::move(choose)) {
    registerTrayDBusTypes();
    refresh();
}

bool DBusMenuExporter::refresh() {
    Menu menu = provider ? provider() : Menu{};
    auto newIds = ids.assign(menu);
    std::vector<QVariantMap> newProperties;
    newProperties.reserve(menu.size());
    for (const auto& item : menu) newProperties.push_back(entryProperties(item));
    bool changed = newIds != shownIds || newProperties != shownProperties;
    shown = std::move(menu);
    shownIds = std::move(newIds);
    shownProperties = std::move(newProperties);
    if (!changed) return false;
    ++layoutRevision;
    emit LayoutUpdated(layoutRevision, 0);
    return true;
}

void DBusMenuExporter::refuse(const QString& why) {
    // Called directly (as by the tray's own code) there is no caller on the bus to answer.
    if (calledFromDBus()) sendErrorReply(QDBusError::InvalidArgs, why);
}

int DBusMenuExporter::indexOf(int id) const {
    if (id == 0) return -1;
    for (std::size_t i = 0; i < shownIds.size(); ++i)
        if (shownIds[i] == id) return static_cast<int>(i);
    return -2;
}

QVariantMap DBusMenuExporter::propertiesOf(int id, const QStringList& names) const {
    int index = indexOf(id);
    if (index == -1) return only(rootProperties, names);
    if (index < 0) return {};
    return only(shownProperties[static_cast<std::size_t>(index)], names);
}

uint DBusMenuExporter::GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                                 DBusMenuLayoutItem& layout) {
    int index = indexOf(parentId);
    if (index == -2) {
        refuse(QStringLiteral("no menu entry %1").arg(parentId));
        return layoutRevision;
    }
    layout.id = parentId;
    layout.properties = propertiesOf(parentId, propertyNames);
    // Only the root has children; a depth of 0 asks for the entry alone.
    if (index == -1 && recursionDepth != 0)
        for (auto id : shownIds) layout.children.append({id, propertiesOf(id, propertyNames), {}});
    return layoutRevision;
}

DBusMenuItemList DBusMenuExporter::GetGroupProperties(const QList<int>& requested,
                                                      const QStringList& propertyNames) {
    DBusMenuItemList items;
    // Entries that went are left out, as a panel asking with an old layout expects.
    for (int id : requested)
        if (indexOf(id) != -2) items.append({id, propertiesOf(id, propertyNames)});
    return items;
}

QDBusVariant DBusMenuExporter::GetProperty(int id, const QString& name) {
    auto properties = propertiesOf(id, {name});
    if (indexOf(id) == -2 || !properties.contains(name)) {
        refuse(QStringLiteral("no property %1 of entry %2").arg(name).arg(id));
        return QDBusVariant(QVariant(0));
    }
    return QDBusVariant(properties.value(name));
}

bool DBusMenuExporter::handle(int id, const QString& eventId) {
    int index = indexOf(id);
    if (index == -2) return false;
    if (eventId != QLatin1String("clicked") || index < 0) return true;
    const auto& item = shown[static_cast<std::size_t>(index)];
    // A panel may still show an entry as it was; one that is off now does nothing.
    if (choosable(item) && choose) choose(item);
    return true;
}

void DBusMenuExporter::Event(int id, const QString& eventId, const QDBusVariant&, uint) {
    if (!handle(id, eventId)) refuse(QStringLiteral("no menu entry %1").arg(id));
}

QList<int> DBusMenuExporter::EventGroup(const DBusMenuEventList& events) {
    QList<int> idErrors;
    for (const auto& event : events)
        if (!handle(event.id, event.eventId)) idErrors.append(event.id);
    return idErrors;
}

bool DBusMenuExporter::AboutToShow(int id) {
    // The menu is built afresh each time it opens, as the tray's own menu is.
    return id == 0 && refresh();
}

QList<int> DBusMenuExporter::AboutToShowGroup(const QList<int>& requested, QList<int>& idErrors) {
    QList<int> updatesNeeded;
    for (int id : requested) {
        if (indexOf(id) == -2)
            idErrors.append(id);
        else if (AboutToShow(id))
            updatesNeeded.append(id);
    }
    return updatesNeeded;
}

}  // namespace larkspire::qt
