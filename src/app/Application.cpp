#include "app/Application.h"

#include "app/Settings.h"

namespace larkspire {

Application::Application(Ports ports)
    : ports(ports), settingsWindow(ports.settingsWindows, ports.defaults, ports.application),
      cutPaste(std::make_shared<CutPasteMonitor>(ports, notifications)) {}

void Application::applicationDidFinishLaunching() {
    statusItem = ports.statusBar.createStatusItem();
    if (statusItem->hasButton()) statusItem->setImageLeading();
    statusItem->setMenuProvider([weak = weak_from_this()] {
        auto self = weak.lock();
        return self ? self->menuNeedsUpdate() : Menu{};
    });
    updateStatusIcon();
    cutStateObservation = notifications.observe("CutPasteMonitor.cutStateChanged",
                                                weakly(weak_from_this(), [](Application& self) {
                                                    self.updateStatusIcon();
                                                    self.statusItem->menuContentChanged();
                                                }));

    auto& defaults = ports.defaults;
    defaults.registerDefaults(Settings::registeredDefaults());
    defaults.remove(Settings::cutPathsKey);

    registerLoginItemOnce(Settings::didSetupLoginKey);
    registerLoginItemOnce(Settings::didMigrateToLarkspireKey);

    bool featureNeedsTrust =
        defaults.boolForKey(Settings::cutPasteKey) || defaults.boolForKey(Settings::selectionSizeKey);
    if (featureNeedsTrust && !cutPaste->hasPermission() &&
        !defaults.boolForKey(Settings::didAskAccessibilityKey)) {
        // The flag goes first, so the request is never repeated by a later start whatever the user answers.
        defaults.setBool(Settings::didAskAccessibilityKey, true);
        cutPaste->requestPermission();
    }
    cutPaste->update();

    smoothScroller().update();
    networkFavorites().start();

    if (!ports.finderExtension.isEnabled()) {
        ports.main.postAfter(
            0.5, weakly(weak_from_this(), [](Application& self) { self.settingsWindow.show(0); }));
    }
}

void Application::registerLoginItemOnce(const char* flagKey) {
    if (ports.defaults.boolForKey(flagKey)) return;
    ports.loginItem.registerItem();  // a failure is not retried; the General tab shows the state
    ports.defaults.setBool(flagKey, true);
}

SmoothScroller& Application::smoothScroller() {
    if (!scroller) {
        scroller = SmoothScroller::create(SmoothScrollerPorts{
            .main = ports.main,
            .clock = ports.clock,
            .defaults = ports.defaults,
            .accessibility = ports.accessibility,
            .log = ports.log,
            .wheelEvents = ports.wheelEvents,
            .scrollEvents = ports.scrollEvents,
            .displayLinks = ports.displayLinks,
            .mainDisplay = ports.mainDisplay,
            .gameMode = ports.gameMode,
        });
    }
    return *scroller;
}

NetworkFavorites& Application::networkFavorites() {
    if (!favorites) {
        favorites = NetworkFavorites::create(NetworkFavoritesPorts{
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
        });
    }
    return *favorites;
}

bool Application::applicationShouldHandleReopen() {
    settingsWindow.show(std::nullopt);
    return false;
}

void Application::openUrls(const std::vector<std::string>& urls) {
    pendingUrls.insert(pendingUrls.end(), urls.begin(), urls.end());
    // An alert runs its own event loop, in which a further request can arrive; it waits its turn.
    if (handlingUrls) return;
    handlingUrls = true;
    while (!pendingUrls.empty()) {
        auto url = std::move(pendingUrls.front());
        pendingUrls.pop_front();
        openUrl(url);
    }
    handlingUrls = false;
}

void Application::openUrl(const std::string& text) {
    auto url = Url::parse(text);
    if (!url || url->scheme() != urlScheme || !url->host()) return;
    if (*url->host() == "create") handleCreate(*url);
    if (*url->host() == "favorite") handleFavorite(*url);
    // Hosts without a handler yet are skipped like unknown ones.
}

}  // namespace larkspire
