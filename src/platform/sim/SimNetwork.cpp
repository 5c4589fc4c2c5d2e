#include "platform/sim/SimNetwork.h"

#include <algorithm>
#include <cstdlib>

namespace larkspire::sim {

namespace fs = std::filesystem;

namespace {

bool isInside(const fs::path& path, const fs::path& folder) {
    auto relative = path.lexically_normal().lexically_relative(folder.lexically_normal());
    return !relative.empty() && *relative.begin() != "..";
}

}  // namespace

SimVolumes::SimVolumes(SimMainLoop& loop) : loop(loop) {
    std::string pattern = (fs::temp_directory_path() / "larkspire-volumes-XXXXXX").string();
    if (mkdtemp(pattern.data())) rootFolder = pattern;
}

SimVolumes::~SimVolumes() {
    std::error_code ignored;
    if (!rootFolder.empty()) fs::remove_all(rootFolder, ignored);
}

SimShare& SimVolumes::addShare(const std::string& url, const std::vector<std::string>& folders) {
    std::lock_guard lock(mutex);
    auto index = std::to_string(shares.size());
    auto& share = shares[url];
    share.url = url;
    share.storage = rootFolder / ".servers" / index;
    auto name = url.substr(url.find_last_of('/') + 1);
    share.mountPath = rootFolder / "Volumes" / ((name.empty() ? "share" : name) + "-" + index);
    fs::create_directories(share.storage);
    for (const auto& folder : folders) fs::create_directories(share.storage / folder);
    return share;
}

fs::path SimVolumes::mountPathOf(const std::string& url) {
    std::lock_guard lock(mutex);
    return shares.at(url).mountPath;
}

bool SimVolumes::mountNow(SimShare& share) {
    if (!share.reachable) return false;
    if (std::find(mountedUrls.begin(), mountedUrls.end(), share.url) != mountedUrls.end()) return true;
    fs::create_directories(share.mountPath.parent_path());
    fs::rename(share.storage, share.mountPath);
    mountedUrls.push_back(share.url);
    return true;
}

void SimVolumes::mountShare(const std::string& url) {
    {
        std::lock_guard lock(mutex);
        if (!mountNow(shares.at(url))) return;
    }
    announce(mountHandlers);
}

void SimVolumes::unmountShare(const std::string& url) {
    {
        std::lock_guard lock(mutex);
        auto mounted = std::find(mountedUrls.begin(), mountedUrls.end(), url);
        if (mounted == mountedUrls.end()) return;
        mountedUrls.erase(mounted);
        auto& share = shares.at(url);
        fs::rename(share.mountPath, share.storage);
    }
    announce(unmountHandlers);
}

void SimVolumes::wake() {
    announce(wakeHandlers);
}

std::vector<MountedVolume> SimVolumes::mountedVolumes() const {
    std::lock_guard lock(mutex);
    if (failEnumeration) return {};
    std::vector<MountedVolume> volumes{{"/", std::nullopt}};
    for (const auto& url : mountedUrls) volumes.push_back({shares.at(url).mountPath.string(), url});
    return volumes;
}

std::optional<FolderVolumeProperties> SimVolumes::folderProperties(const std::string& path) const {
    std::error_code error;
    auto status = fs::status(path, error);
    if (error || !fs::exists(status)) return std::nullopt;
    FolderVolumeProperties properties{
        .isDirectory = fs::is_directory(status), .volumePath = "/", .isLocal = true};
    std::lock_guard lock(mutex);
    for (const auto& url : mountedUrls) {
        const auto& share = shares.at(url);
        if (path == share.mountPath.string() || isInside(path, share.mountPath)) {
            properties.volumePath = share.mountPath.string();
            properties.remountUrl = url;
            properties.isLocal = false;
        }
    }
    return properties;
}

int SimVolumes::mountAsync(const std::string& shareUrl, bool allowUI, Result result) {
    if (startStatus != 0) return startStatus;
    requests.push_back({shareUrl, allowUI, loop.uptime()});
    mostInFlightAtOnce = std::max(mostInFlightAtOnce, ++inFlight);
    loop.postAfter(mountLatency, [this, shareUrl, result = std::move(result)] {
        --inFlight;
        int status = 0;
        std::optional<std::vector<std::string>> paths;
        {
            std::lock_guard lock(mutex);
            auto found = shares.find(shareUrl);
            if (found == shares.end()) {
                status = 68;  // no such server
            } else if (!found->second.reportsMountPoint) {
                paths = std::vector<std::string>{};
            } else if (!mountNow(found->second)) {
                status = found->second.failureStatus;
            } else {
                paths = std::vector<std::string>{found->second.mountPath.string()};
            }
        }
        if (paths && !paths->empty()) announce(mountHandlers);
        result(status, paths);
    });
    return 0;
}

std::shared_ptr<void> SimVolumes::observe(Handlers& handlers, std::function<void()> handler) {
    auto shared = std::make_shared<std::function<void()>>(std::move(handler));
    handlers.push_back(shared);
    return shared;
}

void SimVolumes::announce(Handlers& handlers) {
    for (const auto& weak : handlers)
        loop.post([weak] {
            if (auto handler = weak.lock()) (*handler)();
        });
}

std::shared_ptr<void> SimVolumes::observeDidWake(std::function<void()> handler) {
    return observe(wakeHandlers, std::move(handler));
}
std::shared_ptr<void> SimVolumes::observeDidMount(std::function<void()> handler) {
    return observe(mountHandlers, std::move(handler));
}
std::shared_ptr<void> SimVolumes::observeDidUnmount(std::function<void()> handler) {
    return observe(unmountHandlers, std::move(handler));
}

void SimNetworkPath::start(std::function<void(bool)> newHandler) {
    handler = std::move(newHandler);
    handler(available);
}

void SimNetworkPath::setAvailable(bool now) {
    available = now;
    if (handler) handler(available);
}

std::optional<std::vector<SidebarItem>> SimSidebar::snapshot() {
    if (!hasList) return std::nullopt;
    return entries;
}

std::optional<Url> SimSidebar::resolve(const SidebarItem& item) {
    auto url = Url::parse(item.target);
    if (!url) return std::nullopt;
    if (url->isFileUrl()) {
        std::error_code error;
        if (!fs::exists(url->path(), error)) return std::nullopt;
    }
    return url;
}

bool SimSidebar::insertAfter(const SidebarItem& after, const Url& url,
                             const std::optional<std::string>& name) {
    if (refusesInsert) return false;
    auto position = std::find(entries.begin(), entries.end(), after);
    if (position == entries.end()) return false;
    auto path = url.path();
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    auto shown = name.value_or(path.substr(path.find_last_of('/') + 1));
    entries.insert(position + 1, SidebarItem{url.string(), shown});
    return true;
}

bool SimSidebar::remove(const SidebarItem& item) {
    auto position = std::find(entries.begin(), entries.end(), item);
    if (position == entries.end()) return false;
    entries.erase(position);
    return true;
}

}  // namespace larkspire::sim
