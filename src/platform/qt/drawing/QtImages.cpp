#include "platform/qt/drawing/QtImages.h"

#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QPalette>
#include <QSvgRenderer>
#include <map>

namespace larkspire::qt {

namespace {

const std::map<std::string, std::string>& themeNames() {
    static const std::map<std::string, std::string> names = {
        {"macwindow", "preferences-system-windows"},
        {"scissors", "edit-cut"},
        {"gearshape", "preferences-system"},
        {"doc.badge.plus", "document-new"},
        {"folder", "folder"},
        {"externaldrive.connected.to.line.below", "network-server"},
        {"arrow.up.arrow.down", "input-mouse"},
        {"square.grid.2x2", "view-grid"},
        {"info.circle", "help-about"},
        {"externaldrive", ""},
        {"externaldrive.fill", ""},
        {"cpu", "utilities-system-monitor"},
        {"clock", "preferences-system-time"},
        {"arrow.up.and.down.and.arrow.left.and.right", "transform-move"},
        {"exclamationmark.triangle.fill", "dialog-warning"},
        {"minus.circle", "list-remove"},
    };
    return names;
}

QString resourcePath(const std::string& image) {
    return QString(":/larkspire/icons/%1.svg").arg(QString::fromStdString(image));
}

}  // namespace

std::string themeIconName(const std::string& image) {
    auto found = themeNames().find(image);
    return found == themeNames().end() ? std::string() : found->second;
}

bool hasBundledImage(const std::string& image) {
    return !image.empty() && QFile::exists(resourcePath(image));
}

QPixmap bundledImage(const std::string& image, int size, const QColor& tint) {
    QFile file(resourcePath(image));
    if (image.empty() || !file.open(QIODevice::ReadOnly)) return {};
    auto svg = file.readAll();
    svg.replace("currentColor", tint.name().toUtf8());
    QSvgRenderer renderer(svg);
    if (!renderer.isValid()) return {};
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(0, 0, size, size));
    return pixmap;
}

QIcon namedImage(const std::string& image, const QColor& tint) {
    static std::map<std::pair<std::string, QRgb>, QIcon> cache;
    auto key = std::make_pair(image, tint.rgba());
    if (auto found = cache.find(key); found != cache.end()) return found->second;

    QIcon icon;
    auto theme = QString::fromStdString(themeIconName(image));
    if (!theme.isEmpty()) {
        if (QIcon::hasThemeIcon(theme + "-symbolic"))
            icon = QIcon::fromTheme(theme + "-symbolic");
        else if (QIcon::hasThemeIcon(theme))
            icon = QIcon::fromTheme(theme);
    }
    if (icon.isNull() && hasBundledImage(image)) {
        for (int size : {16, 22, 24, 32, 48, 64, 128}) icon.addPixmap(bundledImage(image, size, tint));
    }
    cache[key] = icon;
    return icon;
}

QIcon namedImage(const std::string& image) {
    return namedImage(image, QApplication::palette().color(QPalette::WindowText));
}

}  // namespace larkspire::qt
