#include "platform/qt/words/SessionWording.h"

#include <QCoreApplication>
#include <cstdlib>

namespace larkspire::qt {

Language languageOf(std::string_view localeName) {
    if (!localeName.starts_with("de")) return Language::english;
    auto rest = localeName.substr(2);
    return rest.empty() || rest.front() == '_' || rest.front() == '.' || rest.front() == '@'
               ? Language::german
               : Language::english;
}

Language sessionLanguage(const std::function<const char*(const char*)>& environment) {
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = environment(name);
        if (!value || !*value) continue;
        std::string_view setting(value);
        // LANGUAGE lists the languages in the user's order of preference; the first one is shown.
        if (auto colon = setting.find(':'); colon != std::string_view::npos)
            setting = setting.substr(0, colon);
        if (setting.empty()) continue;
        // The C locale names no language, so programs show their texts as written: here the German.
        auto base = setting.substr(0, setting.find('.'));
        if (base == "C" || base == "POSIX") return Language::german;
        return languageOf(setting);
    }
    return Language::german;
}

Language sessionLanguage() {
    return sessionLanguage([](const char* name) { return std::getenv(name); });
}

SessionWording::SessionWording(const Wording& desktop, Language language)
    : desktop(desktop), shownLanguage(language) {
    if (language == Language::english) loaded = catalogue.load(":/larkspire/words/larkspire_en.qm");
    if (loaded) QCoreApplication::installTranslator(&catalogue);
}

SessionWording::~SessionWording() {
    if (loaded) QCoreApplication::removeTranslator(&catalogue);
}

std::string SessionWording::english(const std::string& german) const {
    if (!loaded) return {};
    // The catalogue is keyed by the German text itself; the context is empty.
    return catalogue.translate(nullptr, german.c_str()).toStdString();
}

std::string SessionWording::shown(const std::string& german) const {
    auto local = desktop.shown(german);
    if (shownLanguage == Language::german) return local;
    auto translated = english(local);
    return translated.empty() ? local : translated;
}

NumberMarks SessionWording::numberMarks() const {
    return shownLanguage == Language::german ? desktop.numberMarks()
                                             : NumberMarks{.decimal = '.', .group = ','};
}

}  // namespace larkspire::qt
