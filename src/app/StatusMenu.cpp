#include "app/Application.h"
#include "app/Settings.h"

namespace larkspire {

void Application::updateStatusIcon() {
    if (!statusItem || !statusItem->hasButton()) return;
    auto count = cutPaste->cutPaths().size();
    if (count > 0) {
        auto n = std::to_string(count);
        statusItem->setIcon(StatusIcon{
            .image = "scissors",
            .accessibilityDescription = "Ausgeschnitten",
            .title = " " + n,
            .tooltip = n + " Datei(en) ausgeschnitten – mit ⌘V im Finder verschieben",
        });
        return;
    }
    statusItem->setIcon(StatusIcon{
        .image = "macwindow",
        .accessibilityDescription = "Larkspire",
        .title = "",
        .tooltip = "Larkspire",
    });
}

Menu Application::menuNeedsUpdate() {
    Menu menu;
    menu.push_back(MenuItem::heading("Larkspire"));
    if (auto count = cutPaste->cutPaths().size(); count > 0) {
        menu.push_back(MenuItem::separator());
        menu.push_back(MenuItem{.title = std::to_string(count) + " Datei(en) ausgeschnitten – verwerfen",
                                .image = "scissors",
                                .action = [weak = weak_from_this()](const MenuItem&) {
                                    if (auto self = weak.lock()) self->discardCut();
                                }});
    }
    menu.push_back(MenuItem::separator());
    menu.push_back(MenuItem{.title = "Flüssig scrollen",
                            .image = "arrow.up.arrow.down",
                            .checked = ports.defaults.boolForKey(Settings::smoothScrollKey),
                            .action = [weak = weak_from_this()](const MenuItem&) {
                                if (auto self = weak.lock()) self->toggleSmoothScroll();
                            }});
    menu.push_back(MenuItem::separator());
    menu.push_back(MenuItem{.title = "Einstellungen…",
                            .action =
                                [weak = weak_from_this()](const MenuItem&) {
                                    if (auto self = weak.lock()) self->openSettings();
                                },
                            .keyEquivalent = ","});
    menu.push_back(
        MenuItem{.title = "Larkspire beenden",
                 .action = [&application = ports.application](const MenuItem&) { application.terminate(); },
                 .keyEquivalent = "q"});
    return menu;
}

void Application::toggleSmoothScroll() {
    auto& defaults = ports.defaults;
    bool on = !defaults.boolForKey(Settings::smoothScrollKey);
    defaults.setBool(Settings::smoothScrollKey, on);
    if (on && !ports.accessibility.isTrusted()) ports.accessibility.prompt();
    smoothScroller().update();
}

void Application::openSettings() {
    settingsWindow.show(std::nullopt);
}

void Application::discardCut() {
    cutPaste->cancelCut();
}

}  // namespace larkspire
