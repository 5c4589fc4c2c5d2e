#include "platform/qt/QtOverlayWindow.h"

#include "platform/qt/DisplayListPainter.h"

#include <QApplication>
#include <QPainter>
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

QtOverlayWindow::QtOverlayWindow()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowTransparentForInput |
                           Qt::NoDropShadowWindowHint | Qt::WindowDoesNotAcceptFocus) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_NoSystemBackground);
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

void QtOverlayWindow::orderAbove(std::uint32_t) {
    if (!isVisible()) show();
    raise();
}

void QtOverlayWindow::orderOut() {
    hide();
}

void QtOverlayWindow::display(DisplayList list) {
    content = std::move(list);
    update();
}

void QtOverlayWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    paintDisplayList(painter, content);
}

OverlayColors QtOverlaySurfaces::colors() const {
    return overlayColors(QApplication::palette());
}

}  // namespace larkspire::qt
