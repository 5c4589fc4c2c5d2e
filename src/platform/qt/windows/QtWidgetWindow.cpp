#include "platform/qt/windows/QtWidgetWindow.h"

#include "platform/qt/drawing/DisplayListPainter.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#if defined(LARKSPIRE_HAVE_XCB) && QT_CONFIG(xcb)
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#ifdef LARKSPIRE_HAVE_XCB_SHAPE
#include <xcb/shape.h>
#endif
#else
#undef LARKSPIRE_HAVE_XCB
#undef LARKSPIRE_HAVE_XCB_SHAPE
#endif

namespace larkspire::qt {

namespace {

// The parts of a face that differ from the last one, in tiles, merged along each row of tiles. A
// monitor's second changes a few numbers and bars, so only those are cleared, drawn and sent again.
QRegion changedTiles(const QImage& before, const QImage& after) {
    if (before.size() != after.size() || before.format() != after.format()) return QRegion(after.rect());
    constexpr int tile = 32;
    const int width = after.width(), height = after.height(), depth = after.depth() / 8;
    QRegion changed;
    for (int top = 0; top < height; top += tile) {
        int rows = std::min(tile, height - top);
        int runStart = -1;
        for (int left = 0; left <= width; left += tile) {
            bool differs = false;
            if (left < width) {
                auto bytes = static_cast<std::size_t>(std::min(tile, width - left) * depth);
                for (int y = top; y < top + rows && !differs; ++y)
                    differs = std::memcmp(before.constScanLine(y) + left * depth,
                                          after.constScanLine(y) + left * depth, bytes) != 0;
            }
            if (differs && runStart < 0) runStart = left;
            if (!differs && runStart >= 0) {
                changed += QRect(runStart, top, std::min(left, width) - runStart, rows);
                runStart = -1;
            }
        }
    }
    return changed;
}

int primaryHeight() {
    auto* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().y() + screen->geometry().height() : 0;
}

int rounded(double value) {
    // Positions far off any screen are still bounded, so Qt never sees an overflowing coordinate.
    return std::isfinite(value) ? static_cast<int>(std::lround(std::clamp(value, -1e6, 1e6))) : 0;
}

#ifdef LARKSPIRE_HAVE_XCB
xcb_connection_t* x11Connection() {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// Qt makes a new native window when a window shown before is shown again after its stacking hint
// changed, and the widget's own id still names the old one; the QWindow knows the current one.
xcb_window_t nativeWindow(QWidget& widget) {
    return static_cast<xcb_window_t>(widget.windowHandle()->winId());
}

// Window managers follow these hints for mapped windows only when asked through the root window.
void askWindowManager(QWidget& widget) {
    auto* connection = x11Connection();
    if (!connection || !widget.windowHandle()) return;
    auto atom = [connection](const char* name) {
        auto cookie = xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
        auto* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
        xcb_atom_t value = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
        std::free(reply);
        return value;
    };
    auto window = nativeWindow(widget);
    auto* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (!screen) return;
    auto send = [&](xcb_atom_t type, std::uint32_t a, std::uint32_t b, std::uint32_t c) {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = type;
        message.data.data32[0] = a;
        message.data.data32[1] = b;
        message.data.data32[2] = c;
        message.data.data32[3] = 1;  // from an application
        xcb_send_event(connection, 0, screen->root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&message));
    };
    constexpr std::uint32_t add = 1;
    auto state = atom("_NET_WM_STATE");
    auto sticky = atom("_NET_WM_STATE_STICKY"), skipTaskbar = atom("_NET_WM_STATE_SKIP_TASKBAR");
    auto skipPager = atom("_NET_WM_STATE_SKIP_PAGER"), desktop = atom("_NET_WM_DESKTOP");
    constexpr std::uint32_t everyDesktop = 0xFFFFFFFF;
    if (!widget.isVisible()) {
        // Before mapping, the window manager reads the properties; Qt keeps states it does not manage.
        xcb_atom_t states[] = {sticky, skipTaskbar, skipPager};
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, state, XCB_ATOM_ATOM, 32, 3, states);
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, desktop, XCB_ATOM_CARDINAL, 32, 1,
                            &everyDesktop);
    } else {
        send(state, add, sticky, skipTaskbar);
        send(state, add, skipPager, 0);
        send(desktop, everyDesktop, 1, 0);
    }
    xcb_flush(connection);
}
#endif

#ifdef LARKSPIRE_HAVE_XCB_SHAPE
// Qt's own input shape is fixed at the size the window had when it began taking the mouse, and a
// window manager that frames the window copies it to the frame only when told it changed after
// managing the window; until then the frame takes every click. So the shape is set here: empty to
// let clicks through, none at all (the whole window, whatever its size) to take the mouse.
void setInputShape(QWidget& widget, bool ignoresMouse) {
    auto* connection = x11Connection();
    if (!connection || !widget.windowHandle() || !widget.windowHandle()->handle()) return;
    auto* shape = xcb_get_extension_data(connection, &xcb_shape_id);
    if (!shape || !shape->present) return;
    auto window = nativeWindow(widget);
    if (ignoresMouse)
        xcb_shape_rectangles(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_UNSORTED,
                             window, 0, 0, 0, nullptr);
    else
        xcb_shape_mask(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, window, 0, 0, XCB_NONE);
    xcb_flush(connection);
}
#endif

}  // namespace

QRect toQt(const Rect& rect) {
    int width = std::max(1, rounded(rect.width)), height = std::max(1, rounded(rect.height));
    return QRect(rounded(rect.x), primaryHeight() - rounded(rect.y) - height, width, height);
}

Rect fromQt(const QRect& rect) {
    return Rect{static_cast<double>(rect.x()),
                static_cast<double>(primaryHeight() - rect.y() - rect.height()),
                static_cast<double>(rect.width()), static_cast<double>(rect.height())};
}

std::vector<Screen> QtScreens::screens() const {
    std::vector<Screen> result;
    auto* primary = QGuiApplication::primaryScreen();
    auto all = QGuiApplication::screens();
    if (primary) result.push_back(Screen{fromQt(primary->geometry()), fromQt(primary->availableGeometry())});
    for (auto* screen : all)
        if (screen != primary)
            result.push_back(Screen{fromQt(screen->geometry()), fromQt(screen->availableGeometry())});
    return result;
}

WidgetView::WidgetView(WidgetWindowEvents events) : QWidget(nullptr), events(std::move(events)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle("Larkspire-Widget");
}

void WidgetView::setContent(DisplayList content) {
    shown = std::move(content);
    auto ratio = devicePixelRatioF();
    if (faceStale || face.size() != facePixels() || face.devicePixelRatio() != ratio) {
        faceStale = true;
        update();
        return;
    }
    auto next = paintedFace();
    auto changed = changedTiles(face, next);
    face = std::move(next);
    if (ratio != 1.0) {
        update();  // tiles of device pixels need not fall on whole logical pixels
        return;
    }
    if (!changed.isEmpty()) update(changed);
}

QSize WidgetView::facePixels() const {
    return (QSizeF(size()) * devicePixelRatioF()).toSize();
}

QImage WidgetView::paintedFace() const {
    QImage image(facePixels(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatioF());
    image.fill(Qt::transparent);
    paintDisplayListAside(image, shown);
    return image;
}

void WidgetView::paintEvent(QPaintEvent*) {
    if (faceStale || face.size() != facePixels() || face.devicePixelRatio() != devicePixelRatioF()) {
        face = paintedFace();
        faceStale = false;
    }
    // Qt clips to the region that needs it; the face is drawn only there.
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), face);
}

void WidgetView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    auto at = event->position();
    if (handle && at.x() >= handle->x && at.x() <= handle->x + handle->width && at.y() >= handle->y &&
        at.y() <= handle->y + handle->height) {
        drag = Drag::handle;
        auto global = event->globalPosition();
        if (events.handleDown) events.handleDown(Point{global.x(), primaryHeight() - global.y()});
    } else if (movable) {
        drag = Drag::window;
        grabOffset = event->globalPosition().toPoint() - pos();
    }
}

void WidgetView::mouseMoveEvent(QMouseEvent* event) {
    auto global = event->globalPosition();
    if (drag == Drag::handle && events.handleDragged)
        events.handleDragged(Point{global.x(), primaryHeight() - global.y()});
    if (drag == Drag::window) move(global.toPoint() - grabOffset);
}

void WidgetView::mouseReleaseEvent(QMouseEvent*) {
    drag = Drag::none;
}

void WidgetView::moveEvent(QMoveEvent*) {
    if (events.moved) events.moved();
}

bool WidgetView::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
#ifdef LARKSPIRE_HAVE_XCB
    // By the time the window maps, the window manager has taken it: only now does it follow the
    // workspace and task-bar requests, and notice the input shape. Every show maps a window again.
    if (eventType == "xcb_generic_event_t" && windowHandle()) {
        auto* event = static_cast<xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY &&
            reinterpret_cast<xcb_map_notify_event_t*>(event)->window == nativeWindow(*this)) {
            askWindowManager(*this);
#ifdef LARKSPIRE_HAVE_XCB_SHAPE
            setInputShape(*this, ignoresMouse);
#endif
        }
    }
#endif
    return QWidget::nativeEvent(eventType, message, result);
}

QtWidgetWindow::QtWidgetWindow(const Rect& contentRect, WidgetWindowEvents events)
    : view(std::make_unique<WidgetView>(std::move(events))) {
    applyFlags();
    view->setGeometry(toQt(contentRect));
#ifdef LARKSPIRE_HAVE_XCB
    view->winId();  // the native window exists from here on, so its hints are in place before it maps
    askWindowManager(*view);
#endif
}

void QtWidgetWindow::applyFlags() {
    Qt::WindowFlags flags = Qt::FramelessWindowHint | Qt::Tool | Qt::NoDropShadowWindowHint;
    flags |= level == WidgetLevel::floating ? Qt::WindowStaysOnTopHint : Qt::WindowStaysOnBottomHint;
    if (ignoresMouse) flags |= Qt::WindowTransparentForInput;
    if (auto* handle = view->windowHandle(); handle && view->isVisible()) {
        // On the native window the change takes effect without hiding the widget.
        handle->setFlags(flags | Qt::Window);
        view->overrideWindowFlags(flags | Qt::Window);
    } else {
        view->setWindowFlags(flags);
    }
    view->ignoresMouse = ignoresMouse;
#ifdef LARKSPIRE_HAVE_XCB_SHAPE
    setInputShape(*view, ignoresMouse);
#endif
}

Rect QtWidgetWindow::frame() const {
    return fromQt(view->geometry());
}

void QtWidgetWindow::setFrame(const Rect& frame) {
    view->setGeometry(toQt(frame));
    view->update();
}

void QtWidgetWindow::setContent(DisplayList content) {
    // A face that did not change since the last second is not painted again.
    if (content == view->content()) return;
    view->setContent(std::move(content));
}

void QtWidgetWindow::setLevel(WidgetLevel value) {
    level = value;
    applyFlags();
}

void QtWidgetWindow::setIgnoresMouseEvents(bool ignores) {
    ignoresMouse = ignores;
    applyFlags();
}

void QtWidgetWindow::setMovableByWindowBackground(bool movable) {
    view->movable = movable;
}

void QtWidgetWindow::setHandleFrame(std::optional<Rect> frame) {
    view->handle = frame;
}

void QtWidgetWindow::orderFront() {
    view->show();
}

void QtWidgetWindow::orderFrontRegardless() {
    view->show();
    view->raise();
}

void QtWidgetWindow::orderOut() {
    view->hide();
}

bool QtWidgetWindow::isVisible() const {
    return view->isVisible();
}

std::unique_ptr<WidgetWindow> QtWidgetWindows::create(const Rect& contentRect, WidgetWindowEvents events) {
    auto window = std::make_unique<QtWidgetWindow>(contentRect, std::move(events));
    created.push_back(window.get());
    return window;
}

Color QtWidgetWindows::accentColor() const {
    auto color = QApplication::palette().color(QPalette::Highlight);
    return Color{color.redF(), color.greenF(), color.blueF(), 1};
}

}  // namespace larkspire::qt
