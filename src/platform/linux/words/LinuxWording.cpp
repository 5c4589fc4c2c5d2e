#include "platform/linux/words/LinuxWording.h"

#include <cstdlib>

namespace larkspire::linux_desktop {

LinuxWording::LinuxWording(PasswordStore passwordStore) {
    table = {
        // The file manager is whichever the user runs; the entries are Larkspire's own.
        {"Finder", sourceText("Dateimanager")},
        {"Kleine Verbesserungen für Finder und Maus.",
         sourceText("Kleine Verbesserungen für Dateimanager und Maus.")},
        {"Finder-Erweiterung aktiv", sourceText("Rechtsklick-Einträge im Dateimanager eingerichtet")},
        {"Finder-Erweiterung nicht aktiv",
         sourceText("Rechtsklick-Einträge im Dateimanager nicht eingerichtet")},
        {"Aktivieren…", sourceText("Einrichten…")},
        {"Rechtsklick im Finder → „Neue Datei“", sourceText("Rechtsklick im Dateimanager → „Neue Datei“")},
        {"Ein kleines Schild unten links im Finder-Fenster zeigt die Gesamtgröße der markierten Dateien und "
         "Ordner.",
         sourceText("Ein kleines Schild unten links im Fenster des Dateimanagers zeigt die Gesamtgröße der "
                    "markierten "
                    "Dateien und Ordner.")},
        {"Netzwerk-Favoriten in der Finder-Seitenleiste",
         sourceText("Netzwerk-Favoriten in der Seitenleiste des Dateimanagers")},
        {"Oder im Finder: Rechtsklick auf einen Ordner im Netzlaufwerk → „Zur Seitenleiste hinzufügen“.",
         sourceText("Oder im Dateimanager: Rechtsklick auf einen Ordner im Netzlaufwerk → „Zur Seitenleiste "
                    "hinzufügen“.")},
        {"„%1“ konnte nicht in die Finder-Seitenleiste eingetragen werden.",
         sourceText("„%1“ konnte nicht in die Seitenleiste des Dateimanagers eingetragen werden.")},
        // The file managers cut with their own Ctrl+X, which Larkspire observes.
        {"⌘X im Finder schneidet aus", sourceText("Strg+X im Dateimanager schneidet aus")},
        {"⌘X merkt Dateien vor und graut sie aus, ⌘V im Zielordner verschiebt sie.",
         sourceText("Strg+X merkt Dateien vor und graut sie aus, Strg+V im Zielordner verschiebt sie.")},
        {"%1 Datei(en) ausgeschnitten – mit ⌘V im Finder verschieben",
         sourceText("%1 Datei(en) ausgeschnitten – mit Strg+V im Dateimanager verschieben")},
        {"Das Mausrad scrollt weich wie ein Trackpad und beschleunigt bei schnellem Drehen. ⇧ + Mausrad "
         "scrollt "
         "waagerecht. Mit ⌘, ⌥ oder ⌃ bleibt das Mausrad unverändert.",
         sourceText(
             "Das Mausrad scrollt weich wie ein Trackpad und beschleunigt bei schnellem Drehen. Umschalt + "
             "Mausrad scrollt waagerecht. Mit Strg, Alt oder Super bleibt das Mausrad unverändert.")},
        // Game mode is the GameMode daemon's, which games ask for.
        {"Solange macOS den Spielemodus eingeschaltet hat, bekommen Spiele das normale Mausrad.",
         sourceText(
             "Solange der Spielemodus des Systems (GameMode) eingeschaltet ist, bekommen Spiele das normale "
             "Mausrad.")},
        // Starting at login is an autostart entry, which needs no approval.
        {"Anmeldeobjekt in den Systemeinstellungen erlauben…", sourceText("Autostart-Eintrag erlauben…")},
        // The permission is the access to the mice and /dev/uinput, and only smooth scrolling needs it:
        // cuts are read from the clipboard and the badge from the accessibility bus.
        {"Gerätesteuerung erlaubt", sourceText("Zugriff auf die Eingabegeräte erlaubt")},
        {"Gerätesteuerung nicht erlaubt", sourceText("Zugriff auf die Eingabegeräte nicht erlaubt")},
        {"Die Finder-Erweiterung liefert die Rechtsklick-Einträge. Die Gerätesteuerung braucht Larkspire für "
         "⌘X, "
         "die Auswahlgröße und das flüssige Scrollen.",
         sourceText(
             "Die Rechtsklick-Einträge kommen in Nautilus, Dolphin und Thunar. Den Zugriff auf die "
             "Eingabegeräte (die Mäuse und /dev/uinput) braucht Larkspire nur für das flüssige Scrollen.")},
        {"Dafür braucht Larkspire den Zugriff unter „Gerätesteuerung und Datenzugriff“.",
         sourceText("Für das flüssige Scrollen braucht Larkspire Zugriff auf die Mäuse und /dev/uinput.")},
    };
    // Shares are mounted through GIO, whose passwords the desktop's store keeps.
    table["Reißt die Verbindung ab, verbindet Larkspire die Freigaben der Favoriten wieder – nach dem "
          "Ruhezustand, wenn das Netzwerk zurückkommt, spätestens nach einer Minute. Die Zugangsdaten kommen "
          "aus "
          "dem Schlüsselbund."] =
        passwordStore == PasswordStore::kwallet
            ? sourceText(
                  "Reißt die Verbindung ab, verbindet Larkspire die Freigaben der Favoriten wieder – nach "
                  "dem Ruhezustand, wenn das Netzwerk zurückkommt, spätestens nach einer Minute. Die "
                  "Zugangsdaten kommen aus KWallet, dem Passwortspeicher der Arbeitsumgebung.")
            : sourceText(
                  "Reißt die Verbindung ab, verbindet Larkspire die Freigaben der Favoriten wieder – nach "
                  "dem Ruhezustand, wenn das Netzwerk zurückkommt, spätestens nach einer Minute. Die "
                  "Zugangsdaten kommen aus dem GNOME-Schlüsselbund, dem Passwortspeicher der "
                  "Arbeitsumgebung.");
}

std::string LinuxWording::shown(const std::string& german) const {
    auto found = table.find(german);
    return found == table.end() ? german : found->second;
}

PasswordStore LinuxWording::passwordStoreOf(std::string_view desktopNames) {
    // A colon-separated list, most specific first: "KDE", "ubuntu:GNOME", "XFCE".
    for (std::size_t start = 0; start <= desktopNames.size();) {
        auto end = desktopNames.find(':', start);
        if (end == std::string_view::npos) end = desktopNames.size();
        if (desktopNames.substr(start, end - start) == "KDE") return PasswordStore::kwallet;
        start = end + 1;
    }
    return PasswordStore::gnomeKeyring;
}

std::string LinuxWording::currentDesktop() {
    const char* names = std::getenv("XDG_CURRENT_DESKTOP");
    return names ? names : "";
}

}  // namespace larkspire::linux_desktop
