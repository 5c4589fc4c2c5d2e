#pragma once

#include "platform/Log.h"
#include "platform/OverlaySurfaces.h"
#include "platform/WidgetWindow.h"
#include "platform/types/Signal.h"
#include "platform/wayland/LayerShellConnection.h"
#include "platform/wayland/SocketReturn.h"

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>
#include <string>

namespace larkspire::qt {

// The compositor's layer shell on a Wayland connection of Larkspire's own, read on Qt's main loop
// when its socket has something: no thread, no timer. Should the compositor go away, the surfaces
// stay empty and the log says so once; when a compositor opens the same socket again, the
// connection is made anew and `restored` asks the surfaces onto it.
class QtLayerShell {
  public:
    // Nothing, with the reason, where the session has no layer shell.
    static std::unique_ptr<QtLayerShell> open(Log& log, std::string& reason);
    QtLayerShell(std::shared_ptr<wayland::LayerShellConnection> connection, Log& log);

    wayland::LayerShellConnection& connection() { return *shared; }
    const std::shared_ptr<wayland::LayerShellConnection>& current() const { return shared; }
    // A new connection, or an output where closed surfaces may show again: draw them anew.
    [[nodiscard]] std::shared_ptr<void> observeRestored(std::function<void()> handler) {
        return restored.observe(std::move(handler));
    }
    // The compositor closed a surface; it is drawn anew wherever the compositor puts it.
    void sayClosed(const std::string& surface);

  private:
    void follow();
    void read();
    void lose();
    void reconnect();

    std::shared_ptr<wayland::LayerShellConnection> shared;
    Logger log;
    std::unique_ptr<QSocketNotifier> readable;
    std::unique_ptr<QSocketNotifier> writable;
    // While the compositor is gone: where it comes back, and the next try.
    std::unique_ptr<wayland::SocketReturn> returning;
    std::unique_ptr<QSocketNotifier> socketFolder;
    QTimer retry;
    bool lost = false;
    Signal restored;
};

// A desktop widget on the compositor's bottom layer, moved by its margins from an output's corner.
// Resting, its input region is empty; arranging, it takes the pointer and follows drags as the X11
// window does.
class LayerWidgetWindow : public WidgetWindow {
  public:
    LayerWidgetWindow(QtLayerShell& shell, const Rect& contentRect, WidgetWindowEvents events);
    Rect frame() const override { return currentFrame; }
    void setFrame(const Rect& frame) override;
    void setContent(DisplayList content) override;
    void setLevel(WidgetLevel level) override;
    void setIgnoresMouseEvents(bool ignores) override;
    void setMovableByWindowBackground(bool value) override { movable = value; }
    void setHandleFrame(std::optional<Rect> frame) override { handle = frame; }
    void orderFront() override;
    void orderFrontRegardless() override { orderFront(); }
    void orderOut() override;
    bool isVisible() const override { return surface->isShown(); }

  private:
    void place(const Rect& frame);
    void draw();
    void drawAnew() {  // after the compositor dropped the frame or changed its scale
        drawn = false;
        draw();
    }
    void pressed(double x, double y);
    void dragged(double x, double y);

    enum class Drag { none, window, handle };
    WidgetWindowEvents events;
    std::unique_ptr<wayland::LayerSurface> surface;
    Rect currentFrame;
    Point outputOrigin;
    DisplayList content;
    bool drawn = false;  // the surface shows `content` at its size
    bool movable = false;
    std::optional<Rect> handle;
    Drag drag = Drag::none;
    Point grabOffset;  // from the frame's top-left corner to the pointer, while moving
    std::shared_ptr<void> restoredToken;
};

class LayerWidgetWindows : public WidgetWindows {
  public:
    explicit LayerWidgetWindows(QtLayerShell& shell) : shell(shell) {}
    std::unique_ptr<WidgetWindow> create(const Rect& contentRect, WidgetWindowEvents events) override;
    Color accentColor() const override;

  private:
    QtLayerShell& shell;
};

// The badge and the greys on the compositor's top layer, with an empty input region. A layer
// surface cannot be stacked against one window, so it is simply shown; the core hides it when the
// file manager is covered.
class LayerOverlaySurface : public OverlaySurface {
  public:
    explicit LayerOverlaySurface(QtLayerShell& shell);
    Rect frame() const override { return currentFrame; }
    void setFrame(const Rect& frame) override;
    void orderAbove(std::uint32_t windowNumber) override;
    void orderOut() override;
    void display(DisplayList content) override;

  private:
    void draw();
    void drawAnew() {  // after the compositor dropped the frame or changed its scale
        drawn = false;
        draw();
    }

    std::unique_ptr<wayland::LayerSurface> surface;
    Rect currentFrame;
    DisplayList content;
    bool drawn = false;
    std::shared_ptr<void> restoredToken;
};

class LayerOverlaySurfaces : public OverlaySurfaces {
  public:
    explicit LayerOverlaySurfaces(QtLayerShell& shell) : shell(shell) {}
    std::unique_ptr<OverlaySurface> create() override { return std::make_unique<LayerOverlaySurface>(shell); }
    OverlayColors colors() const override;

  private:
    QtLayerShell& shell;
};

}  // namespace larkspire::qt
