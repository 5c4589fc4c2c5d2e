#include "overlay/ByteCountFormatter.h"
#include "platform/linux/words/LinuxWording.h"
#include "platform/qt/words/SessionWording.h"
#include "settings/SettingsTabs.h"
#include "support/ShownTexts.h"

#include <gtest/gtest.h>
#include <map>

using namespace larkspire;
using namespace larkspire::qt;
using larkspire::linux_desktop::LinuxWording;
using larkspire::linux_desktop::PasswordStore;
using larkspire::testing::everyShownText;
using larkspire::testing::RecordingWording;

namespace {

struct LanguageCase {
    std::string name;
    std::map<std::string, std::string> environment;
    Language expected;
};

void PrintTo(const LanguageCase& language, std::ostream* out) {
    *out << language.name;
}

class SessionLanguage : public ::testing::TestWithParam<LanguageCase> {};

TEST_P(SessionLanguage, TheFirstSetVariableDecides) {
    const auto& environment = GetParam().environment;
    auto read = [&environment](const char* name) -> const char* {
        auto found = environment.find(name);
        return found == environment.end() ? nullptr : found->second.c_str();
    };
    EXPECT_EQ(sessionLanguage(read), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Variables, SessionLanguage,
    ::testing::Values(
        LanguageCase{"GermanLang", {{"LANG", "de_DE.UTF-8"}}, Language::german},
        LanguageCase{"EnglishLang", {{"LANG", "en_US.UTF-8"}}, Language::english},
        LanguageCase{
            "LanguageListBeforeLang", {{"LANGUAGE", "en_GB:de"}, {"LANG", "de_DE.UTF-8"}}, Language::english},
        LanguageCase{"LanguageListBeforeLcAll",
                     {{"LANGUAGE", "de_AT:en"}, {"LC_ALL", "en_US.UTF-8"}},
                     Language::german},
        LanguageCase{"EmptyLanguageSkipped",
                     {{"LANGUAGE", ""}, {"LC_ALL", "fr_FR.UTF-8"}, {"LANG", "de_DE"}},
                     Language::english},
        LanguageCase{
            "MessagesBeforeLang", {{"LC_MESSAGES", "de_CH@euro"}, {"LANG", "en_US"}}, Language::german},
        LanguageCase{
            "EmptyOnesSkipped", {{"LC_ALL", ""}, {"LC_MESSAGES", ""}, {"LANG", "de"}}, Language::german},
        LanguageCase{"CLocaleNamesNoLanguage", {{"LANG", "C.UTF-8"}}, Language::german},
        LanguageCase{"PosixBeforeLang", {{"LC_ALL", "POSIX"}, {"LANG", "en_US"}}, Language::german},
        LanguageCase{"NotGermanThoughItStartsSo", {{"LANG", "dee_XX"}}, Language::english},
        LanguageCase{"NothingSet", {}, Language::german}),
    [](const auto& info) { return info.param.name; });

TEST(EnglishCatalogue, TranslatesEveryTextTheLinuxDesktopShows) {
    for (auto store : {PasswordStore::gnomeKeyring, PasswordStore::kwallet}) {
        LinuxWording linuxWords(store);
        RecordingWording desktop(linuxWords);
        SessionWording english(desktop, Language::english);
        ASSERT_TRUE(english.hasCatalogue());
        auto texts = everyShownText(english);
        for (const auto& german : desktop.asked)
            EXPECT_FALSE(english.english(linuxWords.shown(german)).empty()) << linuxWords.shown(german);
        // German quotes and letters would mean a German text reached the screen. The file managers'
        // entry keeps its German name, which the hints quote.
        for (auto text : texts) {
            for (std::string entry = "Zur Seitenleiste hinzufügen"; text.find(entry) != std::string::npos;)
                text.erase(text.find(entry), entry.size());
            for (const char* german : {"„", "ä", "ö", "ü", "ß", "Ä", "Ö", "Ü"})
                EXPECT_EQ(text.find(german), std::string::npos) << text;
        }
        for (const char* text :
             {"File Manager", "Ctrl+X in the file manager cuts", "Favorites 1–10 of 12", "Selection: 1.3 MB",
              "No connection to “Ordner”", "DECEMBER", "SATURDAY", "of 16.0 GB", "RAM 38%"})
            EXPECT_TRUE(texts.contains(text)) << text;
    }
}

TEST(EnglishCatalogue, ATextItLacksStaysGermanAndIsNeverEmpty) {
    LinuxWording linuxWords;
    SessionWording english(linuxWords, Language::english);
    EXPECT_EQ(english.shown("Ein Satz, den kein Katalog kennt."), "Ein Satz, den kein Katalog kennt.");
    EXPECT_EQ(english.shown("%1 Äpfel"), "%1 Äpfel");
    EXPECT_EQ(english.shown("Finder"), "File Manager");  // the Linux word, then its English
    EXPECT_EQ(english.shown(""), "");
}

TEST(EnglishCatalogue, NumbersAndSizesFollowTheShownLanguage) {
    LinuxWording linuxWords;
    SessionWording english(linuxWords, Language::english), german(linuxWords, Language::german);
    EXPECT_EQ(stringFromByteCount(1'234'567'890, english), "1.23 GB");
    EXPECT_EQ(stringFromByteCount(1'234'567'890, german), "1,23 GB");
    EXPECT_EQ(stringFromByteCount(512, english), "512 bytes");
    EXPECT_EQ(stringFromByteCount(512, german), "512 Byte");
    EXPECT_EQ(groupedNumber(1'234'567, english.numberMarks()), "1,234,567");
    EXPECT_EQ(groupedNumber(1'234'567, german.numberMarks()), "1.234.567");
    // A German session shows the Linux words without a catalogue.
    EXPECT_FALSE(german.hasCatalogue());
    EXPECT_EQ(german.shown("Finder"), "Dateimanager");
}

}  // namespace
