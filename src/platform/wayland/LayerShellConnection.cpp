#include "platform/wayland/LayerShellConnection.h"

#include "platform/wayland/PipeTransfers.h"
#include "relative-pointer-unstable-v1-client-protocol.h"
// The protocol names an argument "namespace", a word C++ keeps for itself.
#define namespace layerNamespace
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <linux/input-event-codes.h>
#include <list>
#include <poll.h>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>
#include <wayland-client.h>

namespace larkspire::wayland {

namespace {

// The compositor answers a round trip at once; one that does not by then counts as absent.
constexpr auto connectPatience = std::chrono::seconds(2);
// A frame larger than this is no widget or badge; it would only exhaust memory.
constexpr int maxSide = 16384;
// No screen has more pixels to a logical one; a larger scale is a compositor's mistake.
constexpr int maxScale = 8;

struct Output {
    wl_output* output = nullptr;
    std::uint32_t name = 0;  // the registry's
    std::string connector;   // "HEADLESS-1", "DP-2"…, from version 4 on
    int scale = 1;           // pixels to a logical one, from version 2 on
    int pendingScale = 1;    // until the output's `done`
    LayerShellConnection::Globals* globals = nullptr;
};

// One frame's pixels, shared with the compositor.
struct Buffer {
    wl_buffer* buffer = nullptr;
    void* data = MAP_FAILED;
    std::size_t size = 0;
    int width = 0, height = 0;  // in pixels
    int scale = 1;
    bool busy = false;  // the compositor may still read it

    Buffer() = default;
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    ~Buffer() {
        if (buffer) wl_buffer_destroy(buffer);
        if (data != MAP_FAILED) ::munmap(data, size);
    }
};

}  // namespace

struct LayerShellConnection::Globals {
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    zwlr_layer_shell_v1* layerShell = nullptr;
    std::uint32_t layerShellVersion = 0;
    wl_seat* seat = nullptr;
    wl_pointer* pointer = nullptr;
    zwp_relative_pointer_manager_v1* relativePointers = nullptr;
    zwp_relative_pointer_v1* relativePointer = nullptr;
    std::list<Output> outputs;
    std::list<LayerSurface*> surfaces;     // those with objects, which follow their outputs' scales
    std::uint64_t outputsAdded = 0;        // so far; a surface closed twice waits for the next
    std::function<void()> outputAdded;     // the connection's, once the first outputs are known
    LayerSurface* pointerFocus = nullptr;  // the surface under the pointer, or the one it drags
    double pointerX = 0, pointerY = 0;     // surface-local
    // While the button is held. Compositors differ in where they count a moving surface's positions
    // from during a drag (sway keeps the place it had at the press), so a drag follows the pointer's
    // own movement from the press where the compositor tells it.
    bool dragging = false;
    double dragX = 0, dragY = 0;  // from the output's corner

    const Output* output(const std::string& connector) const {
        for (const auto& output : outputs)
            if (!connector.empty() && output.connector == connector) return &output;
        return nullptr;
    }
    const Output* output(const wl_output* object) const {
        for (const auto& output : outputs)
            if (output.output == object) return &output;
        return nullptr;
    }
};

struct LayerSurface::Objects {
    wl_surface* surface = nullptr;
    zwlr_layer_surface_v1* layerSurface = nullptr;
    std::string output;               // the one it was made for; another one needs a new surface
    std::vector<wl_output*> entered;  // where the compositor shows it
    int scale = 1;                    // of the frames drawn from now on
    bool configured = false;
    bool frameReady = false;  // a frame is drawn that the surface does not show yet
    std::list<Buffer> buffers;
    Buffer* current = nullptr;
    // Placements committed whose arrival the compositor has not confirmed yet.
    struct Confirmation {
        LayerSurface* surface;
        LayerPlacement placement;
        wl_callback* callback;
    };
    std::list<Confirmation> confirmations;
};

namespace {

int createSharedMemory(std::size_t size) {
    int fd = ::memfd_create("larkspire-layer", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0) return -1;
    int result;
    do {
        result = ::ftruncate(fd, static_cast<off_t>(size));
    } while (result < 0 && errno == EINTR);
    if (result < 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

const wl_buffer_listener bufferListener{
    .release = [](void* data, wl_buffer*) { static_cast<Buffer*>(data)->busy = false; },
};

Buffer* freeBuffer(std::list<Buffer>& buffers, wl_shm* shm, int width, int height, int scale) {
    // A buffer of another size is of no use any more once the compositor lets it go.
    buffers.remove_if([&](const Buffer& b) { return !b.busy && (b.width != width || b.height != height); });
    for (auto& buffer : buffers)
        if (!buffer.busy) return &buffer;
    auto& buffer = buffers.emplace_back();
    int stride = width * 4;
    buffer.size = static_cast<std::size_t>(stride) * static_cast<std::size_t>(height);
    buffer.width = width;
    buffer.height = height;
    buffer.scale = scale;
    OwnedFd fd(createSharedMemory(buffer.size));
    if (!fd) {
        buffers.pop_back();
        return nullptr;
    }
    buffer.data = ::mmap(nullptr, buffer.size, PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
    if (buffer.data == MAP_FAILED) {
        buffers.pop_back();
        return nullptr;
    }
    auto* pool = wl_shm_create_pool(shm, fd.get(), static_cast<std::int32_t>(buffer.size));
    buffer.buffer = wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_ARGB8888);
    wl_shm_pool_destroy(pool);
    wl_buffer_add_listener(buffer.buffer, &bufferListener, &buffer);
    return &buffer;
}

std::uint32_t layerValue(Layer layer) {
    switch (layer) {
    case Layer::background:
        return ZWLR_LAYER_SHELL_V1_LAYER_BACKGROUND;
    case Layer::top:
        return ZWLR_LAYER_SHELL_V1_LAYER_TOP;
    default:
        return ZWLR_LAYER_SHELL_V1_LAYER_BOTTOM;
    }
}

int millisecondsLeft(std::chrono::steady_clock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<decltype(left.count())>(0, left.count()));
}

}  // namespace

// Registry, seat and pointer: only what the surfaces need.

// An output's name and scale; a new scale is taken with the output's `done`, and every surface on it
// draws its next frame at that scale.
class OutputEvents {
  public:
    static void name(void* data, wl_output*, const char* name) {
        static_cast<Output*>(data)->connector = name;
    }
    static void scale(void* data, wl_output*, std::int32_t factor) {
        static_cast<Output*>(data)->pendingScale = std::clamp(factor, 1, maxScale);
    }
    static void done(void* data, wl_output*) {
        auto& output = *static_cast<Output*>(data);
        if (output.scale == output.pendingScale) return;
        output.scale = output.pendingScale;
        // A surface may go from the list while it draws (closed by its owner): a copy is walked.
        auto surfaces = output.globals->surfaces;
        for (auto* surface : surfaces)
            if (std::find(output.globals->surfaces.begin(), output.globals->surfaces.end(), surface) !=
                output.globals->surfaces.end())
                surface->followScale();
    }
    static void entered(void* data, wl_surface*, wl_output* output) {
        auto* surface = static_cast<LayerSurface*>(data);
        if (!surface->objects) return;
        surface->reopened = false;
        surface->objects->entered.push_back(output);
        surface->followScale();
    }
    static void left(void* data, wl_surface*, wl_output* output) {
        auto* surface = static_cast<LayerSurface*>(data);
        if (!surface->objects) return;
        std::erase(surface->objects->entered, output);
        surface->followScale();
    }
    // The output goes from the registry: surfaces on it have left it, whether or not they were told.
    static void removed(LayerShellConnection::Globals& g, wl_output* output) {
        auto surfaces = g.surfaces;
        for (auto* surface : surfaces) {
            if (std::find(g.surfaces.begin(), g.surfaces.end(), surface) == g.surfaces.end()) continue;
            if (std::erase(surface->objects->entered, output)) surface->followScale();
        }
    }
    static constexpr wl_output_listener outputListener{
        .geometry = [](void*, wl_output*, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                       std::int32_t, const char*, const char*, std::int32_t) {},
        .mode = [](void*, wl_output*, std::uint32_t, std::int32_t, std::int32_t, std::int32_t) {},
        .done = &done,
        .scale = &scale,
        .name = &name,
        .description = [](void*, wl_output*, const char*) {},
    };
    static constexpr wl_surface_listener surfaceListener{.enter = &entered, .leave = &left};
};

class PointerEvents {
  public:
    static LayerShellConnection::Globals& globals(void* data) {
        return *static_cast<LayerShellConnection::Globals*>(data);
    }
    static LayerSurface* owner(wl_surface* surface) {
        return surface ? static_cast<LayerSurface*>(wl_surface_get_user_data(surface)) : nullptr;
    }
    static void enter(void* data, wl_pointer*, std::uint32_t, wl_surface* surface, wl_fixed_t x,
                      wl_fixed_t y) {
        auto& g = globals(data);
        g.pointerFocus = owner(surface);
        g.pointerX = wl_fixed_to_double(x);
        g.pointerY = wl_fixed_to_double(y);
    }
    static void leave(void* data, wl_pointer*, std::uint32_t, wl_surface*) {
        globals(data).pointerFocus = nullptr;
        globals(data).dragging = false;
    }
    static void motion(void* data, wl_pointer*, std::uint32_t, wl_fixed_t x, wl_fixed_t y) {
        auto& g = globals(data);
        g.pointerX = wl_fixed_to_double(x);
        g.pointerY = wl_fixed_to_double(y);
        if (g.dragging && g.relativePointer) return;  // the relative motion tells
        if (auto* surface = g.pointerFocus; surface && surface->events.moved)
            surface->events.moved(surface->applied.left + g.pointerX, surface->applied.top + g.pointerY);
    }
    static void relativeMotion(void* data, zwp_relative_pointer_v1*, std::uint32_t, std::uint32_t,
                               wl_fixed_t dx, wl_fixed_t dy, wl_fixed_t, wl_fixed_t) {
        auto& g = globals(data);
        if (!g.dragging) return;
        g.dragX += wl_fixed_to_double(dx);
        g.dragY += wl_fixed_to_double(dy);
        if (auto* surface = g.pointerFocus; surface && surface->events.moved)
            surface->events.moved(g.dragX, g.dragY);
    }
    static constexpr zwp_relative_pointer_v1_listener relativeListener{.relative_motion = &relativeMotion};
    static void button(void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t button,
                       std::uint32_t state) {
        auto& g = globals(data);
        auto* surface = g.pointerFocus;
        if (!surface || button != BTN_LEFT) return;
        if (state == WL_POINTER_BUTTON_STATE_PRESSED) {
            g.dragging = true;
            g.dragX = surface->applied.left + g.pointerX;
            g.dragY = surface->applied.top + g.pointerY;
            if (surface->events.pressed) surface->events.pressed(g.dragX, g.dragY);
        } else {
            g.dragging = false;
            if (surface->events.released) surface->events.released();
        }
    }
    static void capabilities(void* data, wl_seat* seat, std::uint32_t capabilities) {
        auto& g = globals(data);
        bool hasPointer = capabilities & WL_SEAT_CAPABILITY_POINTER;
        if (hasPointer && !g.pointer) {
            g.pointer = wl_seat_get_pointer(seat);
            wl_pointer_add_listener(g.pointer, &pointerListener, data);
            if (g.relativePointers) {
                g.relativePointer =
                    zwp_relative_pointer_manager_v1_get_relative_pointer(g.relativePointers, g.pointer);
                zwp_relative_pointer_v1_add_listener(g.relativePointer, &relativeListener, data);
            }
        } else if (!hasPointer && g.pointer) {
            if (g.relativePointer) zwp_relative_pointer_v1_destroy(g.relativePointer);
            g.relativePointer = nullptr;
            g.dragging = false;
            wl_pointer_destroy(g.pointer);
            g.pointer = nullptr;
            g.pointerFocus = nullptr;
        }
    }
    static constexpr wl_pointer_listener pointerListener{
        .enter = &enter,
        .leave = &leave,
        .motion = &motion,
        .button = &button,
        .axis = [](void*, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {},
    };
    static constexpr wl_seat_listener seatListener{
        .capabilities = &capabilities,
        .name = [](void*, wl_seat*, const char*) {},
    };

    static void global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t version) {
        auto& g = globals(data);
        std::string_view offered = interface;
        if (offered == wl_compositor_interface.name && !g.compositor) {
            // Version 3 draws a surface at its output's scale.
            g.compositor = static_cast<wl_compositor*>(wl_registry_bind(
                registry, name, &wl_compositor_interface, std::min<std::uint32_t>(version, 3)));
        } else if (offered == wl_shm_interface.name && !g.shm) {
            g.shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
        } else if (offered == zwlr_layer_shell_v1_interface.name && !g.layerShell) {
            // Version 2 moves a surface between layers; nothing later is needed.
            g.layerShellVersion = std::min<std::uint32_t>(version, 2);
            g.layerShell = static_cast<zwlr_layer_shell_v1*>(
                wl_registry_bind(registry, name, &zwlr_layer_shell_v1_interface, g.layerShellVersion));
        } else if (offered == zwp_relative_pointer_manager_v1_interface.name && !g.relativePointers) {
            g.relativePointers = static_cast<zwp_relative_pointer_manager_v1*>(
                wl_registry_bind(registry, name, &zwp_relative_pointer_manager_v1_interface, 1));
        } else if (offered == wl_seat_interface.name && !g.seat) {
            g.seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
            wl_seat_add_listener(g.seat, &seatListener, data);
        } else if (offered == wl_output_interface.name) {
            auto& output = g.outputs.emplace_back();
            output.name = name;
            output.globals = &g;
            // The connector's name arrives from version 4 on; earlier ones go where the compositor says.
            // Before version 2 no scale is told, and one pixel is a logical one.
            output.output = static_cast<wl_output*>(
                wl_registry_bind(registry, name, &wl_output_interface, std::min<std::uint32_t>(version, 4)));
            wl_output_add_listener(output.output, &OutputEvents::outputListener, &output);
            ++g.outputsAdded;
            if (g.outputAdded) g.outputAdded();
        }
    }
    static void globalRemoved(void* data, wl_registry*, std::uint32_t name) {
        auto& g = globals(data);
        g.outputs.remove_if([name, &g](Output& output) {
            if (output.name != name) return false;
            OutputEvents::removed(g, output.output);
            if (wl_output_get_version(output.output) >= WL_OUTPUT_RELEASE_SINCE_VERSION)
                wl_output_release(output.output);
            else
                wl_output_destroy(output.output);
            return true;
        });
    }
    static constexpr wl_registry_listener registryListener{.global = &global,
                                                           .global_remove = &globalRemoved};
};

LayerShellConnection::LayerShellConnection() : globals(std::make_unique<Globals>()) {}

LayerShellConnection::~LayerShellConnection() {
    auto& g = *globals;
    if (g.relativePointer) zwp_relative_pointer_v1_destroy(g.relativePointer);
    if (g.relativePointers) zwp_relative_pointer_manager_v1_destroy(g.relativePointers);
    if (g.pointer) wl_pointer_destroy(g.pointer);
    if (g.seat) wl_seat_destroy(g.seat);
    for (auto& output : g.outputs) wl_output_destroy(output.output);
    if (g.layerShell) zwlr_layer_shell_v1_destroy(g.layerShell);
    if (g.shm) wl_shm_destroy(g.shm);
    if (g.compositor) wl_compositor_destroy(g.compositor);
    if (g.registry) wl_registry_destroy(g.registry);
    if (g.display) {
        wl_display_flush(g.display);
        wl_display_disconnect(g.display);
    }
}

LayerShellConnection::Opened LayerShellConnection::open() {
    std::shared_ptr<LayerShellConnection> connection(new LayerShellConnection());
    auto reason = connection->connect();
    if (!reason.empty()) return {nullptr, reason};
    return {connection, {}};
}

std::string LayerShellConnection::connect() {
    const char* socket = std::getenv("WAYLAND_DISPLAY");
    if (!socket || !*socket) return "keine Wayland-Sitzung (WAYLAND_DISPLAY ist nicht gesetzt)";
    auto& g = *globals;
    g.display = wl_display_connect(socket);
    if (!g.display)
        return std::string("keine Verbindung zum Wayland-Compositor „") + socket +
               "“: " + std::strerror(errno);
    g.registry = wl_display_get_registry(g.display);
    wl_registry_add_listener(g.registry, &PointerEvents::registryListener, globals.get());
    // Two round trips: the globals, then what the seat and the outputs tell about themselves. The
    // program is starting and must not hang on a compositor that never answers.
    auto deadline = std::chrono::steady_clock::now() + connectPatience;
    for (int round = 0; round < 2; ++round) {
        bool done = false;
        static constexpr wl_callback_listener answered{
            .done = [](void* data, wl_callback*, std::uint32_t) { *static_cast<bool*>(data) = true; }};
        auto* callback = wl_display_sync(g.display);
        wl_callback_add_listener(callback, &answered, &done);
        while (!done) {
            if (wl_display_dispatch_pending(g.display) < 0) break;
            if (done || wl_display_prepare_read(g.display) != 0) continue;
            wl_display_flush(g.display);
            pollfd readable{.fd = wl_display_get_fd(g.display), .events = POLLIN, .revents = 0};
            int ready = ::poll(&readable, 1, millisecondsLeft(deadline));
            if (ready <= 0) {
                wl_display_cancel_read(g.display);
                if (ready < 0 && errno == EINTR) continue;
                break;
            }
            if (wl_display_read_events(g.display) < 0) break;
        }
        wl_callback_destroy(callback);
        if (!done) return "der Wayland-Compositor antwortet nicht";
    }
    if (!g.layerShell)
        return "der Wayland-Compositor bietet keine Ebenen für die Oberfläche (zwlr_layer_shell_v1)";
    if (!g.compositor || !g.shm) return "der Wayland-Compositor bietet weder wl_compositor noch wl_shm";
    g.outputAdded = [this] {
        if (outputAdded) outputAdded();
    };
    return {};
}

int LayerShellConnection::fd() const {
    return wl_display_get_fd(globals->display);
}

std::uint32_t LayerShellConnection::version() const {
    return globals->layerShellVersion;
}

bool LayerShellConnection::dispatch() {
    if (lost) return false;
    auto* display = globals->display;
    while (wl_display_prepare_read(display) != 0) {
        if (wl_display_dispatch_pending(display) < 0) {
            markLost();
            return false;
        }
    }
    // The socket was readable; the read takes what is there and never waits.
    if (wl_display_read_events(display) < 0 || wl_display_dispatch_pending(display) < 0) {
        markLost();
        return false;
    }
    flush();
    return !lost;
}

bool LayerShellConnection::flush() {
    if (lost) return true;
    if (wl_display_flush(globals->display) >= 0) return true;
    if (errno == EAGAIN) {
        if (sendBlocked) sendBlocked();
        return false;
    }
    markLost();
    return true;
}

void LayerShellConnection::markLost() {
    lost = true;
    globals->pointerFocus = nullptr;
}

std::string LayerShellConnection::lostReason() const {
    auto* display = globals->display;
    int error = wl_display_get_error(display);
    if (error == EPROTO) {
        const wl_interface* interface = nullptr;
        std::uint32_t id = 0;
        auto code = wl_display_get_protocol_error(display, &interface, &id);
        return "Protokollfehler " + std::to_string(code) + " an " + (interface ? interface->name : "?");
    }
    if (error) return "Verbindung zum Wayland-Compositor verloren: " + std::string(std::strerror(error));
    return "Verbindung zum Wayland-Compositor verloren";
}

std::unique_ptr<LayerSurface> LayerShellConnection::createSurface(Layer layer, std::string nameSpace,
                                                                  LayerSurfaceEvents events) {
    return std::unique_ptr<LayerSurface>(
        new LayerSurface(shared_from_this(), layer, std::move(nameSpace), std::move(events)));
}

// The surface.

class SurfaceEvents {
  public:
    static void configure(void* data, zwlr_layer_surface_v1*, std::uint32_t serial, std::uint32_t,
                          std::uint32_t) {
        static_cast<LayerSurface*>(data)->configured(serial);
    }
    static void closed(void* data, zwlr_layer_surface_v1*) {
        static_cast<LayerSurface*>(data)->closedByCompositor();
    }
    static void confirmed(void* data, wl_callback* callback, std::uint32_t) {
        auto* surface = static_cast<LayerSurface*>(data);
        auto& waiting = surface->objects->confirmations;
        for (auto it = waiting.begin(); it != waiting.end(); ++it) {
            if (it->callback != callback) continue;
            surface->applied = it->placement;
            wl_callback_destroy(callback);
            waiting.erase(it);
            return;
        }
    }
    static constexpr zwlr_layer_surface_v1_listener layerSurfaceListener{.configure = &configure,
                                                                         .closed = &closed};
    static constexpr wl_callback_listener confirmationListener{.done = &confirmed};
};

LayerSurface::LayerSurface(std::shared_ptr<LayerShellConnection> connection, Layer layer,
                           std::string nameSpace, LayerSurfaceEvents events)
    : connection(std::move(connection)), layer(layer), nameSpace(std::move(nameSpace)),
      events(std::move(events)) {}

LayerSurface::~LayerSurface() {
    destroyObjects();
    connection->flush();
}

void LayerSurface::destroyObjects() {
    if (!objects) return;
    auto& g = *connection->globals;
    if (g.pointerFocus == this) g.pointerFocus = nullptr;
    g.surfaces.remove(this);
    for (auto& waiting : objects->confirmations) wl_callback_destroy(waiting.callback);
    if (objects->layerSurface) zwlr_layer_surface_v1_destroy(objects->layerSurface);
    if (objects->surface) wl_surface_destroy(objects->surface);
    objects.reset();  // the buffers go with it; the compositor keeps what it shows until the unmap
}

void LayerSurface::create() {
    auto& g = *connection->globals;
    objects = std::make_unique<Objects>();
    objects->output = wanted.output;
    objects->surface = wl_compositor_create_surface(g.compositor);
    wl_surface_set_user_data(objects->surface, this);
    wl_surface_add_listener(objects->surface, &OutputEvents::surfaceListener, this);
    g.surfaces.push_back(this);
    // Until the compositor says where it shows, the output asked for tells the scale of the first frame.
    objects->scale = outputScale();
    const auto* output = g.output(wanted.output);
    objects->layerSurface = zwlr_layer_shell_v1_get_layer_surface(g.layerShell, objects->surface,
                                                                  output ? output->output : nullptr,
                                                                  layerValue(layer), nameSpace.c_str());
    zwlr_layer_surface_v1_add_listener(objects->layerSurface, &SurfaceEvents::layerSurfaceListener, this);
    zwlr_layer_surface_v1_set_anchor(objects->layerSurface,
                                     ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT);
    // Placed from the output's corner itself, not pushed aside by panels that reserve an edge.
    zwlr_layer_surface_v1_set_exclusive_zone(objects->layerSurface, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(objects->layerSurface,
                                                     ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
    applied = wanted;
    applyState();
    wl_surface_commit(objects->surface);  // without a buffer: asks for the first configure
    connection->flush();
}

// Size, margins and input region, taken with the next commit.
void LayerSurface::applyState() {
    auto& g = *connection->globals;
    zwlr_layer_surface_v1_set_size(objects->layerSurface, static_cast<std::uint32_t>(wanted.width),
                                   static_cast<std::uint32_t>(wanted.height));
    zwlr_layer_surface_v1_set_margin(objects->layerSurface, wanted.top, 0, 0, wanted.left);
    if (takesPointer) {
        wl_surface_set_input_region(objects->surface, nullptr);  // the whole surface, whatever its size
    } else {
        auto* empty = wl_compositor_create_region(g.compositor);
        wl_surface_set_input_region(objects->surface, empty);
        wl_region_destroy(empty);
    }
}

void LayerSurface::setLayer(Layer value) {
    if (layer == value) return;
    layer = value;
    if (!objects || connection->isLost()) return;
    if (connection->version() >= 2) {
        zwlr_layer_surface_v1_set_layer(objects->layerSurface, layerValue(layer));
        wl_surface_commit(objects->surface);
        connection->flush();
    } else {
        // Before version 2 the layer is fixed when the surface is made.
        destroyObjects();
        if (shown) show();
    }
}

void LayerSurface::setPlacement(const LayerPlacement& placement) {
    LayerPlacement bounded = placement;
    bounded.width = std::clamp(placement.width, 1, maxSide);
    bounded.height = std::clamp(placement.height, 1, maxSide);
    if (bounded == wanted) return;
    wanted = bounded;
    if (!objects || connection->isLost()) return;
    if (objects->output != wanted.output) {
        // The output is chosen when the surface is made.
        destroyObjects();
        if (shown) show();
        return;
    }
    applyState();
    if (objects->configured) {
        wl_surface_commit(objects->surface);
        // Pointer positions count from where the compositor has the surface: until it confirms the
        // move, events still come from the old place.
        auto* callback = wl_display_sync(connection->globals->display);
        objects->confirmations.push_back({this, wanted, callback});
        wl_callback_add_listener(callback, &SurfaceEvents::confirmationListener, this);
    }
    connection->flush();
}

void LayerSurface::setTakesPointer(bool takes) {
    if (takesPointer == takes) return;
    takesPointer = takes;
    if (!objects || connection->isLost()) return;
    applyState();
    if (objects->configured) wl_surface_commit(objects->surface);
    connection->flush();
}

bool LayerSurface::mayCreate() const {
    return !waitingSince || *waitingSince != connection->globals->outputsAdded;
}

void LayerSurface::draw(const std::function<void(const Canvas&)>& paint) {
    if (!shown || connection->isLost()) return;
    if (!objects) {
        if (!mayCreate()) return;
        create();
    }
    objects->current = nullptr;  // the list of buffers may change
    // The largest scale that keeps the frame within bounds; a huge surface is drawn coarser, not refused.
    int scale =
        std::clamp(std::min(objects->scale, maxSide / std::max(wanted.width, wanted.height)), 1, maxScale);
    auto* buffer = freeBuffer(objects->buffers, connection->globals->shm, wanted.width * scale,
                              wanted.height * scale, scale);
    if (!buffer) return;
    std::memset(buffer->data, 0, buffer->size);
    paint(Canvas{static_cast<unsigned char*>(buffer->data), buffer->width, buffer->height, buffer->width * 4,
                 scale});
    objects->current = buffer;
    objects->frameReady = true;
    if (shown) commitFrame();
}

void LayerSurface::commitFrame() {
    if (!objects || !objects->configured || !objects->frameReady || !objects->current) return;
    auto* buffer = objects->current;
    if (wl_surface_get_version(objects->surface) >= WL_SURFACE_SET_BUFFER_SCALE_SINCE_VERSION)
        wl_surface_set_buffer_scale(objects->surface, buffer->scale);
    wl_surface_attach(objects->surface, buffer->buffer, 0, 0);
    wl_surface_damage(objects->surface, 0, 0, buffer->width / buffer->scale, buffer->height / buffer->scale);
    wl_surface_commit(objects->surface);
    buffer->busy = true;
    objects->frameReady = false;
    connection->flush();
}

bool LayerSurface::moveTo(std::shared_ptr<LayerShellConnection> next) {
    if (next == connection) return false;
    // The old objects are only forgotten: the compositor that made them is gone.
    destroyObjects();
    connection = std::move(next);
    applied = wanted;
    reopened = false;
    waitingSince.reset();
    return true;
}

void LayerSurface::show() {
    shown = true;
    if (connection->isLost()) return;
    if (!objects && mayCreate()) create();
}

void LayerSurface::hide() {
    if (!shown) return;
    shown = false;
    if (!objects || connection->isLost()) return;
    // Unmapped by letting the role go; a frame is drawn anew when it is shown.
    destroyObjects();
    connection->flush();
}

void LayerSurface::configured(std::uint32_t serial) {
    zwlr_layer_surface_v1_ack_configure(objects->layerSurface, serial);
    objects->configured = true;
    // The size is ours and stays; the answer goes with the next frame. Committing here would make
    // sway arrange its layers again and configure every surface anew, over and over.
    if (objects->frameReady) commitFrame();
    connection->flush();
}

// The largest scale of the outputs the surface shows on; before it shows, that of the output asked for.
int LayerSurface::outputScale() const {
    auto& g = *connection->globals;
    if (wl_compositor_get_version(g.compositor) < WL_SURFACE_SET_BUFFER_SCALE_SINCE_VERSION) return 1;
    int scale = 0;
    if (objects)
        for (auto* entered : objects->entered)
            if (const auto* output = g.output(entered)) scale = std::max(scale, output->scale);
    if (scale == 0) {
        const auto* output = g.output(wanted.output);
        scale = output ? output->scale : 1;
    }
    return scale;
}

void LayerSurface::followScale() {
    if (!objects) return;
    int scale = outputScale();
    if (scale == objects->scale) return;
    objects->scale = scale;
    if (shown && events.rescaled) events.rescaled();
}

void LayerSurface::closedByCompositor() {
    // The compositor will not show it again (its output went away, say); a new one is made at the next
    // show or frame.
    bool again = reopened;
    destroyObjects();
    reopened = !again;
    if (again)
        waitingSince = connection->globals->outputsAdded;
    else
        waitingSince.reset();
    if (events.closed) events.closed();
}

}  // namespace larkspire::wayland
