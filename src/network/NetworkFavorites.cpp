#include "network/NetworkFavorites.h"

#include "network/FinderSidebar.h"
#include "network/NetworkSettings.h"
#include "platform/Ports.h"

#include <algorithm>

namespace larkspire {

NetworkFavoritesPorts NetworkFavoritesPorts::from(const Ports& ports) {
    return NetworkFavoritesPorts{
        .main = ports.main,
        .clock = ports.clock,
        .work = ports.work,
        .defaults = ports.defaults,
        .log = ports.log,
        .alerts = ports.alerts,
        .workspace = ports.workspace,
        .folderPicker = ports.folderPicker,
        .volumes = ports.volumes,
        .mounter = ports.shareMounter,
        .notifications = ports.workspaceNotifications,
        .pathMonitor = ports.networkPath,
        .sidebar = ports.sidebarFavorites,
        .wording = ports.wording,
    };
}

namespace {

double backoffDelay(int failures) {
    // From the fifth failure on the wait stays at ten minutes; the shift never grows past that.
    return std::min(600.0, 60.0 * static_cast<double>(1 << std::clamp(failures - 1, 0, 4)));
}

std::string serverOf(const std::string& shareUrl) {
    auto url = Url::parse(shareUrl);
    if (!url || !url->host()) return shareUrl;
    auto host = *url->host();
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    return host;
}

}  // namespace

std::shared_ptr<NetworkFavorites> NetworkFavorites::create(NetworkFavoritesPorts ports) {
    std::shared_ptr<NetworkFavorites> favorites(new NetworkFavorites(ports));
    favorites->load();
    return favorites;
}

NetworkFavorites::NetworkFavorites(NetworkFavoritesPorts ports) : ports(ports), log(ports.log, "network") {}

void NetworkFavorites::load() {
    auto stored = ports.defaults.object(Settings::networkFavoritesKey);
    if (!stored) return;
    if (const auto* data = stored->get<Data>()) {
        if (auto decoded = decodeFavorites(*data)) {
            favoriteList = std::move(*decoded);
            return;
        }
    }
    // The list starts empty and the next save replaces the value; the user's favourites are
    // kept aside first, once, so a damaged or foreign value is never lost unseen.
    if (!ports.defaults.object(unreadableFavoritesKey)) {
        ports.defaults.set(unreadableFavoritesKey, *stored);
        log.error(std::string("Gespeicherte Netzwerk-Favoriten nicht lesbar, aufbewahrt unter ") +
                  unreadableFavoritesKey);
    } else {
        log.error("Gespeicherte Netzwerk-Favoriten nicht lesbar");
    }
}

void NetworkFavorites::save() {
    auto data = encodeFavorites(favoriteList);
    if (data) ports.defaults.set(Settings::networkFavoritesKey, Value(std::move(*data)));
}

std::shared_ptr<void> NetworkFavorites::observe(std::function<void()> changed) {
    return changes.observe(std::move(changed));
}

void NetworkFavorites::notifyObservers() {
    changes.notify();
}

std::string NetworkFavorites::key(const std::string& shareUrl) {
    auto url = Url::parse(shareUrl);
    if (!url) return lowercased(shareUrl);
    return lowercased(url->scheme() + "://" + url->host().value_or("") + url->path());
}

void NetworkFavorites::start() {
    auto weak = weak_from_this();
    auto& main = ports.main;
    observations.push_back(ports.notifications.observeDidWake([weak, &main] {
        main.postAfter(5.0, weakly(weak, [](NetworkFavorites& self) { self.check(true); }));
    }));
    for (auto observe :
         {&WorkspaceNotifications::observeDidMount, &WorkspaceNotifications::observeDidUnmount}) {
        observations.push_back((ports.notifications.*observe)([weak, &main] {
            main.postAfter(3.0, weakly(weak, [](NetworkFavorites& self) { self.check(false); }));
        }));
    }
    ports.pathMonitor.start(
        main.bind(weak, [](NetworkFavorites& self, bool usable) { self.networkPathChanged(usable); }));
    // Without favourites the minute's pass has nothing to reconnect or show; it would only wake a
    // thread. Mounts and unmounts still bring the table up to date, and adding a favourite does.
    timer = main.scheduleRepeating(60.0, weakly(weak, [](NetworkFavorites& self) {
                                       if (!self.favoriteList.empty()) self.check(false);
                                   }));
    main.postAfter(2.0, weakly(weak, [](NetworkFavorites& self) { self.check(false); }));
}

void NetworkFavorites::networkPathChanged(bool usable) {
    if (usable && !isNetworkAvailable) {
        log.info("Netzwerk wieder da");
        ports.main.postAfter(3.0, weakly(weak_from_this(), [](NetworkFavorites& self) { self.check(true); }));
    }
    isNetworkAvailable = usable;
}

void NetworkFavorites::check(bool resetBackoff) {
    if (resetBackoff) {
        failureCounts.clear();
        nextAttempts.clear();
    }
    if (isRefreshing) return;
    refreshMountPoints([this] { reconnectMissing(); });
}

void NetworkFavorites::refreshMountPoints(std::function<void()> then) {
    if (isRefreshing) return;
    isRefreshing = true;
    auto done =
        ports.main.bind(weak_from_this(), [then = std::move(then)](NetworkFavorites& self,
                                                                   std::map<std::string, std::string> table) {
            self.isRefreshing = false;
            if (table != self.mountTable) {
                self.mountTable = std::move(table);
                self.notifyObservers();
            }
            if (then) then();
        });
    ports.work.runSerial(queueLabel, [&volumes = ports.volumes, done]() mutable {
        std::map<std::string, std::string> table;
        for (const auto& volume : volumes.mountedVolumes())
            if (volume.remountUrl) table[key(*volume.remountUrl)] = volume.path;
        done(std::move(table));
    });
}

bool NetworkFavorites::isMounted(const NetworkFavorite& favorite) const {
    return mountTable.contains(key(favorite.shareURL));
}

void NetworkFavorites::reconnectMissing() {
    if (!ports.defaults.boolForKey(Settings::autoMountKey)) return;
    if (!isNetworkAvailable) return;
    std::set<std::string> shares;
    for (const auto& favorite : favoriteList) shares.insert(favorite.shareURL);
    auto now = ports.clock.uptime();
    for (const auto& share : shares) {
        if (mountTable.contains(key(share))) continue;
        if (auto next = nextAttempts.find(share); next != nextAttempts.end() && next->second > now) continue;
        mount(share, false, [](std::optional<std::string>) {});
    }
}

void NetworkFavorites::mount(const std::string& share, bool allowUI,
                             std::function<void(std::optional<std::string>)> completion) {
    if (!Url::parse(share) || inFlight.contains(share)) {
        completion(std::nullopt);
        return;
    }
    inFlight.insert(share);
    log.info("Verbinde " + share);
    auto weak = weak_from_this();
    auto started = ports.mounter.mountAsync(
        share, allowUI, [weak, share, completion](int status, std::optional<std::vector<std::string>> paths) {
            auto self = weak.lock();
            if (!self) return;
            self->inFlight.erase(share);
            std::optional<std::string> mountPoint;
            if (paths && !paths->empty() && !paths->front().empty()) mountPoint = paths->front();
            if (status != 0 || !mountPoint) {
                int failures = ++self->failureCounts[share];
                auto delay = backoffDelay(failures);
                self->nextAttempts[share] = self->ports.clock.uptime() + delay;
                self->log.error("Verbinden fehlgeschlagen (" + std::to_string(status) + "): " + share +
                                " – nächster Versuch in " + std::to_string(static_cast<long>(delay)) + " s");
                completion(std::nullopt);
                return;
            }
            self->log.info("Verbunden: " + share + " → " + *mountPoint);
            self->failureCounts.erase(share);
            self->nextAttempts.erase(share);
            self->refreshMountPoints();
            completion(mountPoint);
        });
    if (started != 0) {
        inFlight.erase(share);
        log.error("Verbinden nicht gestartet (" + std::to_string(started) + "): " + share);
        completion(std::nullopt);
    }
}

void NetworkFavorites::openFolder(const std::string& mountPoint, const NetworkFavorite& favorite) {
    auto target = favorite.relativePath.empty() ? mountPoint : mountPoint + "/" + favorite.relativePath;
    ports.workspace.open(Url::fileUrl(standardizedPath(target)));  // its answer changes nothing
}

void NetworkFavorites::open(const NetworkFavorite& favorite) {
    if (auto found = mountTable.find(key(favorite.shareURL)); found != mountTable.end()) {
        openFolder(found->second, favorite);
        return;
    }
    auto weak = weak_from_this();
    mount(favorite.shareURL, true, [weak, favorite](std::optional<std::string> mountPoint) {
        auto self = weak.lock();
        if (!self) return;
        if (mountPoint) {
            self->openFolder(*mountPoint, favorite);
            return;
        }
        auto& words = self->ports.wording;
        self->showAlert(
            filled(words.shown("Keine Verbindung zu „%1“"), {favorite.name}),
            filled(words.shown("Der Server %1 ist nicht erreichbar."), {serverOf(favorite.shareURL)}));
    });
}

void NetworkFavorites::showAlert(const std::string& title, const std::string& message) {
    ports.alerts.showWarning(title, message);
}

std::optional<std::string> NetworkFavorites::add(const Url& folder) {
    auto folderName = lastPathComponent(folder.path());
    bool absolute = folder.isFileUrl() && folder.path().starts_with('/');
    auto properties = absolute ? ports.volumes.folderProperties(folder.path()) : std::nullopt;
    auto& words = ports.wording;
    if (!properties || !properties->isDirectory)
        return filled(words.shown("„%1“ ist kein Ordner."), {folderName});
    auto sidebarFailed =
        filled(words.shown("„%1“ konnte nicht in die Finder-Seitenleiste eingetragen werden."), {folderName});

    auto favorite = NetworkFavorite::fromFolder(folder.path(), *properties);
    if (!FinderSidebar::add(ports.sidebar, folder)) return sidebarFailed;
    if (!favorite) return std::nullopt;

    if (std::find(favoriteList.begin(), favoriteList.end(), *favorite) == favoriteList.end()) {
        favoriteList.push_back(*favorite);
        save();
        notifyObservers();
    }
    log.info("Favorit: " + favorite->id());
    refreshMountPoints();
    return std::nullopt;
}

void NetworkFavorites::remove(const NetworkFavorite& favorite) {
    std::optional<std::string> identity;
    if (auto found = mountTable.find(key(favorite.shareURL)); found != mountTable.end()) {
        auto path =
            favorite.relativePath.empty() ? found->second : found->second + "/" + favorite.relativePath;
        identity = standardizedPath(path);
    }
    FinderSidebar::remove(ports.sidebar, identity, favorite.name);
    std::erase(favoriteList, favorite);
    save();
    notifyObservers();
}

void NetworkFavorites::addFolders(const std::vector<Url>& folders) {
    std::string messages;
    for (const auto& folder : folders) {
        if (auto message = add(folder)) messages += (messages.empty() ? "" : "\n") + *message;
    }
    if (!messages.empty()) showAlert(ports.wording.shown(addFailedTitle), messages);
}

void NetworkFavorites::chooseFavorites() {
    auto folders = ports.folderPicker.chooseFolders(FolderPickerOptions{
        .startFolder = "/Volumes", .confirmTitle = ports.wording.shown("Zur Seitenleiste hinzufügen")});
    addFolders(folders);
}

}  // namespace larkspire
