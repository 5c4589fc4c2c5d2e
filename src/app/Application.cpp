#include "app/Application.h"

#include "app/Settings.h"

namespace larkspire {

Application::Application(Ports ports)
    : ports(ports), settingsWindow(ports.settingsWindows, ports.defaults, ports.application, ports.wording),
      cutPaste(std::make_shared<CutPasteMonitor>(ports, notifications)),
      overlay(FinderOverlayController::create(FinderOverlayPorts::from(ports))) {
    cutPaste->setOverlayController(overlay);
    // The tabs live as long as the window controller, which this object owns.
    settingsWindow.setTabs(SettingsTabs::create(
        SettingsTabsPorts::from(ports, notifications),
        SettingsTabFeatures{
            .cutPaste = *cutPaste,
            .smoothScroller = [this]() -> SmoothScroller& { return smoothScroller(); },
            .updateSelectionBadge = [this] { overlay->updateTimer(); },
            .selectionBadgeNeedsPermission = [&elements =
                                                  ports.uiElements] { return elements.needsPermission(); },
            .networkFavorites = [this]() -> NetworkFavorites& { return networkFavorites(); },
            .desktopWidgets = [this]() -> DesktopWidgets& { return desktopWidgets(); },
        }));
}

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
    overlay->start();

    bool featureNeedsTrust =
        (defaults.boolForKey(Settings::cutPasteKey) && cutPaste->needsPermission()) ||
        (defaults.boolForKey(Settings::selectionSizeKey) && ports.uiElements.needsPermission());
    if (featureNeedsTrust && !cutPaste->hasPermission() &&
        !defaults.boolForKey(Settings::didAskAccessibilityKey)) {
        // The flag goes first, so the request is never repeated by a later start whatever the user answers.
        defaults.setBool(Settings::didAskAccessibilityKey, true);
        cutPaste->requestPermission();
    }
    cutPaste->update();

    smoothScroller().update();
    networkFavorites().start();
    desktopWidgets().update();

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
        scroller = SmoothScroller::create(SmoothScrollerPorts::from(ports));
    }
    return *scroller;
}

DesktopWidgets& Application::desktopWidgets() {
    if (!widgets) {
        widgets = std::make_unique<DesktopWidgets>(DesktopWidgetsPorts::from(ports));
    }
    return *widgets;
}

NetworkFavorites& Application::networkFavorites() {
    if (!favorites) {
        favorites = NetworkFavorites::create(NetworkFavoritesPorts::from(ports));
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
