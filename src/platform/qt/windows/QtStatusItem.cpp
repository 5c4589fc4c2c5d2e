#include "platform/qt/windows/QtStatusItem.h"

#include "platform/qt/drawing/QtImages.h"
#include "platform/qt/tray/DBusMenuExporter.h"
#include "platform/qt/tray/StatusNotifierItem.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QPainter>
#include <QPalette>
#include <cmath>

namespace larkspire::qt {

namespace {

// The tray's pictures of the two states; other images stand for themselves.
std::string trayArt(const std::string& image) {
    if (image == "macwindow") return "larkspire-symbolic";
    if (image == "scissors") return "larkspire-cut-symbolic";
    return image;
}

QKeySequence shortcutOf(const MenuItem& item) {
    return QKeySequence("Ctrl+" + QString::fromStdString(item.keyEquivalent).toUpper());
}

// Qt's menus draw a checked entry's image in place of the check mark, with at most a faint frame;
// a tick on the image keeps the state readable.
QIcon withCheckMark(const QIcon& image) {
    QIcon checked;
    auto accent = QApplication::palette().color(QPalette::Highlight);
    for (int size : {16, 22, 24, 32, 48}) {
        QImage picture(size, size, QImage::Format_ARGB32_Premultiplied);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        image.paint(&painter, QRect(0, 0, size, size));
        double mark = size * 0.62;
        QRectF disc(size - mark, size - mark, mark, mark);
        painter.setPen(Qt::NoPen);
        painter.setBrush(accent);
        painter.drawEllipse(disc);
        QPen tick(Qt::white, std::max(1.5, mark * 0.16), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        painter.setPen(tick);
        QPointF at = disc.topLeft();
        painter.drawPolyline(QList<QPointF>{at + QPointF(mark * 0.26, mark * 0.52),
                                            at + QPointF(mark * 0.44, mark * 0.70),
                                            at + QPointF(mark * 0.76, mark * 0.32)});
        painter.end();
        checked.addPixmap(QPixmap::fromImage(picture));
    }
    return checked;
}

}  // namespace

const char* const noTrayMessage =
    "Keine Statusleiste gefunden: Larkspire zeigt sein Symbol nicht und öffnet stattdessen das "
    "Einstellungsfenster. Unter GNOME fügt die Erweiterung „AppIndicator“ eine Statusleiste hinzu.";

QtStatusItem::QtStatusItem() : qmenu(std::make_unique<QMenu>()) {
    qmenu->setObjectName("larkspireStatusMenu");
    if (qApp) qApp->installEventFilter(this);
    tray.setContextMenu(qmenu.get());
    connect(qmenu.get(), &QMenu::aboutToShow, this, [this] { rebuildMenu(); });
    // Some panels only send a click; the menu is the item's only content, so a click opens it too.
    // On Wayland the panel shows the menu it was handed itself: a menu of our own would be a window
    // of its own, which the compositor places anywhere but at the icon.
    connect(&tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger && !qEnvironmentVariableIsSet("WAYLAND_DISPLAY"))
            qmenu->popup(QCursor::pos());
    });
}

QtStatusItem::~QtStatusItem() {
    if (qApp) qApp->removeEventFilter(this);
    tray.setContextMenu(nullptr);
}

void QtStatusItem::exportTo(const QDBusConnection& bus,
                            std::function<void(const QString& problem)> registered) {
    menuExporter = std::make_unique<DBusMenuExporter>([this] { return currentMenu(); },
                                                      [this](const MenuItem& item) { perform(item); });
    QDBusConnection(bus).registerObject(DBusMenuExporter::objectPath, menuExporter.get(),
                                        QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                                            QDBusConnection::ExportAllProperties);
    notifierItem =
        std::make_unique<StatusNotifierItem>(bus, DBusMenuExporter::objectPath, std::move(registered));
    // Qt's own item would stand beside this one.
    tray.hide();
    if (!shown.image.empty()) setIcon(shown);
}

bool QtStatusItem::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !provider) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    // The open menu handles its own keys; other programs' windows never reach this process.
    if (!widget || qobject_cast<QMenu*>(widget->window())) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (!(key->modifiers() & Qt::ControlModifier)) return false;
    QKeySequence pressed(key->keyCombination());
    for (const auto& item : provider()) {
        if (item.isSeparator || item.keyEquivalent.empty() || !item.enabled || !item.action) continue;
        if (shortcutOf(item) != pressed) continue;
        // Run after the key's own handling, like a chosen menu entry.
        QMetaObject::invokeMethod(
            this, [item] { item.action(item); }, Qt::QueuedConnection);
        return true;
    }
    return false;
}

QImage QtStatusItem::renderIcon(const StatusIcon& icon, int size, const QColor& tint) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    // Larkspire's own art, never a theme's look-alike, with a rim in the opposite lightness so the
    // outline reads on light and dark panels alike.
    auto art = trayArt(icon.image);
    QColor rim = tint.lightness() < 128 ? Qt::white : Qt::black;
    QPixmap glyph = bundledImage(art, size, rim);
    QImage halo(size, size, QImage::Format_ARGB32_Premultiplied);
    halo.fill(Qt::transparent);
    {
        QPainter spread(&halo);
        double reach = std::max(1.0, size / 16.0);
        for (int step = 0; step < 8; ++step) {
            double angle = step * M_PI / 4;
            spread.drawPixmap(QPointF(reach * std::cos(angle), reach * std::sin(angle)), glyph);
        }
    }
    // A soft rim: enough to lift the outline off the panel without reading as a second outline.
    painter.setOpacity(0.65);
    painter.drawImage(0, 0, halo);
    painter.setOpacity(1.0);
    painter.drawPixmap(0, 0, bundledImage(art, size, tint));

    auto badge = QString::fromStdString(icon.title).trimmed();
    if (badge.isEmpty()) return image;
    QFont font = QApplication::font();
    font.setBold(true);
    double height = size * 0.58;
    // A long count gets a smaller font rather than losing digits at the icon's edges.
    int pixelSize = std::max(6, size * 9 / 22);
    font.setPixelSize(pixelSize);
    double textWidth = QFontMetricsF(font).horizontalAdvance(badge);
    while (pixelSize > 4 && textWidth + height * 0.5 > size) {
        font.setPixelSize(--pixelSize);
        textWidth = QFontMetricsF(font).horizontalAdvance(badge);
    }
    double width = std::max(height, textWidth + height * 0.5);
    width = std::min(width, static_cast<double>(size));
    QRectF pill(size - width, size - height, width, height);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xd9, 0x2d, 0x20));
    painter.drawRoundedRect(pill, height / 2, height / 2);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(pill, Qt::AlignCenter, badge);
    return image;
}

std::string QtStatusItem::themeIconName(const std::string& image) {
    return trayArt(image);
}

void QtStatusItem::setIcon(const StatusIcon& icon) {
    shown = icon;
    auto tint = QApplication::palette().color(QPalette::WindowText);
    // Installed symbolic icons go by name, so trays that can recolour them to the panel's text do.
    auto named = QString::fromStdString(trayArt(icon.image));
    if (!QString::fromStdString(icon.title).trimmed().isEmpty() || !QIcon::hasThemeIcon(named)) named.clear();
    QList<QImage> pictures;
    if (notifierItem || named.isEmpty())
        for (int size : {16, 22, 24, 32, 48, 64}) pictures.append(renderIcon(icon, size, tint));
    auto tooltip = QString::fromStdString(icon.tooltip);
    if (notifierItem) {
        // The pictures go along with a name: a panel without the theme icon falls back to them.
        notifierItem->setIcon(named, pictures, tooltip);
        // The menu's first entries follow the cut count; a panel keeping the exported menu shows them.
        menuContentChanged();
    } else {
        QIcon composed = named.isEmpty() ? QIcon() : QIcon::fromTheme(named);
        for (const auto& picture : pictures) composed.addPixmap(QPixmap::fromImage(picture));
        tray.setIcon(composed);
        tray.setToolTip(tooltip);
        if (!tray.isVisible()) tray.show();
    }
    if (onIconSet) onIconSet();
}

void QtStatusItem::setMenuProvider(std::function<Menu()> menuNeedsUpdate) {
    provider = std::move(menuNeedsUpdate);
    menuContentChanged();  // panels that export the menu read it before it is ever opened
}

void QtStatusItem::menuContentChanged() {
    // Queued and coalesced: the change may come from inside a menu action, whose QAction must
    // outlive its own signal.
    if (rebuildQueued) return;
    rebuildQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            rebuildQueued = false;
            rebuildMenu();
        },
        Qt::QueuedConnection);
}

void QtStatusItem::rebuildMenu() {
    ++builds;
    if (menuExporter) menuExporter->refresh();
    Menu items = provider ? provider() : Menu{};
    qmenu->clear();
    for (const auto& item : items) {
        if (item.isSeparator) {
            qmenu->addSeparator();
            continue;
        }
        // A menu takes "&" as the mark of a keyboard shortcut; the titles mean the character itself.
        auto* action = qmenu->addAction(QString::fromStdString(item.title).replace('&', "&&"));
        if (!item.image.empty())
            action->setIcon(item.checked ? withCheckMark(namedImage(item.image)) : namedImage(item.image));
        action->setEnabled(item.enabled);
        action->setCheckable(item.checked);
        action->setChecked(item.checked);
        if (!item.keyEquivalent.empty()) action->setShortcut(shortcutOf(item));
        // Shown in the menu; the event filter makes it work in Larkspire's windows.
        action->setShortcutContext(Qt::WidgetShortcut);
        if (!item.action) continue;
        connect(action, &QAction::triggered, this, [this, item] { perform(item); });
    }
}

void QtStatusItem::perform(const MenuItem& item) {
    // Run after the menu's own handling, so an action may change what the menu shows.
    QMetaObject::invokeMethod(
        this,
        [this, item] {
            item.action(item);
            // A panel that keeps the exported menu would otherwise show the old check mark.
            menuContentChanged();
        },
        Qt::QueuedConnection);
}

bool QtStatusItem::choose(const std::string& title) {
    Menu items = provider ? provider() : Menu{};
    for (const auto& item : items) {
        if (item.isSeparator || item.title != title || !item.enabled || !item.action) continue;
        item.action(item);
        return true;
    }
    return false;
}

void QtStatusBar::exportItemsTo(const QDBusConnection& bus,
                                std::function<void(const QString& problem)> registered) {
    exportBus = bus;
    onRegistered = std::move(registered);
    if (item && !item->exportedItem()) item->exportTo(bus, onRegistered);
}

std::unique_ptr<StatusItem> QtStatusBar::createStatusItem() {
    auto created = std::make_unique<QtStatusItem>();
    if (exportBus) created->exportTo(*exportBus, onRegistered);
    item = created.get();
    return created;
}

}  // namespace larkspire::qt
