#pragma once

#include "network/NetworkFavorite.h"
#include "platform/Alerts.h"
#include "platform/Clock.h"
#include "platform/DefaultsStore.h"
#include "platform/FolderPicker.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/NetworkPathMonitor.h"
#include "platform/ShareMounter.h"
#include "platform/SidebarFavorites.h"
#include "platform/Volumes.h"
#include "platform/Wording.h"
#include "platform/WorkQueue.h"
#include "platform/Workspace.h"
#include "platform/WorkspaceNotifications.h"
#include "platform/types/Signal.h"
#include "platform/types/Url.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace larkspire {

struct Ports;

struct NetworkFavoritesPorts {
    MainQueue& main;
    Clock& clock;
    WorkQueue& work;
    DefaultsStore& defaults;
    Log& log;
    Alerts& alerts;
    Workspace& workspace;
    FolderPicker& folderPicker;
    Volumes& volumes;
    ShareMounter& mounter;
    WorkspaceNotifications& notifications;
    NetworkPathMonitor& pathMonitor;
    SidebarFavorites& sidebar;
    const Wording& wording;

    static NetworkFavoritesPorts from(const Ports& ports);  // its share of the application's ports
};

// The network favourites: the stored list, which shares are mounted, and reconnecting the
// shares that are not, with back-off for those that keep failing.
class NetworkFavorites : public std::enable_shared_from_this<NetworkFavorites> {
  public:
    static constexpr const char* queueLabel = "de.halvik.Quirefold.network";
    // Where a stored list that could not be read is kept, so saving the new list does not lose it.
    static constexpr const char* unreadableFavoritesKey = "networkFavoritesUnreadable";
    static constexpr const char* addFailedTitle = sourceText("Nicht zur Seitenleiste hinzugefügt");

    static std::shared_ptr<NetworkFavorites> create(NetworkFavoritesPorts ports);  // loads the list

    void start();  // installs the triggers; once
    void check(bool resetBackoff = false);
    bool isMounted(const NetworkFavorite& favorite) const;
    void open(const NetworkFavorite& favorite);  // mounts on demand, with the user's help

    std::optional<std::string> add(const Url& folder);  // a message for the user, or nothing
    void remove(const NetworkFavorite& favorite);
    // Adds each folder in order; the messages of all of them show in one alert.
    void addFolders(const std::vector<Url>& folders);
    void chooseFavorites();  // the folder picker, then addFolders

    static std::string key(const std::string& shareUrl);
    void showAlert(const std::string& title, const std::string& message);

    const std::vector<NetworkFavorite>& favorites() const { return favoriteList; }
    const std::map<std::string, std::string>& mountPoints() const { return mountTable; }  // share key → path
    // Runs `changed` after every change of favorites() or mountPoints() while the observation is held.
    std::shared_ptr<void> observe(std::function<void()> changed);

    bool refreshing() const { return isRefreshing; }
    bool networkAvailable() const { return isNetworkAvailable; }
    const std::set<std::string>& mounting() const { return inFlight; }
    const std::map<std::string, int>& failures() const { return failureCounts; }
    const std::map<std::string, double>& nextAttempt() const { return nextAttempts; }

  private:
    explicit NetworkFavorites(NetworkFavoritesPorts ports);
    void load();
    void save();
    void refreshMountPoints(std::function<void()> then = {});
    void reconnectMissing();
    void mount(const std::string& share, bool allowUI,
               std::function<void(std::optional<std::string> mountPoint)> completion);
    void networkPathChanged(bool usable);
    void openFolder(const std::string& mountPoint, const NetworkFavorite& favorite);
    void notifyObservers();

    NetworkFavoritesPorts ports;
    std::vector<NetworkFavorite> favoriteList;
    std::map<std::string, std::string> mountTable;
    Logger log;
    RepeatingTimer timer;
    bool isRefreshing = false;
    bool isNetworkAvailable = true;
    std::set<std::string> inFlight;
    std::map<std::string, int> failureCounts;
    std::map<std::string, double> nextAttempts;
    std::vector<std::shared_ptr<void>> observations;
    Signal changes;
};

}  // namespace larkspire
