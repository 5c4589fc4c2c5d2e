#include "cutpaste/CutPasteSettings.h"
#include "overlay/OverlaySettings.h"
#include "settings/SettingsTabs.h"

namespace larkspire {

TabView SettingsTabs::finder() {
    auto& cutPaste = features.cutPaste;
    auto selectionEntry = features.updateSelectionBadge;
    auto& words = ports.wording;

    TabElement cutRow(
        TabRow{.items = {TabImage{.image = "scissors"},
                         TabText{.text = cutSummary(cutPaths, words), .style = TabTextStyle::caption},
                         TabSpacer{},
                         TabButton{.title = words.shown("Verwerfen"),
                                   .action = [&cutPaste] { cutPaste.cancelCut(); },
                                   .style = TabButtonStyle::small}},
               .tinted = true},
        !cutPaths.empty());
    return TabView{
        .elements = {
            TabGroup{
                .title = words.shown("Ausschneiden"),
                .content = {featureSwitch(
                                words.shown("⌘X im Finder schneidet aus"), Settings::cutPasteKey,
                                [&cutPaste] { return cutPaste.needsPermission(); },
                                [&cutPaste] { cutPaste.update(); }),
                            TabHint{words.shown("⌘X merkt Dateien vor und graut sie aus, ⌘V im Zielordner "
                                                "verschiebt sie.")},
                            cutRow}},
            TabGroup{.title = words.shown("Auswahl"),
                     .content =
                         {featureSwitch(
                              words.shown("Größe der Auswahl anzeigen"), Settings::selectionSizeKey,
                              [needs = features.selectionBadgeNeedsPermission] { return !needs || needs(); },
                              [selectionEntry] {
                                  if (selectionEntry) selectionEntry();
                              }),
                          TabHint{words.shown("Ein kleines Schild unten links im Finder-Fenster zeigt die "
                                              "Gesamtgröße der markierten Dateien und Ordner.")}}},
            accessibilityWarning(),
        }};
}

}  // namespace larkspire
