#include "newfile/NewFileSettings.h"
#include "settings/SettingsTabs.h"

namespace larkspire {

namespace {

// The field shows the default until the user has typed a name.
std::string storedName(const DefaultsStore& defaults) {
    return defaults.stringForKey(Settings::fileNameKey).value_or(Settings::defaultFileName);
}

}  // namespace

void SettingsTabs::replaceExtension(const std::string& extension) {
    auto name = Settings::sanitized(storedName(ports.defaults));
    std::string stem;
    if (name) {
        // The same rule as the numbering of new files: a full stop at the start or the end is no extension.
        auto dot = name->rfind('.');
        stem = dot != std::string::npos && dot > 0 && dot + 1 < name->size() ? name->substr(0, dot) : *name;
    }
    if (stem.empty()) stem = "Neu";
    ports.defaults.set(Settings::fileNameKey, Value(stem + "." + extension));
    changed();
}

TabView SettingsTabs::newFile() {
    auto& defaults = ports.defaults;
    auto& words = ports.wording;
    auto self = weak_from_this();
    auto replacing = [self](std::string extension) {
        return [self, extension] {
            if (auto tabs = self.lock()) tabs->replaceExtension(extension);
        };
    };
    bool invalid = !Settings::sanitized(storedName(defaults));

    TabTextField name{
        .text = {.get = [&defaults] { return storedName(defaults); },
                 .set =
                     [&defaults, self](std::string typed) {
                         // Stored as typed; the name is cleaned where it is used.
                         defaults.set(Settings::fileNameKey, Value(typed));
                         if (auto tabs = self.lock()) tabs->changed();
                     }},
        .placeholder = Settings::defaultFileName,
    };
    return TabView{
        .elements =
            {
                TabGroup{
                    .title = words.shown("Rechtsklick im Finder → „Neue Datei“"),
                    .content =
                        {
                            TabText{.text = words.shown("Dateiname inkl. Endung")},
                            TabRow{.items = {name,
                                             TabButton{.title = words.shown("Standard"),
                                                       .action = then([&defaults] {
                                                           defaults.set(Settings::fileNameKey,
                                                                        Value(Settings::defaultFileName));
                                                       })},
                                             TabButton{.title = ".md", .action = replacing("md")},
                                             TabButton{.title = ".txt", .action = replacing("txt")}}},
                            TabElement(
                                TabText{.text = filled(words.shown(
                                                           "Ungültiger Name – es wird „%1“ verwendet."),
                                                       {Settings::defaultFileName}),
                                        .style = TabTextStyle::caption,
                                        .color = TabColor::red},
                                invalid),
                            TabHint{words.shown("Gibt es die Datei schon, heißt die neue „Neu (1).txt“, „Neu "
                                                "(2).txt“ usw.")},
                            TabSwitch{.title = words.shown("Datei nach dem Erstellen öffnen"),
                                      .isOn = {.get =
                                                   [&defaults] {
                                                       return defaults.boolForKey(
                                                           Settings::openAfterCreateKey);
                                                   },
                                               .set =
                                                   [&defaults](bool on) {
                                                       defaults.setBool(Settings::openAfterCreateKey, on);
                                                   }}},
                        },
                }}};
}

}  // namespace larkspire
