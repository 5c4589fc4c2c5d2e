#include "platform/qt/x11/QtClipboard.h"

#include "platform/linux/clipboard/ClipboardFiles.h"
#include "platform/types/Signal.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>

#ifdef LARKSPIRE_HAVE_XCB
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <xcb/xcb.h>
#endif

namespace larkspire::qt {

namespace {

// What a read of one change gives: the files, nothing when the owner failed, or stale when the
// clipboard changed again meanwhile.
struct ReadOutcome {
    std::int64_t change = 0;
    bool stale = false;
    std::optional<ClipboardFiles> files;
};

// Through Qt on the main thread, where no X11 connection of our own is possible (Wayland, offscreen).
std::optional<ClipboardFiles> readThroughQt() {
    auto* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard ? clipboard->mimeData(QClipboard::Clipboard) : nullptr;
    if (!data) return ClipboardFiles{};
    // Every question is a round trip to the owner: the list of types once, then only types on it.
    auto offered = data->formats();
    std::optional<std::string> answer;
    return readClipboardFiles([&](const char* type) -> const std::optional<std::string>& {
        auto name = QString::fromLatin1(type);
        answer.reset();
        if (offered.contains(name)) answer = data->data(name).toStdString();
        return answer;
    });
}

#ifdef LARKSPIRE_HAVE_XCB

template <class T> using Reply = std::unique_ptr<T, decltype(&std::free)>;
template <class T> Reply<T> owned(T* reply) {
    return Reply<T>(reply, &std::free);
}

using SteadyClock = std::chrono::steady_clock;

// No file list comes near this; a bigger answer is a hostile owner and reads as a failure.
constexpr std::size_t maximumBytes = 64 << 20;
constexpr std::uint32_t chunkWords = 1 << 18;  // 1 MB per property read
// However it trickles, a whole read ends after this many answer times.
constexpr int answersPerRead = 5;

// Asks the CLIPBOARD selection's owner for its content on an X11 connection of its own, the way the
// selection protocol has it (incremental transfers included), waiting on the connection without ever
// blocking the main thread. Used on one thread at a time; interrupt() and close() from any.
class X11ClipboardReader {
  public:
    static std::shared_ptr<X11ClipboardReader> connect() {
        int screenNumber = 0;
        auto* connection = xcb_connect(nullptr, &screenNumber);
        if (!connection || xcb_connection_has_error(connection)) {
            if (connection) xcb_disconnect(connection);
            return nullptr;
        }
        auto reader = std::make_shared<X11ClipboardReader>(connection);
        auto roots = xcb_setup_roots_iterator(xcb_get_setup(connection));
        for (int i = 0; i < screenNumber && roots.rem > 0; ++i) xcb_screen_next(&roots);
        reader->wakeUp = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (roots.rem <= 0 || !roots.data || reader->wakeUp < 0) return nullptr;
        // The owner writes its answer into a property of this window, which is never mapped.
        reader->window = xcb_generate_id(connection);
        std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(connection, XCB_COPY_FROM_PARENT, reader->window, roots.data->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
        reader->internAtoms();
        xcb_flush(connection);
        if (xcb_connection_has_error(connection)) return nullptr;
        return reader;
    }

    explicit X11ClipboardReader(xcb_connection_t* connection) : connection(connection) {}
    ~X11ClipboardReader() {
        if (wakeUp >= 0) ::close(wakeUp);
        xcb_disconnect(connection);
    }
    X11ClipboardReader(const X11ClipboardReader&) = delete;
    X11ClipboardReader& operator=(const X11ClipboardReader&) = delete;

    // The clipboard changed: a read of an older change stops at its next wait.
    void interrupt(std::int64_t latestChange) {
        latest = latestChange;
        wake();
    }
    void close() {
        closing = true;
        wake();
    }

    ReadOutcome read(std::int64_t change) {
        ReadOutcome outcome{.change = change};
        readingChange = change;
        readEnds = SteadyClock::now() + answersPerRead * answerTime();
        while (auto* event = xcb_poll_for_event(connection)) std::free(event);
        auto targets = transfer(atoms.targets);
        if (targets.status == Status::stale) {
            outcome.stale = true;
            return outcome;
        }
        // No owner, or one that lists nothing: nothing is on the clipboard.
        if (targets.status == Status::refused) {
            outcome.files = ClipboardFiles{};
            return outcome;
        }
        if (targets.status == Status::failed) return outcome;
        std::vector<xcb_atom_t> offered(targets.bytes.size() / sizeof(xcb_atom_t));
        std::memcpy(offered.data(), targets.bytes.data(), offered.size() * sizeof(xcb_atom_t));

        auto status = Status::done;
        std::optional<std::string> answer;
        auto files = readClipboardFiles([&](const char* type) -> const std::optional<std::string>& {
            answer.reset();
            auto atom = atomOf(type);
            if (status != Status::done || std::find(offered.begin(), offered.end(), atom) == offered.end())
                return answer;
            auto got = transfer(atom);
            // A type it lists and then refuses counts as not offered.
            if (got.status == Status::done)
                answer = std::move(got.bytes);
            else if (got.status != Status::refused)
                status = got.status;
            return answer;
        });
        outcome.stale = status == Status::stale;
        if (status == Status::done) outcome.files = std::move(files);
        return outcome;
    }

  private:
    enum class Status { done, refused, failed, stale };
    struct Transfer {
        Status status = Status::failed;
        std::string bytes;
    };
    struct Property {
        xcb_atom_t type = XCB_ATOM_NONE;
        std::string bytes;
    };

    static std::chrono::milliseconds answerTime() {
        return std::chrono::milliseconds(static_cast<int>(Clipboard::readTimeout * 1000));
    }

    void wake() {
        std::uint64_t one = 1;
        if (::write(wakeUp, &one, sizeof one) != sizeof one) {
            // The counter is full, so a wake-up is pending anyway.
        }
    }

    void internAtoms() {
        const char* names[] = {"CLIPBOARD",
                               "TARGETS",
                               "INCR",
                               "LARKSPIRE_CLIPBOARD",
                               ClipboardFormat::uriList,
                               ClipboardFormat::gnomeCopiedFiles,
                               ClipboardFormat::mateCopiedFiles,
                               ClipboardFormat::kdeCutSelection};
        xcb_atom_t* targets[] = {&atoms.clipboard, &atoms.targets,     &atoms.incr,       &atoms.property,
                                 &atoms.uriList,   &atoms.gnomeCopied, &atoms.mateCopied, &atoms.kdeCut};
        constexpr std::size_t count = std::size(names);
        static_assert(std::size(targets) == count);
        xcb_intern_atom_cookie_t cookies[count];
        for (std::size_t i = 0; i < count; ++i)
            cookies[i] =
                xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(names[i])), names[i]);
        for (std::size_t i = 0; i < count; ++i) {
            auto reply = owned(xcb_intern_atom_reply(connection, cookies[i], nullptr));
            *targets[i] = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
        }
    }

    xcb_atom_t atomOf(std::string_view type) const {
        if (type == ClipboardFormat::uriList) return atoms.uriList;
        if (type == ClipboardFormat::gnomeCopiedFiles) return atoms.gnomeCopied;
        if (type == ClipboardFormat::mateCopiedFiles) return atoms.mateCopied;
        if (type == ClipboardFormat::kdeCutSelection) return atoms.kdeCut;
        return XCB_ATOM_NONE;
    }

    // The next event that `wanted` accepts, or nothing with the reason: the owner took too long, the
    // connection broke, or the clipboard changed again or the program is closing.
    template <class Wanted> Reply<xcb_generic_event_t> next(Wanted wanted, Status& reason) {
        auto until = std::min(SteadyClock::now() + answerTime(), readEnds);
        for (;;) {
            while (auto* event = xcb_poll_for_event(connection)) {
                if (wanted(event)) return owned(event);
                std::free(event);
            }
            reason = Status::failed;
            if (xcb_connection_has_error(connection)) return owned<xcb_generic_event_t>(nullptr);
            if (closing || latest != readingChange) {
                reason = Status::stale;
                return owned<xcb_generic_event_t>(nullptr);
            }
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(until - SteadyClock::now()).count();
            if (left <= 0) return owned<xcb_generic_event_t>(nullptr);
            pollfd ready[] = {{.fd = xcb_get_file_descriptor(connection), .events = POLLIN, .revents = 0},
                              {.fd = wakeUp, .events = POLLIN, .revents = 0}};
            ::poll(ready, 2, static_cast<int>(left) + 1);
            std::uint64_t wakeUps = 0;
            if ((ready[1].revents & POLLIN) != 0 && ::read(wakeUp, &wakeUps, sizeof wakeUps) < 0) {
                // Read by nobody else; an empty counter only means the wake-up was taken already.
            }
        }
    }

    // The property's whole value, deleted once read, which asks an incremental owner for more.
    std::optional<Property> takeProperty() {
        Property property;
        std::uint32_t offset = 0;
        for (;;) {
            auto reply =
                owned(xcb_get_property_reply(connection,
                                             xcb_get_property(connection, 1, window, atoms.property,
                                                              XCB_GET_PROPERTY_TYPE_ANY, offset, chunkWords),
                                             nullptr));
            if (!reply) return std::nullopt;
            property.type = reply->type;
            auto length = static_cast<std::size_t>(std::max(0, xcb_get_property_value_length(reply.get())));
            if (property.bytes.size() + length > maximumBytes) return std::nullopt;
            property.bytes.append(static_cast<const char*>(xcb_get_property_value(reply.get())), length);
            if (reply->bytes_after == 0) return property;
            offset += static_cast<std::uint32_t>(length / 4);
        }
    }

    Transfer transfer(xcb_atom_t target) {
        xcb_delete_property(connection, window, atoms.property);  // what an abandoned transfer left
        xcb_convert_selection(connection, window, atoms.clipboard, target, atoms.property, XCB_CURRENT_TIME);
        xcb_flush(connection);
        Transfer result;
        auto notice = next(
            [this, target](const xcb_generic_event_t* event) {
                if ((event->response_type & 0x7F) != XCB_SELECTION_NOTIFY) return false;
                const auto* notify = reinterpret_cast<const xcb_selection_notify_event_t*>(event);
                return notify->requestor == window && notify->selection == atoms.clipboard &&
                       notify->target == target;
            },
            result.status);
        if (!notice) return result;
        if (reinterpret_cast<const xcb_selection_notify_event_t*>(notice.get())->property == XCB_ATOM_NONE) {
            result.status = Status::refused;
            return result;
        }
        auto first = takeProperty();
        result.status = Status::failed;
        if (!first) return result;
        if (first->type != atoms.incr) {
            result.status = Status::done;
            result.bytes = std::move(first->bytes);
            return result;
        }
        // Incremental: each piece is a new value of the property, and an empty one ends the transfer.
        for (;;) {
            auto piece = next(
                [this](const xcb_generic_event_t* event) {
                    if ((event->response_type & 0x7F) != XCB_PROPERTY_NOTIFY) return false;
                    const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
                    return notify->window == window && notify->atom == atoms.property &&
                           notify->state == XCB_PROPERTY_NEW_VALUE;
                },
                result.status);
            if (!piece) return result;
            auto value = takeProperty();
            if (!value || result.bytes.size() + value->bytes.size() > maximumBytes) {
                result.status = Status::failed;
                return result;
            }
            if (value->bytes.empty()) {
                result.status = Status::done;
                return result;
            }
            result.bytes += value->bytes;
        }
    }

    xcb_connection_t* connection;
    xcb_window_t window = XCB_WINDOW_NONE;
    int wakeUp = -1;
    struct {
        xcb_atom_t clipboard, targets, incr, property, uriList, gnomeCopied, mateCopied, kdeCut;
    } atoms{};
    std::atomic<std::int64_t> latest{0};
    std::atomic<bool> closing{false};
    std::int64_t readingChange = 0;
    SteadyClock::time_point readEnds;
};

#endif

}  // namespace

struct QtClipboard::State : std::enable_shared_from_this<State> {
    State(WorkQueue& work, MainQueue& main) : work(work), main(main) {}

    // One read at a time; a change during it is read once it is over.
    void read() {
        if (reading) return;
        reading = true;
        auto change = count;
#ifdef LARKSPIRE_HAVE_XCB
        if (reader) {
            auto done = main.bind(weak_from_this(), [](State& self, std::shared_ptr<ReadOutcome> outcome) {
                self.finish(std::move(*outcome));
            });
            work.runSerial("clipboard", [reader = reader, change, done]() mutable {
                done(std::make_shared<ReadOutcome>(reader->read(change)));
            });
            return;
        }
#endif
        main.post(weakly(weak_from_this(), [change](State& self) {
            self.finish(ReadOutcome{.change = change, .files = readThroughQt()});
        }));
    }

    void finish(ReadOutcome outcome) {
        reading = false;
        if (outcome.stale || outcome.change != count) {
            read();
            return;
        }
        files = std::move(outcome.files);
        changes.notify();
    }

    WorkQueue& work;
    MainQueue& main;
#ifdef LARKSPIRE_HAVE_XCB
    std::shared_ptr<X11ClipboardReader> reader;
#endif
    std::int64_t count = 0;
    bool reading = false;
    std::optional<ClipboardFiles> files = ClipboardFiles{};  // nothing when the last read failed
    Signal changes;
};

QtClipboard::QtClipboard(WorkQueue& work, MainQueue& main) : state(std::make_shared<State>(work, main)) {
#ifdef LARKSPIRE_HAVE_XCB
    if (QGuiApplication::platformName() == "xcb") state->reader = X11ClipboardReader::connect();
#endif
    auto* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return;
    connection = QObject::connect(clipboard, &QClipboard::changed, clipboard, [this](QClipboard::Mode mode) {
        if (mode != QClipboard::Clipboard) return;
        ++state->count;
#ifdef LARKSPIRE_HAVE_XCB
        if (state->reader) state->reader->interrupt(state->count);
#endif
        state->read();
    });
    state->read();  // a cut made before the start
}

QtClipboard::~QtClipboard() {
    QObject::disconnect(connection);
#ifdef LARKSPIRE_HAVE_XCB
    if (state->reader) state->reader->close();
#endif
}

std::int64_t QtClipboard::changeCount() const {
    return state->count;
}

std::optional<std::vector<Url>> QtClipboard::fileUrls() const {
    if (!state->files) return std::nullopt;
    return state->files->urls;
}

std::optional<std::string> QtClipboard::filePath(const Url& fileUrl) const {
    return localFilePath(fileUrl);
}

FileOperation QtClipboard::fileOperation() const {
    return state->files ? state->files->operationOfFiles() : FileOperation::unmarked;
}

bool QtClipboard::writeFiles(const std::vector<std::string>& paths, FileOperation operation) {
    auto* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return false;
    auto content = clipboardContentFor(paths, operation);
    auto* data = new QMimeData;
    for (const auto& format : clipboardFileFormats)
        if (const auto& bytes = content.*(format.bytes))
            data->setData(QString::fromLatin1(format.type), QByteArray::fromStdString(*bytes));
    clipboard->setMimeData(data, QClipboard::Clipboard);  // the clipboard owns it now
    // Without a display connection or when another client took it at once, nothing was written.
    return clipboard->ownsClipboard();
}

std::shared_ptr<void> QtClipboard::observeChanges(std::function<void()> changed) {
    return state->changes.observe(std::move(changed));
}

}  // namespace larkspire::qt
