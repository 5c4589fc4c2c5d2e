#pragma once

#include "platform/NetworkPathMonitor.h"
#include "platform/ShareMounter.h"
#include "platform/SidebarFavorites.h"
#include "platform/Volumes.h"
#include "platform/WorkspaceNotifications.h"
#include "platform/sim/SimMainLoop.h"

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace larkspire::sim {

// A file server on the simulated network: its folders live in a real directory while it is not
// mounted and move to the mount point while it is.
struct SimShare {
    std::string url;                  // the URL the desktop reports for the mounted volume
    bool reachable = true;            // false: every mount fails with `failureStatus`
    int failureStatus = 64;           // what the failed mount reports
    bool reportsMountPoint = true;    // false: answers success but mounts nothing and names no path
    std::filesystem::path storage;    // where its contents are kept while unmounted
    std::filesystem::path mountPath;  // where it appears once mounted
};

struct SimMountRequest {
    std::string shareUrl;
    bool allowUI = false;
    double at = 0;
};

// Volumes, mounting and the session's wake and volume announcements of the simulated desktop.
class SimVolumes : public Volumes, public ShareMounter, public WorkspaceNotifications {
  public:
    explicit SimVolumes(SimMainLoop& loop);
    ~SimVolumes() override;

    // A share on the network, reached by mount requests for exactly `url`; its folders are created empty.
    SimShare& addShare(const std::string& url, const std::vector<std::string>& folders = {});
    // Mounts or ejects a share as the user would; both are announced.
    void mountShare(const std::string& url);
    void unmountShare(const std::string& url);
    void wake();                                               // the computer wakes from sleep
    std::filesystem::path root() const { return rootFolder; }  // a local folder for the test's own files
    std::filesystem::path mountPathOf(const std::string& url);

    std::vector<MountedVolume> mountedVolumes() const override;
    std::optional<FolderVolumeProperties> folderProperties(const std::string& path) const override;
    int mountAsync(const std::string& shareUrl, bool allowUI, Result result) override;
    std::shared_ptr<void> observeDidWake(std::function<void()> handler) override;
    std::shared_ptr<void> observeDidMount(std::function<void()> handler) override;
    std::shared_ptr<void> observeDidUnmount(std::function<void()> handler) override;

    double mountLatency = 1.0;     // seconds until a mount request completes
    int startStatus = 0;           // non-zero: requests do not start
    bool failEnumeration = false;  // the volume list comes back empty
    std::vector<SimMountRequest> requests;
    int mostInFlightAtOnce = 0;

  private:
    using Handlers = std::vector<std::weak_ptr<std::function<void()>>>;
    std::shared_ptr<void> observe(Handlers& handlers, std::function<void()> handler);
    void announce(Handlers& handlers);
    bool mountNow(SimShare& share);  // false when it is not reachable

    SimMainLoop& loop;
    std::filesystem::path rootFolder;
    mutable std::mutex mutex;  // the volume list is read from background work
    std::map<std::string, SimShare> shares;
    std::vector<std::string> mountedUrls;
    int inFlight = 0;
    Handlers wakeHandlers, mountHandlers, unmountHandlers;
};

// The network path as the monitor sees it.
class SimNetworkPath : public NetworkPathMonitor {
  public:
    void start(std::function<void(bool)> newHandler) override;
    void setAvailable(bool available);  // reports the change like the monitor would
    bool available = true;

  private:
    std::function<void(bool)> handler;
};

// The file manager's sidebar favourites: entries with a target URL and a display name.
class SimSidebar : public SidebarFavorites {
  public:
    std::optional<std::vector<SidebarItem>> snapshot() override;
    std::optional<Url> resolve(const SidebarItem& item) override;  // file targets resolve while they exist
    bool insertAfter(const SidebarItem& after, const Url& url,
                     const std::optional<std::string>& name) override;
    bool remove(const SidebarItem& item) override;

    std::vector<SidebarItem> entries{{"file:///Applications", "Programme"}};
    bool hasList = true;
    bool refusesInsert = false;
};

}  // namespace larkspire::sim
