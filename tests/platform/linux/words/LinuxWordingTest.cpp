#include "platform/linux/words/LinuxWording.h"

#include "support/ShownTexts.h"

#include <gtest/gtest.h>

using namespace larkspire;
using larkspire::linux_desktop::LinuxWording;
using larkspire::linux_desktop::PasswordStore;
using larkspire::testing::everyShownText;
using larkspire::testing::RecordingWording;

namespace {

// The Mac's names, each as it may stand in a German text.
const std::vector<std::string> macWords = {"Finder",
                                           "⌘",
                                           "⌥",
                                           "⌃",
                                           "⇧",
                                           "macOS",
                                           "Systemeinstellungen",
                                           "Anmeldeobjekt",
                                           "Gerätesteuerung",
                                           "Datenzugriff",
                                           "Schlüsselbund"};

std::string withoutDesktopKeyring(std::string text) {
    // The GNOME keyring is the Linux desktop's own name for its store.
    for (std::string name = "GNOME-Schlüsselbund"; text.find(name) != std::string::npos;)
        text.erase(text.find(name), name.size());
    return text;
}

}  // namespace

namespace larkspire::linux_desktop {
void PrintTo(PasswordStore store, std::ostream* out) {
    *out << (store == PasswordStore::kwallet ? "KWallet" : "GNOME keyring");
}
}  // namespace larkspire::linux_desktop

namespace {

class LinuxWords : public ::testing::TestWithParam<PasswordStore> {};

TEST_P(LinuxWords, NoTextTheLinuxDesktopShowsNamesAThingOfTheMac) {
    LinuxWording words(GetParam());
    auto texts = everyShownText(words);
    // The walk reached every surface: tabs in their states, menu, alerts, badge, faces.
    for (const char* text :
         {"Dateimanager", "Strg+X im Dateimanager schneidet aus", "Autostart-Eintrag erlauben…",
          "Favoriten 1–10 von 12", "Kein Favorit enthält „zzz“.",
          "2 Datei(en) ausgeschnitten – mit Strg+V im "
          "Dateimanager verschieben",
          "Keine Verbindung zu „Ordner“", "„ordner“ ist kein Ordner.", "Datei konnte nicht erstellt werden",
          "Auswahl: wird berechnet …", "Auswahl: 1,3 MB", "DEZEMBER", "SAMSTAG", "von 16,0 GB"}) {
        EXPECT_TRUE(texts.contains(text)) << text;
    }
    for (const auto& text : texts) {
        auto checked = withoutDesktopKeyring(text);
        for (const auto& word : macWords) EXPECT_EQ(checked.find(word), std::string::npos) << text;
    }
}

TEST_P(LinuxWords, EveryReplacementMeetsATextTheFeaturesShow) {
    // A feature text changed without its Linux wording would show the Mac's words again.
    LinuxWording linuxWords(GetParam());
    RecordingWording words(linuxWords);
    (void)everyShownText(words);
    for (const auto& [german, linux] : linuxWords.replacements())
        EXPECT_TRUE(words.asked.contains(german)) << german;
}

INSTANTIATE_TEST_SUITE_P(PasswordStores, LinuxWords,
                         ::testing::Values(PasswordStore::gnomeKeyring, PasswordStore::kwallet),
                         [](const auto& store) {
                             return store.param == PasswordStore::kwallet ? "KWallet" : "GnomeKeyring";
                         });

TEST(LinuxWords, TheDesktopNamesItsOwnPasswordStore) {
    EXPECT_EQ(LinuxWording::passwordStoreOf("KDE"), PasswordStore::kwallet);
    EXPECT_EQ(LinuxWording::passwordStoreOf("ubuntu:GNOME"), PasswordStore::gnomeKeyring);
    EXPECT_EQ(LinuxWording::passwordStoreOf("XFCE"), PasswordStore::gnomeKeyring);
    EXPECT_EQ(LinuxWording::passwordStoreOf("KDEX:Neon"), PasswordStore::gnomeKeyring);
    EXPECT_EQ(LinuxWording::passwordStoreOf("Neon:KDE"), PasswordStore::kwallet);
    EXPECT_EQ(LinuxWording::passwordStoreOf(""), PasswordStore::gnomeKeyring);

    auto kde = everyShownText(LinuxWording(PasswordStore::kwallet));
    EXPECT_TRUE(std::any_of(kde.begin(), kde.end(), [](const std::string& text) {
        return text.find("aus KWallet") != std::string::npos;
    }));
}

}  // namespace
