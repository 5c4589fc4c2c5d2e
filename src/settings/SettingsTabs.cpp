#include "settings/SettingsTabs.h"

#include "platform/Ports.h"
#include "settings/SettingsWindowController.h"

namespace larkspire {

SettingsTabsPorts SettingsTabsPorts::from(const Ports& ports, NotificationCenter& notifications) {
    return SettingsTabsPorts{
        .main = ports.main,
        .defaults = ports.defaults,
        .loginItem = ports.loginItem,
        .finderExtension = ports.finderExtension,
        .accessibility = ports.accessibility,
        .application = ports.application,
        .notifications = notifications,
        .workspace = ports.workspace,
        .wording = ports.wording,
        .programWindows = ports.programWindows,
    };
}

std::shared_ptr<SettingsTabs> SettingsTabs::create(SettingsTabsPorts ports, SettingsTabFeatures features) {
    std::shared_ptr<SettingsTabs> tabs(new SettingsTabs(ports, std::move(features)));
    tabs->observeCutState();
    return tabs;
}

SettingsTabs::SettingsTabs(SettingsTabsPorts ports, SettingsTabFeatures features)
    : ports(ports), features(std::move(features)) {}

void SettingsTabs::observeCutState() {
    cutStateObservation = ports.notifications.observe(CutPasteMonitor::cutStateChanged,
                                                      weakly(weak_from_this(), [](SettingsTabs& self) {
                                                          self.cutPaths = self.features.cutPaste.cutPaths();
                                                          self.changed();
                                                      }));
}

TabView SettingsTabs::content(int index) {
    switch (index) {
    case generalTab:
        return general();
    case newFileTab:
        return newFile();
    case finderTab:
        return finder();
    case networkTab:
        return network();
    case scrollTab:
        return scroll();
    case widgetsTab:
        return widgets();
    case aboutTab:
        return about();
    default:
        return {};
    }
}

void SettingsTabs::observeFeatures() {
    if (favoritesObservation) return;
    favoritesObservation = features.networkFavorites().observe(
        weakly(weak_from_this(), [](SettingsTabs& self) { self.changed(); }));
    editingObservation = features.desktopWidgets().observeEditing([weak = weak_from_this()] {
        if (auto self = weak.lock()) self->changed();
    });
}

void SettingsTabs::tabShown(std::optional<int> index) {
    if (index) observeFeatures();
    bool polledPlatform = index == generalTab || index == finderTab || index == scrollTab;
    if (!polledPlatform) {
        platformPoll.invalidate();
    } else if (!platformPoll.isValid()) {
        // A tab coming into view shows the state as it is now, not as it was when last polled.
        readPlatformState();
        platformPoll = ports.main.scheduleRepeating(
            platformPollInterval,
            weakly(weak_from_this(), [](SettingsTabs& self) { self.readPlatformState(); }));
    }
    if (index != scrollTab) {
        gameModePoll.invalidate();
    } else if (!gameModePoll.isValid()) {
        readGameMode();
        gameModePoll = ports.main.scheduleRepeating(
            gameModePollInterval, weakly(weak_from_this(), [](SettingsTabs& self) { self.readGameMode(); }));
    }
}

void SettingsTabs::readPlatformState() {
    auto status = ports.loginItem.status();
    bool extension = ports.finderExtension.isEnabled();
    bool isTrusted = ports.accessibility.isTrusted();
    bool differs = status != loginStatus || extension != extensionEnabled || isTrusted != trusted;
    loginStatus = status;
    extensionEnabled = extension;
    trusted = isTrusted;
    if (differs) changed();
}

void SettingsTabs::readGameMode() {
    bool on = features.smoothScroller().gameModeActive();
    if (on == gameModeOn) return;
    gameModeOn = on;
    changed();
}

void SettingsTabs::changed() {
    if (onChange) onChange();
}

std::function<void()> SettingsTabs::then(std::function<void()> action) {
    return [weak = weak_from_this(), action = std::move(action)] {
        action();
        if (auto self = weak.lock()) self->changed();
    };
}

TabSwitch SettingsTabs::featureSwitch(const std::string& title, const char* key,
                                      std::function<bool()> needsPermission,
                                      std::function<void()> entryPoint) {
    auto& defaults = ports.defaults;
    return TabSwitch{
        .title = title,
        .isOn = {.get = [&defaults, key] { return defaults.boolForKey(key); },
                 .set =
                     [weak = weak_from_this(), key, needsPermission = std::move(needsPermission),
                      entryPoint = std::move(entryPoint)](bool on) {
                         auto self = weak.lock();
                         if (!self) return;
                         self->ports.defaults.setBool(key, on);
                         if (on && needsPermission() && !self->ports.accessibility.isTrusted())
                             self->features.cutPaste.requestPermission();
                         entryPoint();
                         self->changed();
                     }},
    };
}

TabElement SettingsTabs::accessibilityWarning() const {
    auto& cutPaste = features.cutPaste;
    auto& words = ports.wording;
    return TabElement(
        TabRow{
            .items =
                {TabImage{.image = "exclamationmark.triangle.fill", .tint = TabColor::orange},
                 TabText{.text = words.shown(
                             "Dafür braucht Larkspire den Zugriff unter „Gerätesteuerung und Datenzugriff“."),
                         .style = TabTextStyle::caption},
                 TabButton{.title = words.shown("Erlauben…"),
                           .action = [&cutPaste] { cutPaste.openAccessibilitySettings(); },
                           .style = TabButtonStyle::small}}},
        !trusted);
}

std::string cutSummary(const std::vector<std::string>& paths, const Wording& words) {
    std::string names;
    for (std::size_t index = 0; index < paths.size() && index < 3; ++index) {
        const auto& path = paths[index];
        auto slash = path.find_last_of('/');
        if (index > 0) names += ", ";
        names += slash == std::string::npos ? path : path.substr(slash + 1);
    }
    if (paths.size() > 3)
        return filled(words.shown("Ausgeschnitten: %1 und %2 weitere"),
                      {names, std::to_string(paths.size() - 3)});
    return filled(words.shown("Ausgeschnitten: %1"), {names});
}

std::string versionLine(const std::optional<std::string>& shortVersion,
                        const std::optional<std::string>& build) {
    return "Version " + shortVersion.value_or("?") + " (" + build.value_or("?") + ")";
}

}  // namespace larkspire
