#include "platform/qt/windows/LayerShellWindows.h"

#include "platform/qt/drawing/DisplayListPainter.h"
#include "platform/qt/windows/QtOverlayWindow.h"
#include "platform/qt/windows/QtWidgetWindow.h"

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>

namespace larkspire::qt {

namespace {

int primaryHeight() {
    auto* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().y() + screen->geometry().height() : 0;
}

// The toolkit's screens are the compositor's outputs, by name and place, whichever platform it runs on.
std::vector<wayland::OutputArea> outputAreas() {
    std::vector<wayland::OutputArea> areas;
    auto* primary = QGuiApplication::primaryScreen();
    auto add = [&areas](QScreen* screen) {
        auto g = screen->geometry();
        areas.push_back({screen->name().toStdString(),
                         Rect{double(g.x()), double(g.y()), double(g.width()), double(g.height())}});
    };
    if (primary) add(primary);
    for (auto* screen : QGuiApplication::screens())
        if (screen != primary) add(screen);
    return areas;
}

// The core's rectangle (origin bottom-left of the primary screen) as one of the desktop, origin top-left.
Rect topLeftRect(const Rect& frame) {
    double height = std::isfinite(frame.height) ? frame.height : 0;
    return Rect{frame.x, primaryHeight() - frame.y - height, frame.width, height};
}

void paint(const wayland::Canvas& canvas, const DisplayList& content) {
    QImage image(canvas.pixels, canvas.width, canvas.height, canvas.stride,
                 QImage::Format_ARGB32_Premultiplied);
    // The display list counts in logical pixels; the painter puts as many of the output's into each.
    image.setDevicePixelRatio(canvas.scale);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    paintDisplayList(painter, content);
}

}  // namespace

std::unique_ptr<QtLayerShell> QtLayerShell::open(Log& log, std::string& reason) {
    auto opened = wayland::LayerShellConnection::open();
    if (!opened.connection) {
        reason = opened.reason;
        return nullptr;
    }
    return std::make_unique<QtLayerShell>(std::move(opened.connection), log);
}

QtLayerShell::QtLayerShell(std::shared_ptr<wayland::LayerShellConnection> connection, Log& log)
    : shared(std::move(connection)), log(log, "shell") {
    retry.setSingleShot(true);
    QObject::connect(&retry, &QTimer::timeout, &retry, [this] { reconnect(); });
    follow();
}

void QtLayerShell::follow() {
    readable = std::make_unique<QSocketNotifier>(shared->fd(), QSocketNotifier::Read);
    writable = std::make_unique<QSocketNotifier>(shared->fd(), QSocketNotifier::Write);
    writable->setEnabled(false);
    QObject::connect(readable.get(), &QSocketNotifier::activated, readable.get(), [this] { read(); });
    QObject::connect(writable.get(), &QSocketNotifier::activated, writable.get(), [this] {
        if (shared->flush()) writable->setEnabled(false);
        if (shared->isLost()) lose();
    });
    shared->sendBlocked = [this] { writable->setEnabled(true); };
    // A surface closed with its output comes back on the next one.
    shared->outputAdded = [this] { restored.notify(); };
}

void QtLayerShell::sayClosed(const std::string& surface) {
    log.info("Der Compositor schloss die Fläche " + surface +
             " (etwa mit ihrer Ausgabe): sie wird neu gezeichnet, wo er sie hinstellt");
}

void QtLayerShell::read() {
    if (!shared->dispatch()) lose();
}

void QtLayerShell::lose() {
    if (lost) return;  // said once
    lost = true;
    readable->setEnabled(false);
    writable->setEnabled(false);
    log.error("Ebenen des Compositors verloren (" + shared->lostReason() +
              "): Widgets und Auswahlhinweise bleiben unsichtbar, bis der Compositor wiederkommt");
    std::string problem;
    returning = wayland::SocketReturn::watch(problem);
    if (!returning) {
        log.error("Ebenen des Compositors kommen nicht wieder: " + problem);
        return;
    }
    socketFolder = std::make_unique<QSocketNotifier>(returning->fd(), QSocketNotifier::Read);
    QObject::connect(socketFolder.get(), &QSocketNotifier::activated, socketFolder.get(), [this] {
        if (returning->socketAppeared()) retry.start(0);
    });
    // Not from here: this runs within the old connection's notifier, which a new one replaces.
    if (returning->socketAppeared()) retry.start(0);
}

void QtLayerShell::reconnect() {
    auto opened = wayland::LayerShellConnection::open();
    if (!opened.connection) {
        int wait = returning->nextTryAfterFailure();
        if (wait >= 0) retry.start(wait);
        return;
    }
    socketFolder.reset();
    returning.reset();
    lost = false;
    shared = std::move(opened.connection);
    follow();
    log.info("Ebenen des Compositors wieder verbunden: Widgets und Auswahlhinweise erscheinen wieder");
    restored.notify();
}

LayerWidgetWindow::LayerWidgetWindow(QtLayerShell& shell, const Rect& contentRect, WidgetWindowEvents events)
    : events(std::move(events)) {
    wayland::LayerSurfaceEvents surfaceEvents{
        .pressed = [this](double x, double y) { pressed(x, y); },
        .moved = [this](double x, double y) { dragged(x, y); },
        .released = [this] { drag = Drag::none; },
        .closed =
            [this, &shell] {
                shell.sayClosed("eines Widgets");
                drawAnew();
            },
        .rescaled = [this] { drawAnew(); },
    };
    surface = shell.connection().createSurface(wayland::Layer::bottom, "larkspire-widget",
                                               std::move(surfaceEvents));
    place(contentRect);
    restoredToken = shell.observeRestored([this, &shell] {
        if (surface->moveTo(shell.current())) drawn = false;
        draw();
    });
}

void LayerWidgetWindow::place(const Rect& frame) {
    currentFrame = frame;
    auto placed = wayland::placeOnOutputs(topLeftRect(frame), outputAreas());
    outputOrigin = placed.outputOrigin;
    auto before = surface->placement();
    surface->setPlacement(placed.placement);
    if (before.width != placed.placement.width || before.height != placed.placement.height) drawn = false;
}

void LayerWidgetWindow::setFrame(const Rect& frame) {
    bool moved = frame.x != currentFrame.x || frame.y + frame.height != currentFrame.y + currentFrame.height;
    place(frame);
    draw();
    if (moved && events.moved) events.moved();
}

void LayerWidgetWindow::setContent(DisplayList list) {
    // The clock asks every second; its face changes once a minute.
    if (drawn && list == content) return;
    content = std::move(list);
    drawn = false;
    draw();
}

void LayerWidgetWindow::draw() {
    if (drawn || !surface->isShown()) return;
    surface->draw([this](const wayland::Canvas& canvas) { paint(canvas, content); });
    drawn = true;
}

void LayerWidgetWindow::setLevel(WidgetLevel level) {
    // Arranging, the widget comes above the windows so that it can be reached.
    surface->setLayer(level == WidgetLevel::floating ? wayland::Layer::top : wayland::Layer::bottom);
}

void LayerWidgetWindow::setIgnoresMouseEvents(bool ignores) {
    if (ignores) drag = Drag::none;
    surface->setTakesPointer(!ignores);
}

void LayerWidgetWindow::orderFront() {
    if (surface->isShown()) return;
    surface->show();
    drawn = false;
    draw();
}

void LayerWidgetWindow::orderOut() {
    drag = Drag::none;
    surface->hide();
}

// Positions come from the surface's output; the core wants them on the desktop, origin bottom-left.
void LayerWidgetWindow::pressed(double x, double y) {
    double globalX = outputOrigin.x + x, globalY = outputOrigin.y + y;
    auto topLeft = topLeftRect(currentFrame);
    double localX = globalX - topLeft.x, localY = globalY - topLeft.y;
    if (handle && localX >= handle->x && localX <= handle->x + handle->width && localY >= handle->y &&
        localY <= handle->y + handle->height) {
        drag = Drag::handle;
        if (events.handleDown) events.handleDown(Point{globalX, primaryHeight() - globalY});
    } else if (movable) {
        drag = Drag::window;
        grabOffset = Point{localX, localY};
    }
}

void LayerWidgetWindow::dragged(double x, double y) {
    double globalX = outputOrigin.x + x, globalY = outputOrigin.y + y;
    if (drag == Drag::handle && events.handleDragged)
        events.handleDragged(Point{globalX, primaryHeight() - globalY});
    if (drag != Drag::window) return;
    // Whole points, as the X11 window moves; the grabbed point stays under the pointer.
    double left = std::round(globalX - grabOffset.x), top = std::round(globalY - grabOffset.y);
    setFrame(
        Rect{left, primaryHeight() - top - currentFrame.height, currentFrame.width, currentFrame.height});
}

std::unique_ptr<WidgetWindow> LayerWidgetWindows::create(const Rect& contentRect, WidgetWindowEvents events) {
    return std::make_unique<LayerWidgetWindow>(shell, contentRect, std::move(events));
}

Color LayerWidgetWindows::accentColor() const {
    auto color = QApplication::palette().color(QPalette::Highlight);
    return Color{color.redF(), color.greenF(), color.blueF(), 1};
}

LayerOverlaySurface::LayerOverlaySurface(QtLayerShell& shell)
    : surface(shell.connection().createSurface(wayland::Layer::top, "larkspire-overlay",
                                               {.closed =
                                                    [this, &shell] {
                                                        shell.sayClosed("des Auswahlhinweises");
                                                        drawAnew();
                                                    },
                                                .rescaled = [this] { drawAnew(); }})) {
    restoredToken = shell.observeRestored([this, &shell] {
        if (surface->moveTo(shell.current())) drawn = false;
        draw();
    });
}

void LayerOverlaySurface::setFrame(const Rect& frame) {
    currentFrame = frame;
    auto placed = wayland::placeOnOutputs(topLeftRect(frame), outputAreas());
    auto before = surface->placement();
    surface->setPlacement(placed.placement);
    // A new size needs a new frame; a move alone does not.
    if (before.width != placed.placement.width || before.height != placed.placement.height) {
        drawn = false;
        draw();
    }
}

void LayerOverlaySurface::orderAbove(std::uint32_t) {
    // Asked on every pass of the badge; only the first shows it.
    if (!surface->isShown()) {
        surface->show();
        drawn = false;
    }
    draw();
}

void LayerOverlaySurface::orderOut() {
    surface->hide();
}

void LayerOverlaySurface::display(DisplayList list) {
    if (drawn && list == content) return;
    content = std::move(list);
    drawn = false;
    draw();
}

void LayerOverlaySurface::draw() {
    if (drawn || !surface->isShown()) return;
    surface->draw([this](const wayland::Canvas& canvas) { paint(canvas, content); });
    drawn = true;
}

OverlayColors LayerOverlaySurfaces::colors() const {
    return overlayColors(QApplication::palette());
}

}  // namespace larkspire::qt
