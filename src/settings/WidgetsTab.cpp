#include "settings/SettingsTabs.h"
#include "stats/StatsSettings.h"
#include "widgets/WidgetSettings.h"

namespace larkspire {

TabView SettingsTabs::widgets() {
    auto& widgets = features.desktopWidgets();
    auto& defaults = ports.defaults;
    auto& words = ports.wording;
    auto self = weak_from_this();
    auto widgetToggle = [&](const std::string& title, const char* key) {
        return TabSwitch{.title = title,
                         .isOn = {.get = [&defaults, key] { return defaults.boolForKey(key); },
                                  .set =
                                      [&defaults, &widgets, key, self](bool on) {
                                          defaults.setBool(key, on);
                                          widgets.update();
                                          if (auto tabs = self.lock()) tabs->changed();
                                      }}};
    };
    bool editing = widgets.isEditing();
    return TabView{
        .elements = {
            TabGroup{
                .title = words.shown("Auf dem Schreibtisch anzeigen"),
                .content =
                    {
                        widgetToggle(words.shown("CPU & Arbeitsspeicher"), Settings::systemMonitorKey),
                        TabHint{words.shown(
                            "Last jedes CPU-Kerns (E = Effizienz-, P = Performance-Kerne), CPU-Auslastung "
                            "und belegter Arbeitsspeicher, jede Sekunde aktuell.")},
                        TabSwitch{.title = words.shown("CPU-Temperatur anzeigen"),
                                  .isOn = {.get =
                                               [&defaults] {
                                                   return defaults.boolForKey(
                                                       Settings::systemMonitorTemperatureKey);
                                               },
                                           .set =
                                               [&defaults](bool on) {
                                                   // The sampler reads it on every refresh.
                                                   defaults.setBool(Settings::systemMonitorTemperatureKey,
                                                                    on);
                                               }},
                                  .enabled = defaults.boolForKey(Settings::systemMonitorKey),
                                  .indented = true},
                        TabDivider{},
                        widgetToggle(words.shown("Uhr & Datum"), Settings::clockWidgetKey),
                        TabHint{words.shown("Großer Tag, Monat, Uhrzeit und Wochentag.")},
                    }},
            TabGroup{.title = words.shown("Anordnen"),
                     .content =
                         {TabButton{.title = editing ? words.shown("Anordnen beenden")
                                                     : words.shown("Widgets anordnen"),
                                    .action = [&widgets] { widgets.setEditing(!widgets.isEditing()); }},
                          TabHint{words.shown(
                              "Im Anordnen-Modus die Widgets mit der Maus an die gewünschte Stelle ziehen – "
                              "auch auf einen anderen Bildschirm – und mit dem Dreieck unten rechts die "
                              "Größe ändern. Die Widgets liegen hinter allen Fenstern.")}}},
        }};
}

}  // namespace larkspire
