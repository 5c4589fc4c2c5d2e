#pragma once

#include "platform/Log.h"
#include "platform/NetworkPathMonitor.h"
#include "platform/ShareMounter.h"
#include "platform/Volumes.h"
#include "platform/WorkspaceNotifications.h"
#include "platform/linux/mounts/MountInfo.h"
#include "platform/linux/mounts/MountQuestions.h"

#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace larkspire::linux_desktop {

// Network shares through GIO, the machinery the desktop's file managers share: gvfs mounts with
// their URI and their local path under $XDG_RUNTIME_DIR/gvfs, kernel mounts from mountinfo,
// mounting with g_file_mount_enclosing_volume, wake from logind, the network from GIO's monitor.
// Create and use it on the main thread, whose GLib context the Qt event loop runs; only
// mountedVolumes() and folderProperties() may be called from other threads.
class GioNetwork : public Volumes,
                   public ShareMounter,
                   public WorkspaceNotifications,
                   public NetworkPathMonitor {
  public:
    explicit GioNetwork(Log& log, std::string mountInfoFile = "/proc/self/mountinfo");
    ~GioNetwork() override;
    GioNetwork(const GioNetwork&) = delete;
    GioNetwork& operator=(const GioNetwork&) = delete;

    std::vector<MountedVolume> mountedVolumes() const override;
    std::optional<FolderVolumeProperties> folderProperties(const std::string& path) const override;
    int mountAsync(const std::string& shareUrl, bool allowUI, Result result) override;
    std::shared_ptr<void> observeDidWake(std::function<void()> handler) override;
    std::shared_ptr<void> observeDidMount(std::function<void()> handler) override;
    std::shared_ptr<void> observeDidUnmount(std::function<void()> handler) override;
    void start(std::function<void(bool satisfied)> handler) override;

    // Who answers GIO's questions when the user opens a share; until set, they are answered by giving up.
    void setMountQuestions(MountQuestions questions) { this->questions = std::move(questions); }

    // Called by GLib on the main thread.
    void gioMountsChanged();
    void kernelMountsChanged();
    void wokeUp();
    void networkChanged(bool available);
    void mountFinished(void* file, void* asyncResult, Result result, const std::string& share);

  private:
    using Handlers = std::vector<std::weak_ptr<std::function<void()>>>;
    static void call(Handlers& handlers);
    std::vector<MountEntry> kernelMounts() const;
    std::set<std::string> shareMountPoints() const;
    std::vector<MountedVolume> allVolumes() const;  // gvfs and kernel mounts, local ones without URL

    Logger log;
    std::string mountInfoFile;
    void* volumeMonitor = nullptr;
    void* unixMountMonitor = nullptr;
    void* systemBus = nullptr;
    unsigned sleepSubscription = 0;
    std::vector<unsigned long> signalIds;
    unsigned long networkSignal = 0;
    mutable std::mutex mutex;
    std::vector<MountedVolume> gvfsMounts;    // refreshed on the main thread, read from any
    std::set<std::string> kernelMountPoints;  // of shares only
    Handlers wakeHandlers, mountHandlers, unmountHandlers;
    std::function<void(bool)> networkHandler;
    MountQuestions questions;
};

}  // namespace larkspire::linux_desktop
