#pragma once

#include "cutpaste/CutPasteMonitor.h"
#include "network/NetworkFavorites.h"
#include "overlay/FinderOverlayController.h"
#include "platform/Ports.h"
#include "platform/types/NotificationCenter.h"
#include "platform/types/Url.h"
#include "scroll/SmoothScroller.h"
#include "settings/SettingsWindowController.h"
#include "widgets/DesktopWidgets.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace larkspire {

// The composition root and the application delegate: owns one instance of each feature,
// runs the start-up sequence, routes URL requests and keeps the status item.
class Application : public std::enable_shared_from_this<Application> {
  public:
    static constexpr const char* urlScheme = "quirefold";

    explicit Application(Ports ports);

    void applicationDidFinishLaunching();
    bool applicationShouldHandleReopen();  // shows the settings window; the platform does nothing more
    void openUrls(const std::vector<std::string>& urls);  // handled one after the other, in order

    // Status item and menu.
    void updateStatusIcon();
    Menu menuNeedsUpdate();
    void openSettings();
    void discardCut();

    // A new-file request: host "create" with the query items "dir" and "sel".
    void handleCreate(const Url& url);
    // An add-to-favourites request: host "favorite" with one "path" query item per folder.
    void handleFavorite(const Url& url);
    void openFavorite(const MenuItem& sender);

    NotificationCenter& notificationCenter() { return notifications; }
    SettingsWindowController& settingsWindowController() { return settingsWindow; }
    SmoothScroller& smoothScroller();  // made on first use
    void toggleSmoothScroll();
    DesktopWidgets& desktopWidgets();  // made on first use
    void toggleWidget(const MenuItem& sender);
    void toggleWidgetEditing();
    StatusItem* statusItemForTesting() { return statusItem.get(); }
    CutPasteMonitor& cutPasteMonitor() { return *cutPaste; }
    FinderOverlayController& finderOverlayController() { return *overlay; }
    NetworkFavorites& networkFavorites();  // made on first use

  private:
    MenuAction menuAction(void (Application::*method)());  // does nothing once the application is gone
    void openUrl(const std::string& text);
    void registerLoginItemOnce(const char* flagKey);

    Ports ports;
    NotificationCenter notifications;
    SettingsWindowController settingsWindow;
    std::unique_ptr<StatusItem> statusItem;
    std::shared_ptr<void> cutStateObservation;
    std::shared_ptr<SmoothScroller> scroller;
    std::unique_ptr<DesktopWidgets> widgets;
    std::shared_ptr<CutPasteMonitor> cutPaste;
    std::shared_ptr<FinderOverlayController> overlay;
    std::shared_ptr<NetworkFavorites> favorites;
    std::deque<std::string> pendingUrls;  // arrived while an earlier URL was still being handled
    bool handlingUrls = false;
};

}  // namespace larkspire
