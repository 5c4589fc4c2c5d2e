#pragma once

#include "platform/wayland/LayerPlacement.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace larkspire::wayland {

class LayerShellConnection;
class PointerEvents;
class SurfaceEvents;

enum class Layer { background, bottom, top };  // the bottom layer is below every ordinary window

// The pixels of one frame: premultiplied ARGB, 32 bits each, `stride` bytes per row. `scale` pixels
// make one logical unit of the placement, as many as the output the surface shows on has.
struct Canvas {
    unsigned char* pixels;
    int width;
    int height;
    int stride;
    int scale = 1;
};

// What a layer surface reports. Pointer positions count from the top-left corner of its output,
// where the compositor has it at the time of the event (not where it was asked to move last).
struct LayerSurfaceEvents {
    std::function<void(double x, double y)> pressed;  // the left button
    std::function<void(double x, double y)> moved;    // the pointer, over the surface or dragging
    std::function<void()> released;
    // By the compositor (its output went, say); the next frame drawn brings it back where the compositor
    // puts it. Closed again before it showed anywhere, it waits for an output to be added.
    std::function<void()> closed;
    // It came onto an output of another scale: a frame drawn now has that output's pixels.
    std::function<void()> rescaled;
};

// A surface on a layer of the desktop, anchored to an output's top-left corner, that never takes the
// keyboard. It lives as long as its owner wants it; the compositor's objects behind it come and go
// as it is shown, hidden, moved to another output or closed by the compositor.
class LayerSurface {
  public:
    ~LayerSurface();
    LayerSurface(const LayerSurface&) = delete;
    LayerSurface& operator=(const LayerSurface&) = delete;

    void setLayer(Layer layer);
    void setPlacement(const LayerPlacement& placement);  // a new size needs a new frame drawn
    const LayerPlacement& placement() const { return wanted; }
    void setTakesPointer(bool takes);  // false: an empty input region, clicks reach what lies below
    // Draws a frame of the current size, at the scale of the output it shows on, and shows it;
    // nothing while the surface is hidden.
    void draw(const std::function<void(const Canvas&)>& paint);
    void show();  // the first frame comes with the next `draw`
    void hide();  // unmapped
    bool isShown() const { return shown; }
    // Onto the connection to a compositor that came back; the next frame drawn shows it there. False
    // when it is there already.
    bool moveTo(std::shared_ptr<LayerShellConnection> next);

    struct Objects;

  private:
    friend class LayerShellConnection;
    friend class PointerEvents;
    friend class SurfaceEvents;
    friend class OutputEvents;
    LayerSurface(std::shared_ptr<LayerShellConnection> connection, Layer layer, std::string nameSpace,
                 LayerSurfaceEvents events);
    void create();
    void destroyObjects();
    void applyState();
    void commitFrame();
    void configured(std::uint32_t serial);
    void closedByCompositor();
    bool mayCreate() const;
    int outputScale() const;
    void followScale();

    std::shared_ptr<LayerShellConnection> connection;
    Layer layer;
    std::string nameSpace;
    LayerSurfaceEvents events;
    LayerPlacement wanted;
    LayerPlacement applied;  // what the compositor has taken, for pointer positions
    bool takesPointer = false;
    bool shown = false;
    // Made anew after the compositor closed it, and not shown on any output since.
    bool reopened = false;
    // Closed twice in a row: no new surface until an output is added (the count of those then), or
    // the compositor and Larkspire would take turns for ever.
    std::optional<std::uint64_t> waitingSince;
    std::unique_ptr<Objects> objects;
};

// A Wayland connection of Larkspire's own for layer surfaces (zwlr_layer_shell_v1), whichever
// platform Qt runs on. It does not read by itself: its owner watches `fd()` on the main loop and
// calls `dispatch()` when there is something to read, so nothing wakes while nothing changes.
// Main thread only.
class LayerShellConnection : public std::enable_shared_from_this<LayerShellConnection> {
  public:
    struct Opened {
        std::shared_ptr<LayerShellConnection> connection;
        std::string reason;  // why there is none
    };
    // Connects to the compositor named by WAYLAND_DISPLAY; nothing, with the reason, where there is
    // no Wayland session or it has no layer shell.
    static Opened open();
    ~LayerShellConnection();
    LayerShellConnection(const LayerShellConnection&) = delete;
    LayerShellConnection& operator=(const LayerShellConnection&) = delete;

    int fd() const;
    // Reads and handles what arrived; false once the compositor is gone, with `lostReason()`.
    bool dispatch();
    // Sends what was asked; false while the socket is full (wait until `fd()` is writable).
    bool flush();
    bool isLost() const { return lost; }
    std::function<void()> sendBlocked;  // the socket is full: flush again once it is writable
    std::function<void()> outputAdded;  // where surfaces the compositor closed may show again
    std::string lostReason() const;
    std::uint32_t version() const;  // of the compositor's layer shell

    std::unique_ptr<LayerSurface> createSurface(Layer layer, std::string nameSpace,
                                                LayerSurfaceEvents events);

    struct Globals;

  private:
    friend class LayerSurface;
    friend class PointerEvents;
    LayerShellConnection();
    std::string connect();
    void markLost();

    std::unique_ptr<Globals> globals;
    bool lost = false;
};

}  // namespace larkspire::wayland
