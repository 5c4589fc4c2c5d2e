#include "platform/qt/windows/QtOverlayWindow.h"

#include "platform/qt/drawing/DisplayListPainter.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <cmath>

namespace larkspire::qt {

namespace {

Color colorOf(const QColor& color, double alpha = 1) {
    return Color{color.redF(), color.greenF(), color.blueF(), color.alphaF() * alpha};
}

}  // namespace

OverlayColors overlayColors(const QPalette& palette) {
    return OverlayColors{.windowBackground = colorOf(palette.color(QPalette::Window)),
                         .separator = colorOf(palette.color(QPalette::WindowText), 0.15),
                         .secondaryLabel = colorOf(palette.color(QPalette::WindowText), 0.55)};
}

QRegion overlayShape(const DisplayList& content, bool translucent) {
    QRegion shape;
    for (const auto& item : content) {
        const auto* rounded = std::get_if<RoundedRect>(&item.content);
        if (!rounded || !rounded->rect.isFinite()) continue;
        auto r = rounded->rect;
        auto clampToInt = [](double value) {
            return static_cast<int>(std::clamp(std::round(value), -1e6, 1e6));
        };
        QRect area(clampToInt(r.x), clampToInt(r.y), clampToInt(r.width), clampToInt(r.height));
        if (area.isEmpty()) continue;
        const auto* color = rounded->fill ? std::get_if<Color>(&*rounded->fill) : nullptr;
        if (!translucent && color && color->alpha < 0.9) {
            for (int y = area.top(); y <= area.bottom(); y += 2)
                shape += QRect(area.left(), y, area.width(), 1);
            continue;
        }
        QPainterPath path;
        path.addRoundedRect(QRectF(area), rounded->cornerRadius, rounded->cornerRadius);
        shape += QRegion(path.toFillPolygon().toPolygon(), Qt::WindingFill);
    }
    return shape;
}

QtOverlayWindow::QtOverlayWindow(OverlayStacking* stacking)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowTransparentForInput |
                           Qt::NoDropShadowWindowHint | Qt::WindowDoesNotAcceptFocus |
                           (stacking ? Qt::X11BypassWindowManagerHint : Qt::WindowFlags())),
      stacking(stacking) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_NoSystemBackground);
    // How GNOME Shell's extension tells the badge window from Larkspire's other windows; the Shell
    // reads no role of a window it leaves alone, but its title.
    setWindowTitle("Larkspire-Schild");
}

void QtOverlayWindow::setFrame(const Rect& frame) {
    currentFrame = frame;
    if (!std::isfinite(frame.x) || !std::isfinite(frame.y) || !std::isfinite(frame.width) ||
        !std::isfinite(frame.height))
        return;
    // The frame counts from the primary screen's bottom edge; Qt counts from its top.
    auto* screen = QGuiApplication::primaryScreen();
    double screenHeight = screen ? screen->geometry().height() : 0;
    auto clampToInt = [](double value) { return static_cast<int>(std::clamp(value, -1e6, 1e6)); };
    setGeometry(clampToInt(frame.x), clampToInt(screenHeight - frame.y - frame.height),
                clampToInt(std::max(0.0, frame.width)), clampToInt(std::max(0.0, frame.height)));
}

void QtOverlayWindow::orderAbove(std::uint32_t windowNumber) {
    // A window shaped to nothing cannot be shown, and would show all of itself.
    if (stacking && mask().isEmpty()) return;
    if (!isVisible()) show();
    // Asked on every pass, so the overlay follows when its window is raised or lowered. Raising it
    // instead would lay it over every other program's windows too.
    if (stacking) {
        stacking->stackAbove(static_cast<std::uint32_t>(winId()), windowNumber);
        return;
    }
    raise();
}

void QtOverlayWindow::orderOut() {
    hide();
}

void QtOverlayWindow::display(DisplayList list) {
    content = std::move(list);
    if (stacking) {
        translucent = stacking->isCompositing();
        auto shape = overlayShape(content, translucent);
        if (shape.isEmpty()) {
            hide();
            clearMask();
        } else {
            setMask(shape);
        }
    }
    update();
}

void QtOverlayWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // Without a compositor the shape does the washing out, so the ground must be opaque.
    if (!translucent) painter.fillRect(rect(), palette().color(QPalette::Window));
    paintDisplayList(painter, content);
}

OverlayColors QtOverlaySurfaces::colors() const {
    // Asked on every pass of the badge; the palette changes only with the desktop's appearance.
    auto palette = QApplication::palette();
    if (!known || palette.cacheKey() != knownPalette) {
        known = overlayColors(palette);
        knownPalette = palette.cacheKey();
    }
    return *known;
}

}  // namespace larkspire::qt
