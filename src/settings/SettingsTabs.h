#pragma once

#include "cutpaste/CutPasteMonitor.h"
#include "network/NetworkFavorites.h"
#include "platform/Accessibility.h"
#include "platform/ApplicationControl.h"
#include "platform/DefaultsStore.h"
#include "platform/FinderExtension.h"
#include "platform/LoginItem.h"
#include "platform/MainQueue.h"
#include "platform/ProgramWindows.h"
#include "platform/StatusItem.h"
#include "platform/Wording.h"
#include "platform/Workspace.h"
#include "platform/types/NotificationCenter.h"
#include "platform/types/TabView.h"
#include "scroll/SmoothScroller.h"
#include "widgets/DesktopWidgets.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace larkspire {

struct Ports;

struct SettingsTabsPorts {
    MainQueue& main;
    DefaultsStore& defaults;
    LoginItem& loginItem;
    FinderExtension& finderExtension;
    Accessibility& accessibility;
    ApplicationControl& application;
    NotificationCenter& notifications;
    Workspace& workspace;
    const Wording& wording;
    ProgramWindows& programWindows;

    static SettingsTabsPorts from(const Ports& ports,
                                  NotificationCenter& notifications);  // its share of the application's ports
};

// The feature objects the tabs switch and show; the Application owns them.
struct SettingsTabFeatures {
    CutPasteMonitor& cutPaste;
    std::function<SmoothScroller&()> smoothScroller;  // made on first use
    std::function<void()> updateSelectionBadge;       // the selection badge's switching entry point
    std::function<bool()> selectionBadgeNeedsPermission;
    std::function<NetworkFavorites&()> networkFavorites;  // made on first use
    std::function<DesktopWidgets&()> desktopWidgets;      // made on first use
};

// The content of the seven tabs, described from current state. Platform state that can change
// outside the program is polled, but only while its tab is on screen.
class SettingsTabs : public std::enable_shared_from_this<SettingsTabs> {
  public:
    static constexpr int generalTab = 0, newFileTab = 1, finderTab = 2, networkTab = 3, scrollTab = 4,
                         widgetsTab = 5, aboutTab = 6;
    static constexpr double platformPollInterval = 2.0;
    static constexpr double gameModePollInterval = 1.0;
    // The Network tab lists at most this many favourites at a time; a longer list pages and searches.
    static constexpr std::size_t favoritesPerPage = 10;

    static std::shared_ptr<SettingsTabs> create(SettingsTabsPorts ports, SettingsTabFeatures features);

    TabView content(int index);  // nothing for an index without a tab
    // Runs after any change the tabs should show; the window describes its tabs again.
    void setOnChange(std::function<void()> onChange) { this->onChange = std::move(onChange); }
    // The tab now on screen, or nothing while the window is hidden: starts and stops the polling.
    void tabShown(std::optional<int> index);

    // The new-file tab's extension buttons: "Bericht.txt" with "md" gives "Bericht.md".
    void replaceExtension(const std::string& extension);

  private:
    SettingsTabs(SettingsTabsPorts ports, SettingsTabFeatures features);
    void observeCutState();
    void observeFeatures();  // the favourites and the widgets, once the window first shows
    void readPlatformState();
    void readGameMode();
    void changed();
    std::function<void()> then(std::function<void()> action);  // the action, then a redraw
    // Stores, asks for the permission when the feature needs it and it is missing, then switches.
    TabSwitch featureSwitch(const std::string& title, const char* key, std::function<bool()> needsPermission,
                            std::function<void()> entryPoint);
    TabElement accessibilityWarning() const;

    TabView general();
    TabView newFile();
    TabView finder();
    TabView network();
    TabView scroll();
    TabGroup excludedPrograms();
    TabView widgets();
    TabView about();

    SettingsTabsPorts ports;
    SettingsTabFeatures features;
    std::function<void()> onChange;
    std::shared_ptr<void> cutStateObservation;
    std::shared_ptr<void> favoritesObservation;
    std::shared_ptr<void> editingObservation;

    LoginItemStatus loginStatus = LoginItemStatus::notRegistered;
    bool extensionEnabled = false;
    bool trusted = false;
    bool gameModeOn = false;
    std::vector<std::string> cutPaths;  // the tab's own copy, replaced on every change
    std::string favoritesSearch;        // as typed into the Network tab's search field
    std::size_t favoritesFirst = 0;     // the first favourite shown, counted among those the search finds
    RepeatingTimer platformPoll;
    RepeatingTimer gameModePoll;
};

// "Ausgeschnitten: a, b, c und 2 weitere": the last components of the first three paths.
std::string cutSummary(const std::vector<std::string>& paths, const Wording& words = sourceWording());

// "10.000": the digits in groups of three, as German writes a count; English groups with ",".
std::string groupedNumber(std::size_t number, NumberMarks marks = {});

// The version line of the About tab; a missing part shows as "?".
std::string versionLine(const std::optional<std::string>& shortVersion,
                        const std::optional<std::string>& build);

}  // namespace larkspire
