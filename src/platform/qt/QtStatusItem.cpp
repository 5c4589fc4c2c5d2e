#include "platform/qt/QtStatusItem.h"

#include "platform/qt/QtImages.h"

#include <QApplication>
#include <QCursor>
#include <QPainter>
#include <QPalette>

namespace larkspire::qt {

QtStatusItem::QtStatusItem() : qmenu(std::make_unique<QMenu>()) {
    qmenu->setObjectName("larkspireStatusMenu");
    tray.setContextMenu(qmenu.get());
    connect(qmenu.get(), &QMenu::aboutToShow, this, [this] { rebuildMenu(); });
    // Some panels only send a click; the menu is the item's only content, so a click opens it too.
    connect(&tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger) qmenu->popup(QCursor::pos());
    });
}

QtStatusItem::~QtStatusItem() {
    tray.setContextMenu(nullptr);
}

QImage QtStatusItem::renderIcon(const StatusIcon& icon, int size, const QColor& tint) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    namedImage(icon.image, tint).paint(&painter, QRect(0, 0, size, size));

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

void QtStatusItem::setIcon(const StatusIcon& icon) {
    shown = icon;
    auto tint = QApplication::palette().color(QPalette::WindowText);
    QIcon composed;
    for (int size : {16, 22, 24, 32, 48, 64})
        composed.addPixmap(QPixmap::fromImage(renderIcon(icon, size, tint)));
    tray.setIcon(composed);
    tray.setToolTip(QString::fromStdString(icon.tooltip));
    if (!tray.isVisible()) tray.show();
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
    Menu items = provider ? provider() : Menu{};
    qmenu->clear();
    for (const auto& item : items) {
        if (item.isSeparator) {
            qmenu->addSeparator();
            continue;
        }
        // A menu takes "&" as the mark of a keyboard shortcut; the titles mean the character itself.
        auto* action = qmenu->addAction(QString::fromStdString(item.title).replace('&', "&&"));
        if (!item.image.empty()) action->setIcon(namedImage(item.image));
        action->setEnabled(item.enabled);
        action->setCheckable(item.checked);
        action->setChecked(item.checked);
        if (!item.keyEquivalent.empty())
            action->setShortcut(QKeySequence("Ctrl+" + QString::fromStdString(item.keyEquivalent).toUpper()));
        action->setShortcutContext(Qt::WidgetShortcut);  // shown in the menu, not grabbed from other windows
        if (!item.action) continue;
        connect(action, &QAction::triggered, this, [this, item] {
            // Run after the menu's own handling, so an action may change what the menu shows.
            QMetaObject::invokeMethod(
                this,
                [this, item] {
                    item.action(item);
                    // A panel that keeps the exported menu would otherwise show the old check mark.
                    menuContentChanged();
                },
                Qt::QueuedConnection);
        });
    }
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

std::unique_ptr<StatusItem> QtStatusBar::createStatusItem() {
    auto created = std::make_unique<QtStatusItem>();
    item = created.get();
    return created;
}

}  // namespace larkspire::qt
