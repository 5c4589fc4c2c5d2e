#include "platform/wayland/DataControlConnection.h"

#include "ext-data-control-v1-client-protocol.h"
#include "platform/wayland/PipeTransfers.h"
#include "platform/wayland/SocketReturn.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <poll.h>
#include <pthread.h>
#include <string_view>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>
#include <wayland-client.h>

namespace larkspire::wayland {

namespace {

// A list of 100 000 files is a few megabytes; anything far beyond is no file manager's list.
constexpr std::size_t readLimit = 32 * 1024 * 1024;
// A file manager hands its list over at once; an owner silent this long has nothing to give.
constexpr auto readPatience = std::chrono::seconds(1);
// A program that asked for our files and stops taking them keeps its pipe no longer than this.
constexpr auto writePatience = std::chrono::seconds(5);
// The compositor answers a round trip at once; one that does not by then counts as absent.
constexpr auto connectPatience = std::chrono::seconds(2);
// No program offers more types than this; more are ignored rather than stored.
constexpr std::size_t maxOfferedTypes = 256;

// The types a source of ours offers, with the bytes each one sends.
using Formats = std::vector<std::pair<std::string, std::shared_ptr<const std::string>>>;

// What the data-control objects of either protocol tell the connection.
class SeatClipboardEvents {
  public:
    virtual void selectionChanged(const std::vector<std::string>* offeredTypes) = 0;  // nullptr: empty
    // Bytes null for a type the source never offered; the pipe then just closes.
    virtual void sendRequested(std::shared_ptr<const std::string> bytes, OwnedFd pipe) = 0;
    virtual void finished() = 0;

  protected:
    ~SeatClipboardEvents() = default;
};

// The clipboard of one seat through either protocol.
class SeatClipboard {
  public:
    virtual ~SeatClipboard() = default;
    virtual void receive(const char* type, int fd) = 0;  // from the current selection
    virtual void setSelection(const Formats& formats) = 0;
};

struct ExtDataControl {
    static constexpr const char* global = "ext_data_control_manager_v1";
    static constexpr const char* name = "ext-data-control-v1";
    static const wl_interface* interface() { return &ext_data_control_manager_v1_interface; }
    using Manager = ext_data_control_manager_v1;
    using Device = ext_data_control_device_v1;
    using Source = ext_data_control_source_v1;
    using Offer = ext_data_control_offer_v1;
    using DeviceListener = ext_data_control_device_v1_listener;
    using SourceListener = ext_data_control_source_v1_listener;
    using OfferListener = ext_data_control_offer_v1_listener;
    static Device* device(Manager* manager, wl_seat* seat) {
        return ext_data_control_manager_v1_get_data_device(manager, seat);
    }
    static Source* source(Manager* manager) {
        return ext_data_control_manager_v1_create_data_source(manager);
    }
    static void listen(Device* device, const DeviceListener* listener, void* data) {
        ext_data_control_device_v1_add_listener(device, listener, data);
    }
    static void listen(Source* source, const SourceListener* listener, void* data) {
        ext_data_control_source_v1_add_listener(source, listener, data);
    }
    static void listen(Offer* offer, const OfferListener* listener, void* data) {
        ext_data_control_offer_v1_add_listener(offer, listener, data);
    }
    static void offer(Source* source, const char* type) { ext_data_control_source_v1_offer(source, type); }
    static void setSelection(Device* device, Source* source) {
        ext_data_control_device_v1_set_selection(device, source);
    }
    static void receive(Offer* offer, const char* type, int fd) {
        ext_data_control_offer_v1_receive(offer, type, fd);
    }
    static void destroy(Manager* manager) { ext_data_control_manager_v1_destroy(manager); }
    static void destroy(Device* device) { ext_data_control_device_v1_destroy(device); }
    static void destroy(Source* source) { ext_data_control_source_v1_destroy(source); }
    static void destroy(Offer* offer) { ext_data_control_offer_v1_destroy(offer); }
};

struct WlrDataControl {
    static constexpr const char* global = "zwlr_data_control_manager_v1";
    static constexpr const char* name = "wlr-data-control-unstable-v1";
    static const wl_interface* interface() { return &zwlr_data_control_manager_v1_interface; }
    using Manager = zwlr_data_control_manager_v1;
    using Device = zwlr_data_control_device_v1;
    using Source = zwlr_data_control_source_v1;
    using Offer = zwlr_data_control_offer_v1;
    using DeviceListener = zwlr_data_control_device_v1_listener;
    using SourceListener = zwlr_data_control_source_v1_listener;
    using OfferListener = zwlr_data_control_offer_v1_listener;
    static Device* device(Manager* manager, wl_seat* seat) {
        return zwlr_data_control_manager_v1_get_data_device(manager, seat);
    }
    static Source* source(Manager* manager) {
        return zwlr_data_control_manager_v1_create_data_source(manager);
    }
    static void listen(Device* device, const DeviceListener* listener, void* data) {
        zwlr_data_control_device_v1_add_listener(device, listener, data);
    }
    static void listen(Source* source, const SourceListener* listener, void* data) {
        zwlr_data_control_source_v1_add_listener(source, listener, data);
    }
    static void listen(Offer* offer, const OfferListener* listener, void* data) {
        zwlr_data_control_offer_v1_add_listener(offer, listener, data);
    }
    static void offer(Source* source, const char* type) { zwlr_data_control_source_v1_offer(source, type); }
    static void setSelection(Device* device, Source* source) {
        zwlr_data_control_device_v1_set_selection(device, source);
    }
    static void receive(Offer* offer, const char* type, int fd) {
        zwlr_data_control_offer_v1_receive(offer, type, fd);
    }
    static void destroy(Manager* manager) { zwlr_data_control_manager_v1_destroy(manager); }
    static void destroy(Device* device) { zwlr_data_control_device_v1_destroy(device); }
    static void destroy(Source* source) { zwlr_data_control_source_v1_destroy(source); }
    static void destroy(Offer* offer) { zwlr_data_control_offer_v1_destroy(offer); }
};

// Both protocols have the same objects and events; only their names differ. Version 1 of either is
// enough: the clipboard is all that is read, never the primary selection.
template <class Protocol> class SeatClipboardOf final : public SeatClipboard {
    using Device = typename Protocol::Device;
    using Source = typename Protocol::Source;
    using Offer = typename Protocol::Offer;

  public:
    SeatClipboardOf(typename Protocol::Manager* manager, wl_seat* seat, SeatClipboardEvents& events)
        : manager(manager), device(Protocol::device(manager, seat)), events(events) {
        Protocol::listen(device, &deviceListener, this);
    }
    ~SeatClipboardOf() override {
        for (auto& [offer, types] : offers) Protocol::destroy(offer);
        for (auto& [source, formats] : sources) Protocol::destroy(source);
        Protocol::destroy(device);
        Protocol::destroy(manager);
    }
    SeatClipboardOf(const SeatClipboardOf&) = delete;
    SeatClipboardOf& operator=(const SeatClipboardOf&) = delete;

    void receive(const char* type, int fd) override {
        if (selection) Protocol::receive(selection, type, fd);
    }

    void setSelection(const Formats& formats) override {
        auto* source = Protocol::source(manager);
        Protocol::listen(source, &sourceListener, this);
        for (const auto& [type, bytes] : formats) Protocol::offer(source, type.c_str());
        sources.emplace(source, formats);
        Protocol::setSelection(device, source);
    }

  private:
    static SeatClipboardOf& self(void* data) { return *static_cast<SeatClipboardOf*>(data); }

    static void dataOffer(void* data, Device*, Offer* offer) {
        Protocol::listen(offer, &offerListener, data);
        self(data).offers.emplace(offer, std::vector<std::string>{});
    }
    static void typeOffered(void* data, Offer* offer, const char* type) {
        auto& offers = self(data).offers;
        auto found = offers.find(offer);
        if (found != offers.end() && found->second.size() < maxOfferedTypes) found->second.emplace_back(type);
    }
    static void selectionChanged(void* data, Device*, Offer* offer) {
        auto& clipboard = self(data);
        if (clipboard.selection && clipboard.selection != offer) clipboard.forget(clipboard.selection);
        clipboard.selection = offer;
        auto found = offer ? clipboard.offers.find(offer) : clipboard.offers.end();
        clipboard.events.selectionChanged(found != clipboard.offers.end() ? &found->second : nullptr);
    }
    static void primarySelectionChanged(void* data, Device*, Offer* offer) {
        // Only the clipboard counts; an offer of the primary selection is let go at once.
        if (offer && offer != self(data).selection) self(data).forget(offer);
    }
    static void finished(void* data, Device*) { self(data).events.finished(); }

    static void sendRequested(void* data, Source* source, const char* type, std::int32_t fd) {
        OwnedFd pipe(fd);
        auto& sources = self(data).sources;
        std::shared_ptr<const std::string> bytes;
        if (auto found = sources.find(source); found != sources.end()) {
            for (const auto& [offered, content] : found->second)
                if (offered == type) bytes = content;
        }
        self(data).events.sendRequested(std::move(bytes), std::move(pipe));
    }
    static void cancelled(void* data, Source* source) {
        self(data).sources.erase(source);
        Protocol::destroy(source);
    }

    void forget(Offer* offer) {
        offers.erase(offer);
        Protocol::destroy(offer);
    }

    static constexpr typename Protocol::DeviceListener deviceListener{
        .data_offer = &dataOffer,
        .selection = &selectionChanged,
        .finished = &finished,
        .primary_selection = &primarySelectionChanged,
    };
    static constexpr typename Protocol::SourceListener sourceListener{
        .send = &sendRequested,
        .cancelled = &cancelled,
    };
    static constexpr typename Protocol::OfferListener offerListener{.offer = &typeOffered};

    typename Protocol::Manager* manager;
    Device* device;
    SeatClipboardEvents& events;
    Offer* selection = nullptr;
    std::map<Offer*, std::vector<std::string>> offers;  // introduced, with the types they offer
    std::map<Source*, Formats> sources;                 // ours, until the compositor cancels them
};

std::string unreadReason(IncomingPipe::State state) {
    switch (state) {
    case IncomingPipe::State::stalled:
        return "keine Daten nach " + std::to_string(readPatience.count()) + " s";
    case IncomingPipe::State::tooLarge:
        return "mehr als " + std::to_string(readLimit / (1024 * 1024)) + " MiB";
    default:
        return "Lesefehler";
    }
}

int millisecondsUntil(TransferClock::time_point deadline, TransferClock::time_point now) {
    if (deadline <= now) return 0;
    auto wait = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    return static_cast<int>(std::min<decltype(wait)>(wait, 60'000));
}

}  // namespace

class DataControlConnection::Session final : public SeatClipboardEvents {
  public:
    explicit Session(Handlers handlers) : handlers(std::move(handlers)) {}
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    std::string connect();  // the reason it cannot, or nothing
    bool write(Formats formats);

    std::string protocol;  // the first connection's

  private:
    struct Reading {
        const ClipboardFileFormat* format;
        IncomingPipe pipe;
    };

    std::string attach();  // the reason it cannot, or nothing; `detach()` clears what it left
    void detach();
    bool roundtrip();
    template <class Protocol> void useProtocol(std::uint32_t name);
    void start();
    void run();
    std::optional<std::string> follow();  // why the compositor is gone, or nothing when stopping
    bool awaitReturn();
    bool takeCommands();  // false when stopping
    std::string lossReason() const;
    void finishSelectionIfRead();

    void selectionChanged(const std::vector<std::string>* offeredTypes) override;
    void sendRequested(std::shared_ptr<const std::string> bytes, OwnedFd pipe) override;
    void finished() override { deviceFinished = true; }

    static void global(void* data, wl_registry*, std::uint32_t name, const char* interface, std::uint32_t);
    static void globalRemoved(void*, wl_registry*, std::uint32_t) {}
    static constexpr wl_registry_listener registryListener{.global = &global,
                                                           .global_remove = &globalRemoved};

    Handlers handlers;
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_seat* seat = nullptr;
    std::uint32_t seatName = 0, extName = 0, wlrName = 0;
    bool started = false;
    std::unique_ptr<SeatClipboard> clipboard;
    std::string attachedProtocol;

    // The connection's thread only.
    std::vector<Reading> reading;  // the formats of the newest selection still arriving
    bool selectionPending = false;
    std::vector<OutgoingPipe> writing;
    bool deviceFinished = false;

    // Shared with the main thread.
    OwnedFd wake;
    std::mutex commandsLock;
    std::vector<Formats> writes;
    bool stopping = false;
    std::atomic<bool> gone{false};
    std::thread thread;
};

void DataControlConnection::Session::global(void* data, wl_registry*, std::uint32_t name,
                                            const char* interface, std::uint32_t) {
    auto& session = *static_cast<Session*>(data);
    if (session.started) return;  // a seat or manager that comes later is not needed
    std::string_view offered = interface;
    // The first seat is the one a single-seat desktop has.
    if (offered == wl_seat_interface.name && !session.seatName) session.seatName = name;
    if (offered == ExtDataControl::global) session.extName = name;
    if (offered == WlrDataControl::global) session.wlrName = name;
}

std::string DataControlConnection::Session::connect() {
    auto reason = attach();
    if (!reason.empty()) return reason;
    protocol = attachedProtocol;
    wake = OwnedFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake) return std::string("kein eventfd: ") + std::strerror(errno);
    start();
    return {};
}

std::string DataControlConnection::Session::attach() {
    const char* socket = std::getenv("WAYLAND_DISPLAY");
    if (!socket || !*socket) return "keine Wayland-Sitzung (WAYLAND_DISPLAY ist nicht gesetzt)";
    display = wl_display_connect(socket);
    if (!display)
        return std::string("keine Verbindung zum Wayland-Compositor „") + socket +
               "“: " + std::strerror(errno);
    registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, this);
    if (!roundtrip()) return "der Wayland-Compositor antwortet nicht";
    if (!extName && !wlrName)
        return "der Wayland-Compositor bietet keine Datensteuerung (ext-data-control-v1, "
               "wlr-data-control-unstable-v1)";
    if (!seatName) return "der Wayland-Compositor nennt keinen Sitz (wl_seat)";
    seat = static_cast<wl_seat*>(wl_registry_bind(registry, seatName, &wl_seat_interface, 1));
    if (extName)
        useProtocol<ExtDataControl>(extName);
    else
        useProtocol<WlrDataControl>(wlrName);
    started = true;
    return {};
}

void DataControlConnection::Session::detach() {
    reading.clear();
    selectionPending = false;
    writing.clear();
    deviceFinished = false;
    clipboard.reset();
    if (seat) wl_seat_destroy(seat);
    if (registry) wl_registry_destroy(registry);
    if (display) {
        wl_display_flush(display);
        wl_display_disconnect(display);
    }
    display = nullptr;
    registry = nullptr;
    seat = nullptr;
    seatName = extName = wlrName = 0;
    started = false;
}

template <class Protocol> void DataControlConnection::Session::useProtocol(std::uint32_t name) {
    auto* manager =
        static_cast<typename Protocol::Manager*>(wl_registry_bind(registry, name, Protocol::interface(), 1));
    clipboard = std::make_unique<SeatClipboardOf<Protocol>>(manager, seat, *this);
    attachedProtocol = Protocol::name;
}

// Waits for the compositor to answer everything asked so far, within connectPatience; the
// program is starting and must not hang on a compositor that never answers.
bool DataControlConnection::Session::roundtrip() {
    bool done = false;
    static constexpr wl_callback_listener answered{
        .done = [](void* data, wl_callback*, std::uint32_t) { *static_cast<bool*>(data) = true; }};
    auto* callback = wl_display_sync(display);
    wl_callback_add_listener(callback, &answered, &done);
    auto deadline = TransferClock::now() + connectPatience;
    bool failed = false;
    while (!done && !failed) {
        if (wl_display_dispatch_pending(display) < 0) {
            failed = true;
            break;
        }
        if (done || wl_display_prepare_read(display) != 0) continue;
        wl_display_flush(display);
        pollfd readable{.fd = wl_display_get_fd(display), .events = POLLIN, .revents = 0};
        int ready = ::poll(&readable, 1, millisecondsUntil(deadline, TransferClock::now()));
        if (ready <= 0) {
            wl_display_cancel_read(display);
            if (ready < 0 && errno == EINTR) continue;
            failed = true;
            break;
        }
        if (wl_display_read_events(display) < 0) failed = true;
    }
    wl_callback_destroy(callback);
    return done;
}

void DataControlConnection::Session::start() {
    // Signals stay with the main thread; a SIGPIPE from a reader that left stays pending here.
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    thread = std::thread([this] { run(); });
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

DataControlConnection::Session::~Session() {
    if (thread.joinable()) {
        {
            std::lock_guard lock(commandsLock);
            stopping = true;
        }
        std::uint64_t one = 1;
        [[maybe_unused]] auto written = ::write(wake.get(), &one, sizeof one);
        thread.join();
    }
    detach();
}

bool DataControlConnection::Session::write(Formats formats) {
    if (gone) return false;
    {
        std::lock_guard lock(commandsLock);
        writes.push_back(std::move(formats));
    }
    std::uint64_t one = 1;
    return ::write(wake.get(), &one, sizeof one) == sizeof one;
}

// Follows the compositor; once it is gone, waits for one on the same socket and follows that.
void DataControlConnection::Session::run() {
    for (;;) {
        auto reason = follow();
        if (!reason) return;
        gone = true;
        detach();
        if (handlers.lost) handlers.lost(std::move(*reason));
        if (!awaitReturn()) return;
        gone = false;
        if (handlers.restored) handlers.restored(attachedProtocol);
    }
}

std::optional<std::string> DataControlConnection::Session::follow() {
    for (;;) {
        while (wl_display_prepare_read(display) != 0) {
            if (wl_display_dispatch_pending(display) < 0) return lossReason();
        }
        bool sendBlocked = false;
        if (wl_display_flush(display) < 0) {
            if (errno != EAGAIN) {
                wl_display_cancel_read(display);
                return lossReason();
            }
            sendBlocked = true;
        }

        auto now = TransferClock::now();
        std::vector<pollfd> watched;
        watched.push_back(
            {wl_display_get_fd(display), static_cast<short>(POLLIN | (sendBlocked ? POLLOUT : 0)), 0});
        watched.push_back({wake.get(), POLLIN, 0});
        int timeout = -1;  // idle: nothing but the descriptors wakes this thread
        auto nearer = [&](TransferClock::time_point deadline) {
            int wait = millisecondsUntil(deadline, now);
            timeout = timeout < 0 ? wait : std::min(timeout, wait);
        };
        for (const auto& entry : reading) {
            watched.push_back({entry.pipe.fd(), POLLIN, 0});  // a finished one has no descriptor left
            if (entry.pipe.state() == IncomingPipe::State::receiving) nearer(entry.pipe.deadline());
        }
        for (const auto& out : writing) {
            watched.push_back({out.fd(), POLLOUT, 0});
            nearer(out.deadline());
        }

        int ready = ::poll(watched.data(), watched.size(), timeout);
        if (ready < 0) {
            wl_display_cancel_read(display);
            if (errno == EINTR) continue;
            return std::string("poll: ") + std::strerror(errno);
        }

        now = TransferClock::now();
        std::size_t index = 2;
        for (auto& entry : reading) {
            if (watched[index++].revents) entry.pipe.readAvailable(now);
            entry.pipe.checkDeadline(now);
        }
        for (auto& out : writing) {
            if (watched[index++].revents) out.writeAvailable(now);
            out.checkDeadline(now);
        }
        std::erase_if(writing,
                      [](const OutgoingPipe& out) { return out.state() != OutgoingPipe::State::sending; });
        finishSelectionIfRead();

        if (watched[0].revents & (POLLIN | POLLERR | POLLHUP)) {
            if (wl_display_read_events(display) < 0) return lossReason();
        } else {
            wl_display_cancel_read(display);
        }
        if (wl_display_dispatch_pending(display) < 0) return lossReason();
        if (deviceFinished) return "der Compositor hat die Datensteuerung beendet";
        if ((watched[1].revents & POLLIN) && !takeCommands()) return std::nullopt;
    }
}

bool DataControlConnection::Session::takeCommands() {
    std::uint64_t count;
    [[maybe_unused]] auto drained = ::read(wake.get(), &count, sizeof count);
    std::vector<Formats> taken;
    {
        std::lock_guard lock(commandsLock);
        if (stopping) return false;
        taken.swap(writes);
    }
    // Each write replaces the one before, so only the last is worth offering; with no compositor,
    // nothing is.
    if (!taken.empty() && clipboard) clipboard->setSelection(taken.back());
    return true;
}

// Sleeps on the socket's folder until a compositor opens the socket again and offers data control;
// false when stopping first.
bool DataControlConnection::Session::awaitReturn() {
    std::string problem;
    auto returning = SocketReturn::watch(problem);
    if (!returning) {
        if (handlers.problem) handlers.problem("Wayland-Datensteuerung kommt nicht wieder: " + problem);
        return false;
    }
    bool due = returning->socketAppeared();
    int retry = -1;
    for (;;) {
        if (due) {
            if (attach().empty()) return true;
            detach();
            retry = returning->nextTryAfterFailure();
            due = false;
        }
        pollfd watched[2] = {{wake.get(), POLLIN, 0}, {returning->fd(), POLLIN, 0}};
        int ready = ::poll(watched, 2, retry);
        if (ready < 0 && errno != EINTR) {
            if (handlers.problem)
                handlers.problem(std::string("Wayland-Datensteuerung: poll: ") + std::strerror(errno));
            return false;
        }
        if (ready == 0) due = true;  // the next try
        if (ready <= 0) continue;
        if ((watched[0].revents & POLLIN) && !takeCommands()) return false;
        if (watched[1].revents & POLLIN) due = returning->socketAppeared();
    }
}

std::string DataControlConnection::Session::lossReason() const {
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

void DataControlConnection::Session::selectionChanged(const std::vector<std::string>* offeredTypes) {
    reading.clear();  // a newer selection replaces the one still arriving
    auto now = TransferClock::now();
    for (const auto& format : clipboardFileFormats) {
        if (!offeredTypes ||
            std::find(offeredTypes->begin(), offeredTypes->end(), format.type) == offeredTypes->end())
            continue;
        auto pipe = openReceivingPipe();
        if (pipe.writeEnd) {
            clipboard->receive(format.type, pipe.writeEnd.get());
            // The request carries a copy of the descriptor; once the owner closes its copy, the pipe ends.
            pipe.writeEnd.reset();
        }
        reading.push_back({&format, IncomingPipe(std::move(pipe.readEnd), readLimit, readPatience, now)});
    }
    selectionPending = true;
    finishSelectionIfRead();
}

void DataControlConnection::Session::finishSelectionIfRead() {
    if (!selectionPending) return;
    for (const auto& entry : reading)
        if (entry.pipe.state() == IncomingPipe::State::receiving) return;
    FileClipboardContent content;
    std::string unread;
    for (auto& entry : reading) {
        if (entry.pipe.state() == IncomingPipe::State::complete) {
            content.*(entry.format->bytes) = entry.pipe.take();
            continue;
        }
        if (!unread.empty()) unread += ", ";
        unread += std::string(entry.format->type) + " (" + unreadReason(entry.pipe.state()) + ")";
    }
    reading.clear();
    selectionPending = false;
    if (!unread.empty() && handlers.problem) handlers.problem("Zwischenablage nicht gelesen: " + unread);
    if (handlers.selectionRead) handlers.selectionRead(parseClipboardFiles(content));
}

void DataControlConnection::Session::sendRequested(std::shared_ptr<const std::string> bytes, OwnedFd pipe) {
    if (!bytes) return;  // closing the pipe tells the reader there is nothing
    writing.emplace_back(std::move(pipe), std::move(bytes), writePatience, TransferClock::now());
}

DataControlConnection::Opened DataControlConnection::open(Handlers handlers) {
    auto session = std::make_unique<Session>(std::move(handlers));
    auto reason = session->connect();
    if (!reason.empty()) return {nullptr, reason};
    return {std::unique_ptr<DataControlConnection>(new DataControlConnection(std::move(session))), {}};
}

DataControlConnection::DataControlConnection(std::unique_ptr<Session> session)
    : session(std::move(session)) {}

DataControlConnection::~DataControlConnection() = default;

const std::string& DataControlConnection::protocolName() const {
    return session->protocol;
}

bool DataControlConnection::writeFiles(const FileClipboardContent& content) {
    Formats formats;
    for (const auto& format : clipboardFileFormats) {
        const auto& bytes = content.*(format.bytes);
        if (bytes) formats.emplace_back(format.type, std::make_shared<const std::string>(*bytes));
    }
    return session->write(std::move(formats));
}

}  // namespace larkspire::wayland
