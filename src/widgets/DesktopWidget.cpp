#include "widgets/DesktopWidget.h"

#include "widgets/WidgetChrome.h"

#include <cmath>

namespace larkspire {

namespace {

bool differsInSize(const RenderedView& face, const Rect& frame) {
    return std::fabs(face.width - frame.width) > 0.5 || std::fabs(face.height - frame.height) > 0.5;
}

}  // namespace

std::shared_ptr<DesktopWidget> DesktopWidget::create(WidgetPorts ports, std::string enabledKey,
                                                     std::string scaleKey, std::string frameName,
                                                     ScaleRange scaleRange, DefaultOrigin defaultOrigin,
                                                     std::function<void()> refresh, ContentBuilder content) {
    return std::make_shared<DesktopWidget>(ports, std::move(enabledKey), std::move(scaleKey),
                                           std::move(frameName), scaleRange, std::move(defaultOrigin),
                                           std::move(refresh), std::move(content));
}

DesktopWidget::DesktopWidget(WidgetPorts ports, std::string enabledKey, std::string scaleKey,
                             std::string frameName, ScaleRange scaleRange, DefaultOrigin defaultOrigin,
                             std::function<void()> refresh, ContentBuilder bare)
    : ports(ports), enabledKey(std::move(enabledKey)), scaleKey(std::move(scaleKey)),
      frameName(std::move(frameName)), scaleRange(scaleRange), defaultOrigin(std::move(defaultOrigin)),
      refresh(std::move(refresh)) {
    double stored = ports.defaults.doubleForKey(this->scaleKey);
    double scale = stored > 0 && std::isfinite(stored) ? stored : 1.0;
    // A scale out of range stays until the handle moves, but one this large would ask for a window
    // bigger than any screen, so it comes back into range at once.
    if (scale > 10) scale = scaleRange.upper;
    widgetState = std::make_shared<WidgetState>(scale);
    content = [bare = std::move(bare),
               &windows = ports.windows](WidgetState& state) -> std::unique_ptr<WidgetContent> {
        return std::make_unique<WidgetChrome>(bare(state), state, windows.accentColor());
    };
}

void DesktopWidget::makeWindow() {
    host = content(*widgetState);
    const auto& fitting = layout();
    std::weak_ptr<DesktopWidget> weak = weak_from_this();
    WidgetWindowEvents events{
        .moved = weakly(weak, [](DesktopWidget& self) { self.savePosition(); }),
        .handleDown =
            [weak](Point mouse) {
                auto self = weak.lock();
                if (!self) return;
                std::optional<double> width;
                if (self->widgetWindow) width = self->widgetWindow->frame().width;
                self->resizeHandle.mouseDown(mouse, width);
            },
        .handleDragged =
            [weak](Point mouse) {
                if (auto self = weak.lock()) self->resizeHandle.mouseDragged(mouse);
            },
    };
    widgetWindow = ports.windows.create(Rect{0, 0, fitting.width, fitting.height}, std::move(events));
    resizeHandle.state = widgetState;
    resizeHandle.scaleRange = scaleRange;
    auto& window = *widgetWindow;
    window.setHandleFrame(std::nullopt);
    window.setLevel(WidgetLevel::desktop);
    window.setIgnoresMouseEvents(true);
    window.setMovableByWindowBackground(false);

    auto screens = ports.screens.screens();
    bool placed = false;
    if (auto corner = storedPosition()) {
        for (const auto& screen : screens) {
            // One point of slack, so a corner exactly on the top or right edge counts as inside.
            const auto& f = screen.frame;
            if (corner->x >= f.x - 1 && corner->x <= f.x + f.width + 1 && corner->y >= f.y - 1 &&
                corner->y <= f.y + f.height + 1) {
                window.setFrame(Rect{corner->x, corner->y - fitting.height, fitting.width, fitting.height});
                placed = true;
                break;
            }
        }
    }
    if (!placed && !screens.empty()) {
        auto origin = defaultOrigin(screens.front().visibleFrame, WidgetSize{fitting.width, fitting.height});
        window.setFrame(Rect{origin.x, origin.y, fitting.width, fitting.height});
    }

    subscriptions.push_back(widgetState->observeScale(weakly(weak, [](DesktopWidget& self) {
        self.scaleStore.cancel();
        self.scaleStore = self.ports.main.postAfter(
            0.3, weakly(self.weak_from_this(), [](DesktopWidget& widget) {
                widget.ports.defaults.set(widget.scaleKey, Value(widget.widgetState->scale()));
            }));
    })));
    auto fitLater = weakly(weak, [](DesktopWidget& self) {
        self.ports.main.post(
            weakly(self.weak_from_this(), [](DesktopWidget& widget) { widget.scheduleFit(); }));
    });
    subscriptions.push_back(widgetState->observeScale(fitLater));
    subscriptions.push_back(widgetState->observeEditing(fitLater));
    for (auto& observation : host->observe(weakly(weak, [](DesktopWidget& self) {
             self.laidOut.reset();
             self.scheduleRedraw();
         })))
        subscriptions.push_back(std::move(observation));
    redraw();
}

std::optional<Point> DesktopWidget::storedPosition() const {
    auto stored = ports.defaults.object(positionKey());
    const auto* list = stored ? stored->get<Value::List>() : nullptr;
    if (!list || list->size() != 2) return std::nullopt;
    double values[2];
    for (std::size_t i = 0; i < 2; ++i) {
        const auto& entry = (*list)[i];
        if (!entry.is<double>() && !entry.is<std::int64_t>()) return std::nullopt;
        values[i] = *entry.asDouble();
    }
    return Point{values[0], values[1]};
}

void DesktopWidget::savePosition() {
    if (!widgetWindow) return;
    auto frame = widgetWindow->frame();
    ports.defaults.set(positionKey(), Value(Value::List{Value(frame.x), Value(frame.y + frame.height)}));
}

void DesktopWidget::scheduleFit() {
    ports.main.postAfter(0.03, weakly(weak_from_this(), [](DesktopWidget& self) {
                             if (!self.widgetWindow || !self.host) return;
                             // After a refresh this is the redraw's layout: the face is laid out once.
                             const auto& fitting = self.layout();
                             auto frame = self.widgetWindow->frame();
                             if (!differsInSize(fitting, frame)) return;
                             // The top-left corner stays where it is.
                             self.widgetWindow->setFrame(Rect{frame.x,
                                                              frame.y + frame.height - fitting.height,
                                                              fitting.width, fitting.height});
                             self.savePosition();
                             self.fitting = true;
                             self.redraw();
                             self.fitting = false;
                         }));
}

void DesktopWidget::scheduleRedraw() {
    if (redrawPending) return;
    redrawPending = true;
    // Several values change in one refresh; the face is drawn once after them.
    ports.main.post(weakly(weak_from_this(), [](DesktopWidget& self) {
        self.redrawPending = false;
        self.redraw();
    }));
}

const RenderedView& DesktopWidget::layout() {
    if (!laidOut) laidOut = host->render();
    return *laidOut;
}

void DesktopWidget::redraw() {
    if (!widgetWindow || !host) return;
    auto view = layout();
    auto frame = widgetWindow->frame();
    // Only a face of another size needs the window fitted to it, so a steady one costs no timer; a
    // window that keeps another size after a fit is tried again at the next change, not at once.
    if (!fitting && differsInSize(view, frame)) scheduleFit();
    if (widgetState->isEditing()) {
        Rect handle{frame.width - ResizeHandle::size, frame.height - ResizeHandle::size, ResizeHandle::size,
                    ResizeHandle::size};
        auto strokes = ResizeHandle::draw(handle, ports.windows.accentColor());
        view.items.insert(view.items.end(), strokes.begin(), strokes.end());
        widgetWindow->setHandleFrame(handle);
    } else {
        widgetWindow->setHandleFrame(std::nullopt);
    }
    widgetWindow->setContent(std::move(view.items));
}

void DesktopWidget::show() {
    if (!widgetWindow) makeWindow();
    widgetWindow->orderFront();
    if (timer.isValid()) return;
    refresh();
    scheduleFit();
    timer = ports.main.scheduleRepeating(
        1.0, weakly(weak_from_this(), [](DesktopWidget& self) { self.refresh(); }));
}

void DesktopWidget::update() {
    if (isEnabled()) {
        show();
        return;
    }
    setEditing(false);
    timer.invalidate();
    if (widgetWindow) widgetWindow->orderOut();
}

void DesktopWidget::setEditing(bool editing) {
    if (!widgetWindow) return;
    if (editing && !widgetWindow->isVisible()) return;
    auto& window = *widgetWindow;
    widgetState->setEditing(editing);
    window.setIgnoresMouseEvents(!editing);
    window.setMovableByWindowBackground(editing);
    if (editing) {
        window.setLevel(WidgetLevel::floating);
        ports.application.activateIgnoringOtherApps();
        window.orderFrontRegardless();
    } else {
        window.setLevel(WidgetLevel::desktop);
        savePosition();
        ports.defaults.set(scaleKey, Value(widgetState->scale()));
    }
    redraw();
}

}  // namespace larkspire
