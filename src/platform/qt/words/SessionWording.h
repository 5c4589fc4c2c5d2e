#pragma once

#include "platform/Wording.h"

#include <QTranslator>
#include <functional>
#include <string>
#include <string_view>

namespace larkspire::qt {

enum class Language { german, english };

// German for a German locale name ("de", "de_AT.UTF-8", "de_CH@euro"), English for any other.
Language languageOf(std::string_view localeName);
// The language of the session's messages: the first of LANGUAGE, LC_ALL, LC_MESSAGES and LANG that is
// set and not empty. A session that names no language (none set, or the C locale) gets the German
// texts as they are written.
Language sessionLanguage(const std::function<const char*(const char*)>& environment);
Language sessionLanguage();

// A desktop's German words, and in an English session the English catalogue's for them. A text the
// catalogue lacks stays German.
class SessionWording final : public Wording {
  public:
    // In English the catalogue serves the shell's own texts (`qtTrId`) too, while this object lives.
    SessionWording(const Wording& desktop, Language language);
    ~SessionWording() override;
    SessionWording(const SessionWording&) = delete;
    SessionWording& operator=(const SessionWording&) = delete;

    std::string shown(const std::string& german) const override;
    NumberMarks numberMarks() const override;

    Language language() const { return shownLanguage; }
    bool hasCatalogue() const { return loaded; }
    // The catalogue's English for a German text of the desktop; empty where it has none.
    std::string english(const std::string& german) const;

  private:
    const Wording& desktop;
    Language shownLanguage;
    QTranslator catalogue;
    bool loaded = false;
};

}  // namespace larkspire::qt
