#include "platform/linux/mounts/GioNetwork.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gio/gio.h>
#include <gio/gunixmounts.h>
#include <sstream>
#include <sys/stat.h>
#include <utility>

namespace larkspire::linux_desktop {

namespace {

template <class T> struct Unref {
    void operator()(T* object) const {
        if (object) g_object_unref(object);
    }
};
template <class T> using Owned = std::unique_ptr<T, Unref<T>>;

std::string taken(char* text) {
    std::string out = text ? text : "";
    g_free(text);
    return out;
}

bool isInside(const std::string& path, const std::string& folder) {
    if (folder == "/") return path.starts_with('/');
    return path == folder || (path.starts_with(folder) && path[folder.size()] == '/');
}

// Nothing must ever be shown without the user's request: every question is answered by giving up.
void abortQuestion(GMountOperation* operation) {
    g_mount_operation_reply(operation, G_MOUNT_OPERATION_ABORTED);
}

// Replies to `operation` once the user has answered; it is kept alive until then.
std::function<void(const MountAnswer&)> replyTo(GMountOperation* operation, bool credentials) {
    std::shared_ptr<GMountOperation> held(G_MOUNT_OPERATION(g_object_ref(operation)), g_object_unref);
    return [held, credentials, replied = std::make_shared<bool>(false)](const MountAnswer& answer) {
        if (std::exchange(*replied, true)) return;
        auto* operation = held.get();
        if (!answer.handled) {
            g_mount_operation_reply(operation, G_MOUNT_OPERATION_ABORTED);
            return;
        }
        if (credentials) {
            g_mount_operation_set_username(operation, answer.user.c_str());
            g_mount_operation_set_domain(operation, answer.domain.c_str());
            g_mount_operation_set_password(operation, answer.password.c_str());
            g_mount_operation_set_password_save(
                operation, answer.saving == PasswordSaving::permanently  ? G_PASSWORD_SAVE_PERMANENTLY
                           : answer.saving == PasswordSaving::forSession ? G_PASSWORD_SAVE_FOR_SESSION
                                                                         : G_PASSWORD_SAVE_NEVER);
        } else {
            g_mount_operation_set_choice(operation, answer.choice);
        }
        g_mount_operation_reply(operation, G_MOUNT_OPERATION_HANDLED);
    };
}

void askPassword(GMountOperation* operation, const char* message, const char* user, const char* domain,
                 GAskPasswordFlags flags, gpointer questions) {
    MountQuestion question{.message = message ? message : "",
                           .user = user ? user : "",
                           .domain = domain ? domain : "",
                           .needsUser = (flags & G_ASK_PASSWORD_NEED_USERNAME) != 0,
                           .needsDomain = (flags & G_ASK_PASSWORD_NEED_DOMAIN) != 0,
                           .needsPassword = (flags & G_ASK_PASSWORD_NEED_PASSWORD) != 0,
                           .offersSaving = (flags & G_ASK_PASSWORD_SAVING_SUPPORTED) != 0};
    (*static_cast<MountQuestions*>(questions))(question, replyTo(operation, true));
}

void askQuestion(GMountOperation* operation, const char* message, char** choices, gpointer questions) {
    MountQuestion question{.message = message ? message : ""};
    for (auto** choice = choices; choice && *choice; ++choice) question.choices.emplace_back(*choice);
    // A question without choices cannot be answered.
    if (question.choices.empty()) return abortQuestion(operation);
    (*static_cast<MountQuestions*>(questions))(question, replyTo(operation, false));
}

struct PendingMount {
    GioNetwork* network;
    ShareMounter::Result result;
    std::string share;
};

}  // namespace

void answerMountQuestions(void* mountOperation, MountQuestions questions) {
    auto* operation = G_MOUNT_OPERATION(mountOperation);
    if (!questions) {
        for (const char* signal : {"ask-password", "ask-question"})
            g_signal_connect(operation, signal, G_CALLBACK(abortQuestion), nullptr);
        return;
    }
    auto forget = +[](gpointer data, GClosure*) { delete static_cast<MountQuestions*>(data); };
    g_signal_connect_data(operation, "ask-password", G_CALLBACK(askPassword), new MountQuestions(questions),
                          forget, G_CONNECT_DEFAULT);
    g_signal_connect_data(operation, "ask-question", G_CALLBACK(askQuestion),
                          new MountQuestions(std::move(questions)), forget, G_CONNECT_DEFAULT);
}

GioNetwork::GioNetwork(Log& log, std::string mountInfoFile)
    : log(log, "network"), mountInfoFile(std::move(mountInfoFile)) {
    auto* monitor = g_volume_monitor_get();
    volumeMonitor = monitor;
    for (const char* signal : {"mount-added", "mount-removed", "mount-changed"}) {
        signalIds.push_back(g_signal_connect_swapped(
            monitor, signal, G_CALLBACK(+[](GioNetwork* self) { self->gioMountsChanged(); }), this));
    }
    auto* unixMonitor = g_unix_mount_monitor_get();
    unixMountMonitor = unixMonitor;
    g_signal_connect_swapped(unixMonitor, "mounts-changed",
                             G_CALLBACK(+[](GioNetwork* self) { self->kernelMountsChanged(); }), this);
    kernelMountPoints = shareMountPoints();

    // Without a system bus (a container, a minimal session) there is simply no wake signal.
    GError* error = nullptr;
    auto* bus = g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, &error);
    if (bus) {
        systemBus = bus;
        sleepSubscription = g_dbus_connection_signal_subscribe(
            bus, "org.freedesktop.login1", "org.freedesktop.login1.Manager", "PrepareForSleep",
            "/org/freedesktop/login1", nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
            +[](GDBusConnection*, const char*, const char*, const char*, const char*, GVariant* parameters,
                gpointer self) {
                gboolean goingToSleep = TRUE;
                if (g_variant_is_of_type(parameters, G_VARIANT_TYPE("(b)")))
                    g_variant_get(parameters, "(b)", &goingToSleep);
                if (!goingToSleep) static_cast<GioNetwork*>(self)->wokeUp();
            },
            this, nullptr);
    } else {
        this->log.info(std::string("Kein Systembus, Aufwachen wird nicht gemeldet: ") + error->message);
        g_error_free(error);
    }
    gioMountsChanged();
}

GioNetwork::~GioNetwork() {
    for (auto id : signalIds) g_signal_handler_disconnect(volumeMonitor, id);
    g_signal_handlers_disconnect_by_data(unixMountMonitor, this);
    g_object_unref(unixMountMonitor);
    g_object_unref(volumeMonitor);
    if (networkSignal) g_signal_handler_disconnect(g_network_monitor_get_default(), networkSignal);
    if (systemBus) {
        g_dbus_connection_signal_unsubscribe(G_DBUS_CONNECTION(systemBus), sleepSubscription);
        g_object_unref(systemBus);
    }
}

void GioNetwork::call(Handlers& handlers) {
    std::erase_if(handlers, [](const auto& handler) { return handler.expired(); });
    auto current = handlers;
    for (const auto& weak : current)
        if (auto handler = weak.lock()) (*handler)();
}

void GioNetwork::gioMountsChanged() {
    std::vector<MountedVolume> mounts;
    GList* list = g_volume_monitor_get_mounts(G_VOLUME_MONITOR(volumeMonitor));
    for (GList* item = list; item; item = item->next) {
        auto* mount = G_MOUNT(item->data);
        if (!g_mount_is_shadowed(mount)) {
            Owned<GFile> root(g_mount_get_root(mount));
            auto uri = taken(g_file_get_uri(root.get()));
            auto path = taken(g_file_get_path(root.get()));
            // Native roots are kernel mounts, listed from mountinfo; a gvfs mount without its FUSE
            // path cannot be opened by path and is left out.
            if (!g_file_is_native(root.get()) && !path.empty()) mounts.push_back({path, uri});
        }
    }
    g_list_free_full(list, g_object_unref);
    std::lock_guard lock(mutex);
    gvfsMounts = std::move(mounts);
}

// Only shares count as volumes coming and going: the system's own mounts, containers' and other
// sessions' sandboxes change often, never hold a favourite, and would each start a check.
std::set<std::string> GioNetwork::shareMountPoints() const {
    std::set<std::string> points;
    for (const auto& entry : kernelMounts())
        if (remountUrl(entry)) points.insert(entry.mountPoint);
    return points;
}

void GioNetwork::kernelMountsChanged() {
    auto now = shareMountPoints();
    bool added =
        std::any_of(now.begin(), now.end(), [this](auto& p) { return !kernelMountPoints.contains(p); });
    bool removed = std::any_of(kernelMountPoints.begin(), kernelMountPoints.end(),
                               [&now](auto& p) { return !now.contains(p); });
    kernelMountPoints = std::move(now);
    if (added) call(mountHandlers);
    if (removed) call(unmountHandlers);
}

void GioNetwork::wokeUp() {
    call(wakeHandlers);
}

std::vector<MountEntry> GioNetwork::kernelMounts() const {
    std::ifstream in(mountInfoFile, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return parseMountInfo(text.str());
}

std::vector<MountedVolume> GioNetwork::allVolumes() const {
    std::vector<MountedVolume> volumes;
    for (const auto& entry : kernelMounts())
        // The gvfs FUSE folder itself holds the gvfs mounts, which are listed on their own.
        if (entry.fileSystemType != "fuse.gvfsd-fuse")
            volumes.push_back({entry.mountPoint, remountUrl(entry)});
    std::lock_guard lock(mutex);
    volumes.insert(volumes.end(), gvfsMounts.begin(), gvfsMounts.end());
    return volumes;
}

std::vector<MountedVolume> GioNetwork::mountedVolumes() const {
    auto volumes = allVolumes();
    std::erase_if(volumes, [](const MountedVolume& volume) { return !volume.remountUrl; });
    return volumes;
}

std::optional<FolderVolumeProperties> GioNetwork::folderProperties(const std::string& path) const {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    FolderVolumeProperties properties{.isDirectory = S_ISDIR(info.st_mode)};
    // The innermost mount that holds the folder is its volume.
    std::size_t longest = 0;
    for (const auto& volume : allVolumes()) {
        if (!isInside(path, volume.path) || volume.path.size() < longest) continue;
        longest = volume.path.size();
        properties.volumePath = volume.path;
        properties.remountUrl = volume.remountUrl;
        properties.isLocal = !volume.remountUrl;
    }
    return properties;
}

int GioNetwork::mountAsync(const std::string& shareUrl, bool allowUI, Result result) {
    Owned<GFile> file(g_file_new_for_uri(shareUrl.c_str()));
    Owned<GMountOperation> operation(g_mount_operation_new());
    answerMountQuestions(operation.get(), allowUI ? questions : MountQuestions{});
    auto* pending = new PendingMount{this, std::move(result), shareUrl};
    g_file_mount_enclosing_volume(
        file.get(), G_MOUNT_MOUNT_NONE, operation.get(), nullptr,
        +[](GObject* source, GAsyncResult* asyncResult, gpointer data) {
            std::unique_ptr<PendingMount> pending(static_cast<PendingMount*>(data));
            pending->network->mountFinished(source, asyncResult, std::move(pending->result), pending->share);
        },
        pending);
    return 0;
}

void GioNetwork::mountFinished(void* source, void* asyncResult, Result result, const std::string& share) {
    auto* file = G_FILE(source);
    GError* error = nullptr;
    bool mounted = g_file_mount_enclosing_volume_finish(file, G_ASYNC_RESULT(asyncResult), &error);
    if (!mounted && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_ALREADY_MOUNTED)) {
        mounted = true;
        g_clear_error(&error);
    }
    if (!mounted) {
        // GIO's code is the status; its "failed" is 0, which must not read as success.
        int status = error && error->domain == G_IO_ERROR && error->code != 0 ? error->code : -1;
        log.error("Einhängen von " + share + ": " + (error ? error->message : "unbekannter Fehler"));
        g_clear_error(&error);
        result(status, std::nullopt);
        return;
    }
    std::vector<std::string> paths;
    Owned<GMount> mount(g_file_find_enclosing_mount(file, nullptr, nullptr));
    if (mount) {
        Owned<GFile> root(g_mount_get_root(mount.get()));
        if (auto path = taken(g_file_get_path(root.get())); !path.empty()) paths.push_back(path);
    }
    if (paths.empty()) log.error("Eingehängt, aber ohne lokalen Pfad (läuft gvfs-fuse?): " + share);
    gioMountsChanged();
    result(0, paths);
}

namespace {

std::shared_ptr<void> observeIn(std::vector<std::weak_ptr<std::function<void()>>>& handlers,
                                std::function<void()> handler) {
    auto shared = std::make_shared<std::function<void()>>(std::move(handler));
    handlers.push_back(shared);
    return shared;
}

}  // namespace

std::shared_ptr<void> GioNetwork::observeDidWake(std::function<void()> handler) {
    return observeIn(wakeHandlers, std::move(handler));
}

namespace {

// Runs `handler` on every emission of the volume monitor's `signal` until the result is dropped.
std::shared_ptr<void> connectMountSignal(void* monitor, const char* signal, std::shared_ptr<void> observation,
                                         std::function<void()> handler) {
    auto* holder = new std::function<void()>(std::move(handler));
    auto id = g_signal_connect_data(
        monitor, signal, G_CALLBACK(+[](GVolumeMonitor*, GMount*, gpointer data) {
            (*static_cast<std::function<void()>*>(data))();
        }),
        holder, +[](gpointer data, GClosure*) { delete static_cast<std::function<void()>*>(data); },
        G_CONNECT_DEFAULT);
    return std::shared_ptr<void>(new std::shared_ptr<void>(std::move(observation)),
                                 [monitor, id](void* held) {
                                     g_signal_handler_disconnect(monitor, id);
                                     delete static_cast<std::shared_ptr<void>*>(held);
                                 });
}

}  // namespace

// gvfs mounts come through the volume monitor, kernel mounts through the mount table; both lead to the
// same check.
std::shared_ptr<void> GioNetwork::observeDidMount(std::function<void()> handler) {
    auto observation = observeIn(mountHandlers, handler);
    return connectMountSignal(volumeMonitor, "mount-added", std::move(observation), std::move(handler));
}

std::shared_ptr<void> GioNetwork::observeDidUnmount(std::function<void()> handler) {
    auto observation = observeIn(unmountHandlers, handler);
    return connectMountSignal(volumeMonitor, "mount-removed", std::move(observation), std::move(handler));
}

void GioNetwork::start(std::function<void(bool)> handler) {
    networkHandler = std::move(handler);
    auto* monitor = g_network_monitor_get_default();
    networkSignal = g_signal_connect_swapped(
        monitor, "network-changed",
        G_CALLBACK(+[](GioNetwork* self, gboolean available) { self->networkChanged(available); }), this);
    networkChanged(g_network_monitor_get_network_available(monitor));
}

void GioNetwork::networkChanged(bool available) {
    if (networkHandler) networkHandler(available);
}

}  // namespace larkspire::linux_desktop
