#include "settings/SettingsTabs.h"

#ifndef LARKSPIRE_VERSION
#define LARKSPIRE_VERSION "?"
#endif
#ifndef LARKSPIRE_BUILD_NUMBER
#define LARKSPIRE_BUILD_NUMBER "?"
#endif

namespace larkspire {

TabView SettingsTabs::about() {
    auto& words = ports.wording;
    return TabView{.elements = {
                       TabRow{
                           .items = {TabImage{.image = "larkspire", .size = 64},
                                     TabColumn{
                                         .items = {TabText{.text = "Larkspire",
                                                           .style = TabTextStyle::title,
                                                           .semibold = true},
                                                   TabText{.text = versionLine(LARKSPIRE_VERSION,
                                                                               LARKSPIRE_BUILD_NUMBER)},
                                                   TabText{.text = words.shown(
                                                               "Kleine Verbesserungen für Finder und Maus.")}},
                                         .spacing = 4}},
                           .spacing = 16},
                       TabGroup{.title = words.shown("Danksagung"),
                                .content = {TabText{.text = words.shown("Gebaut mit Qt 6, nlohmann/json und GoogleTest."),
                                                    .style = TabTextStyle::caption},
                                            TabButton{
                                                .title = "www.qt.io",
                                                .action =
                                                    [&workspace = ports.workspace] {
                                                        if (auto url = Url::parse("https://www.qt.io"))
                                                            workspace.open(*url);
                                                    },
                                                .style = TabButtonStyle::link}}},
                   }};
}

}  // namespace larkspire
