#include "settings/SettingsWindowController.h"

#include <algorithm>
#include <cmath>

namespace larkspire {

const std::vector<SettingsTab>& SettingsWindowController::tabs() {
    static const std::vector<SettingsTab> all = {
        {sourceText("Allgemein"), "gearshape"},
        {sourceText("Neue Datei"), "doc.badge.plus"},
        {sourceText("Finder"), "folder"},
        {sourceText("Netzwerk"), "externaldrive.connected.to.line.below"},
        {sourceText("Scrollen"), "arrow.up.arrow.down"},
        {sourceText("Widgets"), "square.grid.2x2"},
        {sourceText("Über"), "info.circle"},
    };
    return all;
}

SettingsWindowController::SettingsWindowController(SettingsWindowFactory& factory, DefaultsStore& defaults,
                                                   ApplicationControl& application, const Wording& wording)
    : factory(factory), defaults(defaults), application(application), wording(wording) {}

void SettingsWindowController::createWindow() {
    auto shownTabs = tabs();
    for (auto& tab : shownTabs) tab.label = wording.shown(tab.label);
    window = factory.createSettingsWindow(shownTabs);
    window->setFrameAutosaveName(frameAutosaveName);
    refreshTabs();
    // Clamped as a double, so that a stored 1e30 gives the last tab like 9 does; NaN gives the first.
    auto last = static_cast<double>(tabs().size() - 1);
    double stored = defaults.doubleForKey(selectedTabKey);
    window->selectTab(static_cast<int>(std::isnan(stored) ? 0.0 : std::clamp(stored, 0.0, last)));
    // Set after restoring, so that restoring does not write the key.
    window->setOnSelect([this](int index) {
        defaults.set(selectedTabKey, Value(index));
        if (content && window->isVisible()) content->tabShown(index);
    });
    window->setOnHide([this] {
        if (content) content->tabShown(std::nullopt);
    });
}

void SettingsWindowController::setTabs(std::shared_ptr<SettingsTabs> tabs) {
    content = std::move(tabs);
    content->setOnChange([this] { refreshTabs(); });
    refreshTabs();
}

void SettingsWindowController::refreshTabs() {
    if (!window) return;
    for (int index = 0; index < static_cast<int>(tabs().size()); ++index)
        window->setTabContent(index, content ? content->content(index) : TabView{});
}

void SettingsWindowController::show(std::optional<int> tab) {
    if (!window) createWindow();
    // An index without a tab keeps the tab last shown rather than storing an index nothing can show.
    if (tab && *tab >= 0 && *tab < static_cast<int>(tabs().size())) window->selectTab(*tab);
    application.activateIgnoringOtherApps();
    if (!window->isVisible()) window->center();
    window->makeKeyAndOrderFront();
    if (content) content->tabShown(window->selectedTab());
}

}  // namespace larkspire
