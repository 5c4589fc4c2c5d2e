<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="de_DE">
<context>
    <name></name>
    <message id="Allgemein">
        <source></source>
        <translation>General</translation>
    </message>
    <message id="Neue Datei">
        <source></source>
        <translation>New File</translation>
    </message>
    <message id="Finder">
        <source></source>
        <translation>Finder</translation>
    </message>
    <message id="Dateimanager">
        <source></source>
        <translation>File Manager</translation>
    </message>
    <message id="Netzwerk">
        <source></source>
        <translation>Network</translation>
    </message>
    <message id="Scrollen">
        <source></source>
        <translation>Scrolling</translation>
    </message>
    <message id="Widgets">
        <source></source>
        <translation>Widgets</translation>
    </message>
    <message id="Über">
        <source></source>
        <translation>About</translation>
    </message>
    <message id="Beim Anmelden starten">
        <source></source>
        <translation>Start at login</translation>
    </message>
    <message id="Anmeldeobjekt in den Systemeinstellungen erlauben…">
        <source></source>
        <translation>Allow the login item in System Settings…</translation>
    </message>
    <message id="Autostart-Eintrag erlauben…">
        <source></source>
        <translation>Allow the autostart entry…</translation>
    </message>
    <message id="Start">
        <source></source>
        <translation>Start</translation>
    </message>
    <message id="Berechtigungen">
        <source></source>
        <translation>Permissions</translation>
    </message>
    <message id="Finder-Erweiterung aktiv">
        <source></source>
        <translation>Finder extension active</translation>
    </message>
    <message id="Finder-Erweiterung nicht aktiv">
        <source></source>
        <translation>Finder extension not active</translation>
    </message>
    <message id="Rechtsklick-Einträge im Dateimanager eingerichtet">
        <source></source>
        <translation>Right-click entries set up in the file manager</translation>
    </message>
    <message id="Rechtsklick-Einträge im Dateimanager nicht eingerichtet">
        <source></source>
        <translation>Right-click entries not set up in the file manager</translation>
    </message>
    <message id="Aktivieren…">
        <source></source>
        <translation>Activate…</translation>
    </message>
    <message id="Einrichten…">
        <source></source>
        <translation>Set Up…</translation>
    </message>
    <message id="Gerätesteuerung erlaubt">
        <source></source>
        <translation>Device control allowed</translation>
    </message>
    <message id="Gerätesteuerung nicht erlaubt">
        <source></source>
        <translation>Device control not allowed</translation>
    </message>
    <message id="Zugriff auf die Eingabegeräte erlaubt">
        <source></source>
        <translation>Access to the input devices allowed</translation>
    </message>
    <message id="Zugriff auf die Eingabegeräte nicht erlaubt">
        <source></source>
        <translation>Access to the input devices not allowed</translation>
    </message>
    <message id="Erlauben…">
        <source></source>
        <translation>Allow…</translation>
    </message>
    <message id="Die Finder-Erweiterung liefert die Rechtsklick-Einträge. Die Gerätesteuerung braucht Larkspire für ⌘X, die Auswahlgröße und das flüssige Scrollen.">
        <source></source>
        <translation>The Finder extension provides the right-click entries. Larkspire needs device control for ⌘X, the selection size and smooth scrolling.</translation>
    </message>
    <message id="Die Rechtsklick-Einträge kommen in Nautilus, Dolphin und Thunar. Den Zugriff auf die Eingabegeräte (die Mäuse und /dev/uinput) braucht Larkspire nur für das flüssige Scrollen.">
        <source></source>
        <translation>The right-click entries appear in Nautilus, Dolphin and Thunar. Larkspire needs access to the input devices (the mice and /dev/uinput) only for smooth scrolling.</translation>
    </message>
    <message id="Larkspire beenden">
        <source></source>
        <translation>Quit Larkspire</translation>
    </message>
    <message id="Dafür braucht Larkspire den Zugriff unter „Gerätesteuerung und Datenzugriff“.">
        <source></source>
        <translation>For this, Larkspire needs access under “Device Control and Data Access”.</translation>
    </message>
    <message id="Für das flüssige Scrollen braucht Larkspire Zugriff auf die Mäuse und /dev/uinput.">
        <source></source>
        <translation>For smooth scrolling, Larkspire needs access to the mice and /dev/uinput.</translation>
    </message>
    <message id="Ausgeschnitten: %1">
        <source></source>
        <translation>Cut: %1</translation>
    </message>
    <message id="Ausgeschnitten: %1 und %2 weitere">
        <source></source>
        <translation>Cut: %1 and %2 more</translation>
    </message>
    <message id="Verwerfen">
        <source></source>
        <translation>Discard</translation>
    </message>
    <message id="Ausschneiden">
        <source></source>
        <translation>Cut</translation>
    </message>
    <message id="⌘X im Finder schneidet aus">
        <source></source>
        <translation>⌘X in Finder cuts</translation>
    </message>
    <message id="Strg+X im Dateimanager schneidet aus">
        <source></source>
        <translation>Ctrl+X in the file manager cuts</translation>
    </message>
    <message id="⌘X merkt Dateien vor und graut sie aus, ⌘V im Zielordner verschiebt sie.">
        <source></source>
        <translation>⌘X marks files and greys them out, ⌘V in the target folder moves them.</translation>
    </message>
    <message id="Strg+X merkt Dateien vor und graut sie aus, Strg+V im Zielordner verschiebt sie.">
        <source></source>
        <translation>Ctrl+X marks files and greys them out, Ctrl+V in the target folder moves them.</translation>
    </message>
    <message id="Auswahl">
        <source></source>
        <translation>Selection</translation>
    </message>
    <message id="Größe der Auswahl anzeigen">
        <source></source>
        <translation>Show the size of the selection</translation>
    </message>
    <message id="Ein kleines Schild unten links im Finder-Fenster zeigt die Gesamtgröße der markierten Dateien und Ordner.">
        <source></source>
        <translation>A small badge at the lower left of the Finder window shows the total size of the selected files and folders.</translation>
    </message>
    <message id="Ein kleines Schild unten links im Fenster des Dateimanagers zeigt die Gesamtgröße der markierten Dateien und Ordner.">
        <source></source>
        <translation>A small badge at the lower left of the file manager’s window shows the total size of the selected files and folders.</translation>
    </message>
    <message id="Rechtsklick im Finder → „Neue Datei“">
        <source></source>
        <translation>Right-click in Finder → “Neue Datei”</translation>
    </message>
    <message id="Rechtsklick im Dateimanager → „Neue Datei“">
        <source></source>
        <translation>Right-click in the file manager → “Neue Datei”</translation>
    </message>
    <message id="Dateiname inkl. Endung">
        <source></source>
        <translation>File name with extension</translation>
    </message>
    <message id="Standard">
        <source></source>
        <translation>Default</translation>
    </message>
    <message id="Ungültiger Name – es wird „%1“ verwendet.">
        <source></source>
        <translation>Invalid name – “%1” is used.</translation>
    </message>
    <message id="Gibt es die Datei schon, heißt die neue „Neu (1).txt“, „Neu (2).txt“ usw.">
        <source></source>
        <translation>If the file exists, the new one is named “Neu (1).txt”, “Neu (2).txt” and so on.</translation>
    </message>
    <message id="Datei nach dem Erstellen öffnen">
        <source></source>
        <translation>Open the file after creating it</translation>
    </message>
    <message id="Verbunden">
        <source></source>
        <translation>Connected</translation>
    </message>
    <message id="Nicht verbunden">
        <source></source>
        <translation>Not connected</translation>
    </message>
    <message id="Aus der Seitenleiste entfernen">
        <source></source>
        <translation>Remove from the sidebar</translation>
    </message>
    <message id="Noch keine Netzwerk-Favoriten.">
        <source></source>
        <translation>No network favorites yet.</translation>
    </message>
    <message id="Favoriten durchsuchen">
        <source></source>
        <translation>Search favorites</translation>
    </message>
    <message id="Favoriten %1–%2 von %3">
        <source></source>
        <translation>Favorites %1–%2 of %3</translation>
    </message>
    <message id="Treffer %1–%2 von %3">
        <source></source>
        <translation>Matches %1–%2 of %3</translation>
    </message>
    <message id="Kein Favorit enthält „%1“.">
        <source></source>
        <translation>No favorite contains “%1”.</translation>
    </message>
    <message id="Zurück">
        <source></source>
        <translation>Back</translation>
    </message>
    <message id="Weiter">
        <source></source>
        <translation>Next</translation>
    </message>
    <message id="Ordner hinzufügen…">
        <source></source>
        <translation>Add Folders…</translation>
    </message>
    <message id="Oder im Finder: Rechtsklick auf einen Ordner im Netzlaufwerk → „Zur Seitenleiste hinzufügen“.">
        <source></source>
        <translation>Or in Finder: right-click a folder on a network drive → “Zur Seitenleiste hinzufügen”.</translation>
    </message>
    <message id="Oder im Dateimanager: Rechtsklick auf einen Ordner im Netzlaufwerk → „Zur Seitenleiste hinzufügen“.">
        <source></source>
        <translation>Or in the file manager: right-click a folder on a network drive → “Zur Seitenleiste hinzufügen”.</translation>
    </message>
    <message id="Netzlaufwerke automatisch verbinden">
        <source></source>
        <translation>Connect network drives automatically</translation>
    </message>
    <message id="Netzwerk-Favoriten in der Finder-Seitenleiste">
        <source></source>
        <translation>Network favorites in the Finder sidebar</translation>
    </message>
    <message id="Netzwerk-Favoriten in der Seitenleiste des Dateimanagers">
        <source></source>
        <translation>Network favorites in the file manager’s sidebar</translation>
    </message>
    <message id="Verbindung">
        <source></source>
        <translation>Connection</translation>
    </message>
    <message id="Reißt die Verbindung ab, verbindet Larkspire die Freigaben der Favoriten wieder – nach dem Ruhezustand, wenn das Netzwerk zurückkommt, spätestens nach einer Minute. Die Zugangsdaten kommen aus dem Schlüsselbund.">
        <source></source>
        <translation>When the connection drops, Larkspire reconnects the favorites’ shares – after sleep, when the network returns, at the latest after one minute. The credentials come from the keychain.</translation>
    </message>
    <message id="Reißt die Verbindung ab, verbindet Larkspire die Freigaben der Favoriten wieder – nach dem Ruhezustand, wenn das Netzwerk zurückkommt, spätestens nach einer Minute. Die Zugangsdaten kommen aus dem GNOME-Schlüsselbund, dem Passwortspeicher der Arbeitsumgebung.">
        <source></source>
        <translation>When the connection drops, Larkspire reconnects the favorites’ shares – after sleep, when the network returns, at the latest after one minute. The credentials come from the GNOME Keyring, the desktop’s password store.</translation>
    </message>
    <message id="Reißt die Verbindung ab, verbindet Larkspire die Freigaben der Favoriten wieder – nach dem Ruhezustand, wenn das Netzwerk zurückkommt, spätestens nach einer Minute. Die Zugangsdaten kommen aus KWallet, dem Passwortspeicher der Arbeitsumgebung.">
        <source></source>
        <translation>When the connection drops, Larkspire reconnects the favorites’ shares – after sleep, when the network returns, at the latest after one minute. The credentials come from KWallet, the desktop’s password store.</translation>
    </message>
    <message id="Mausrad">
        <source></source>
        <translation>Mouse Wheel</translation>
    </message>
    <message id="Flüssig scrollen">
        <source></source>
        <translation>Smooth Scrolling</translation>
    </message>
    <message id="Das Mausrad scrollt weich wie ein Trackpad und beschleunigt bei schnellem Drehen. ⇧ + Mausrad scrollt waagerecht. Mit ⌘, ⌥ oder ⌃ bleibt das Mausrad unverändert.">
        <source></source>
        <translation>The mouse wheel scrolls smoothly like a trackpad and speeds up when turned quickly. ⇧ + wheel scrolls sideways. With ⌘, ⌥ or ⌃ the wheel is left unchanged.</translation>
    </message>
    <message id="Das Mausrad scrollt weich wie ein Trackpad und beschleunigt bei schnellem Drehen. Umschalt + Mausrad scrollt waagerecht. Mit Strg, Alt oder Super bleibt das Mausrad unverändert.">
        <source></source>
        <translation>The mouse wheel scrolls smoothly like a trackpad and speeds up when turned quickly. Shift + wheel scrolls sideways. With Ctrl, Alt or Super the wheel is left unchanged.</translation>
    </message>
    <message id="Spiele">
        <source></source>
        <translation>Games</translation>
    </message>
    <message id="Spielemodus aktiv – flüssiges Scrollen pausiert">
        <source></source>
        <translation>Game mode on – smooth scrolling paused</translation>
    </message>
    <message id="Spielemodus aus – flüssiges Scrollen aktiv">
        <source></source>
        <translation>Game mode off – smooth scrolling active</translation>
    </message>
    <message id="Solange macOS den Spielemodus eingeschaltet hat, bekommen Spiele das normale Mausrad.">
        <source></source>
        <translation>While macOS has game mode on, games get the normal mouse wheel.</translation>
    </message>
    <message id="Solange der Spielemodus des Systems (GameMode) eingeschaltet ist, bekommen Spiele das normale Mausrad.">
        <source></source>
        <translation>While the system’s game mode (GameMode) is on, games get the normal mouse wheel.</translation>
    </message>
    <message id="Auf dem Schreibtisch anzeigen">
        <source></source>
        <translation>Show on the Desktop</translation>
    </message>
    <message id="CPU &amp; Arbeitsspeicher">
        <source></source>
        <translation>CPU &amp; Memory</translation>
    </message>
    <message id="Last jedes CPU-Kerns (E = Effizienz-, P = Performance-Kerne), CPU-Auslastung und belegter Arbeitsspeicher, jede Sekunde aktuell.">
        <source></source>
        <translation>Load of each CPU core (E = efficiency, P = performance cores), CPU usage and used memory, updated every second.</translation>
    </message>
    <message id="CPU-Temperatur anzeigen">
        <source></source>
        <translation>Show CPU temperature</translation>
    </message>
    <message id="Uhr &amp; Datum">
        <source></source>
        <translation>Clock &amp; Date</translation>
    </message>
    <message id="Großer Tag, Monat, Uhrzeit und Wochentag.">
        <source></source>
        <translation>Large day, month, time and weekday.</translation>
    </message>
    <message id="Anordnen">
        <source></source>
        <translation>Arrange</translation>
    </message>
    <message id="Anordnen beenden">
        <source></source>
        <translation>Done Arranging</translation>
    </message>
    <message id="Widgets anordnen">
        <source></source>
        <translation>Arrange Widgets</translation>
    </message>
    <message id="Im Anordnen-Modus die Widgets mit der Maus an die gewünschte Stelle ziehen – auch auf einen anderen Bildschirm – und mit dem Dreieck unten rechts die Größe ändern. Die Widgets liegen hinter allen Fenstern.">
        <source></source>
        <translation>While arranging, drag the widgets with the mouse to where you want them – onto another screen too – and resize them with the triangle at the lower right. The widgets lie behind all windows.</translation>
    </message>
    <message id="Kleine Verbesserungen für Finder und Maus.">
        <source></source>
        <translation>Small improvements for Finder and the mouse.</translation>
    </message>
    <message id="Kleine Verbesserungen für Dateimanager und Maus.">
        <source></source>
        <translation>Small improvements for the file manager and the mouse.</translation>
    </message>
    <message id="Danksagung">
        <source></source>
        <translation>Acknowledgements</translation>
    </message>
    <message id="Gebaut mit Qt 6, nlohmann/json und GoogleTest.">
        <source></source>
        <translation>Built with Qt 6, nlohmann/json and GoogleTest.</translation>
    </message>
    <message id="Ausgeschnitten">
        <source></source>
        <translation>Cut</translation>
    </message>
    <message id="%1 Datei(en) ausgeschnitten – mit ⌘V im Finder verschieben">
        <source></source>
        <translation>%1 file(s) cut – move them with ⌘V in Finder</translation>
    </message>
    <message id="%1 Datei(en) ausgeschnitten – mit Strg+V im Dateimanager verschieben">
        <source></source>
        <translation>%1 file(s) cut – move them with Ctrl+V in the file manager</translation>
    </message>
    <message id="%1 Datei(en) ausgeschnitten – verwerfen">
        <source></source>
        <translation>%1 file(s) cut – discard</translation>
    </message>
    <message id="Netzwerk-Favoriten">
        <source></source>
        <translation>Network Favorites</translation>
    </message>
    <message id="Alle %1 Favoriten…">
        <source></source>
        <translation>All %1 Favorites…</translation>
    </message>
    <message id="Einstellungen…">
        <source></source>
        <translation>Settings…</translation>
    </message>
    <message id="Datei konnte nicht erstellt werden">
        <source></source>
        <translation>The file could not be created</translation>
    </message>
    <message id="Der Pfad enthält ein NUL-Byte.">
        <source></source>
        <translation>The path contains a NUL byte.</translation>
    </message>
    <message id="Keine Verbindung zu „%1“">
        <source></source>
        <translation>No connection to “%1”</translation>
    </message>
    <message id="Der Server %1 ist nicht erreichbar.">
        <source></source>
        <translation>The server %1 cannot be reached.</translation>
    </message>
    <message id="„%1“ ist kein Ordner.">
        <source></source>
        <translation>“%1” is not a folder.</translation>
    </message>
    <message id="„%1“ konnte nicht in die Finder-Seitenleiste eingetragen werden.">
        <source></source>
        <translation>“%1” could not be added to the Finder sidebar.</translation>
    </message>
    <message id="„%1“ konnte nicht in die Seitenleiste des Dateimanagers eingetragen werden.">
        <source></source>
        <translation>“%1” could not be added to the file manager’s sidebar.</translation>
    </message>
    <message id="Nicht zur Seitenleiste hinzugefügt">
        <source></source>
        <translation>Not added to the sidebar</translation>
    </message>
    <message id="Zur Seitenleiste hinzufügen">
        <source></source>
        <translation>Add to Sidebar</translation>
    </message>
    <message id="Auswahl: %1">
        <source></source>
        <translation>Selection: %1</translation>
    </message>
    <message id="Auswahl: wird berechnet …">
        <source></source>
        <translation>Selection: calculating …</translation>
    </message>
    <message id="%1 Byte">
        <source></source>
        <translation>%1 bytes</translation>
    </message>
    <message id="Januar">
        <source></source>
        <translation>January</translation>
    </message>
    <message id="Februar">
        <source></source>
        <translation>February</translation>
    </message>
    <message id="März">
        <source></source>
        <translation>March</translation>
    </message>
    <message id="April">
        <source></source>
        <translation>April</translation>
    </message>
    <message id="Mai">
        <source></source>
        <translation>May</translation>
    </message>
    <message id="Juni">
        <source></source>
        <translation>June</translation>
    </message>
    <message id="Juli">
        <source></source>
        <translation>July</translation>
    </message>
    <message id="August">
        <source></source>
        <translation>August</translation>
    </message>
    <message id="September">
        <source></source>
        <translation>September</translation>
    </message>
    <message id="Oktober">
        <source></source>
        <translation>October</translation>
    </message>
    <message id="November">
        <source></source>
        <translation>November</translation>
    </message>
    <message id="Dezember">
        <source></source>
        <translation>December</translation>
    </message>
    <message id="Sonntag">
        <source></source>
        <translation>Sunday</translation>
    </message>
    <message id="Montag">
        <source></source>
        <translation>Monday</translation>
    </message>
    <message id="Dienstag">
        <source></source>
        <translation>Tuesday</translation>
    </message>
    <message id="Mittwoch">
        <source></source>
        <translation>Wednesday</translation>
    </message>
    <message id="Donnerstag">
        <source></source>
        <translation>Thursday</translation>
    </message>
    <message id="Freitag">
        <source></source>
        <translation>Friday</translation>
    </message>
    <message id="Samstag">
        <source></source>
        <translation>Saturday</translation>
    </message>
    <message id="%1 %">
        <source></source>
        <translation>%1%</translation>
    </message>
    <message id="RAM %1 %">
        <source></source>
        <translation>RAM %1%</translation>
    </message>
    <message id="von %1">
        <source></source>
        <translation>of %1</translation>
    </message>
    <message id="Rechtsklick-Einträge eingerichtet">
        <source></source>
        <translation>Right-click entries set up</translation>
    </message>
    <message id="Rechtsklick-Einträge nicht eingerichtet">
        <source></source>
        <translation>Right-click entries not set up</translation>
    </message>
    <message id="Larkspire braucht Zugriff auf die Mäuse">
        <source></source>
        <translation>Larkspire needs access to the mice</translation>
    </message>
    <message id="Für flüssiges Scrollen übernimmt Larkspire die Mäuse (/dev/input/event*) und scrollt über ein eigenes Eingabegerät (/dev/uinput). Zugriff auf die Tastaturen braucht es dafür nicht: Ob Strg, Alt oder Super gedrückt ist, sagt unter X11 der X-Server. Unter Wayland erfährt Larkspire das nur mit Zugriff auf die Tastaturen (Gruppe „input“); ohne ihn scrollt das Mausrad auch mit diesen Tasten flüssig.">
        <source></source>
        <translation>For smooth scrolling, Larkspire takes over the mice (/dev/input/event*) and scrolls through an input device of its own (/dev/uinput). It needs no access to the keyboards for this: under X11 the X server tells whether Ctrl, Alt or Super is held. Under Wayland Larkspire learns this only with access to the keyboards (group “input”); without it the wheel scrolls smoothly with these keys held too.</translation>
    </message>
    <message id="Auf diesem Rechner gibt es %1 nicht – das Kernelmodul „uinput“ ist nicht geladen. „sudo modprobe uinput“ lädt es sofort (das tut auch der Befehl unten), das Debian-Paket bei jedem Start.">
        <source></source>
        <translation>This computer has no %1 – the kernel module “uinput” is not loaded. “sudo modprobe uinput” loads it at once (the command below does so too), the Debian package at every start.</translation>
    </message>
    <message id="Mit dem Debian-Paket von Larkspire ist die udev-Regel dafür schon eingerichtet: Melden Sie sich ab und wieder an – mehr ist nicht nötig.">
        <source></source>
        <translation>With Larkspire’s Debian package the udev rule for this is already in place: log out and in again – nothing more is needed.</translation>
    </message>
    <message id="Ohne das Paket (etwa nach „make install“) richtet sie dieser eine Befehl ein:">
        <source></source>
        <translation>Without the package (after “make install”, say) this one command sets it up:</translation>
    </message>
    <message id="Larkspire bemerkt den Zugriff von selbst und startet das flüssige Scrollen, spätestens nach dem nächsten Anmelden.">
        <source></source>
        <translation>Larkspire notices the access by itself and starts smooth scrolling, at the latest after the next login.</translation>
    </message>
    <message id="Benutzername:">
        <source></source>
        <translation>User name:</translation>
    </message>
    <message id="Domäne:">
        <source></source>
        <translation>Domain:</translation>
    </message>
    <message id="Passwort:">
        <source></source>
        <translation>Password:</translation>
    </message>
    <message id="Passwort nicht speichern">
        <source></source>
        <translation>Do not save the password</translation>
    </message>
    <message id="Passwort bis zum Abmelden merken">
        <source></source>
        <translation>Remember the password until logout</translation>
    </message>
    <message id="Passwort dauerhaft speichern">
        <source></source>
        <translation>Save the password permanently</translation>
    </message>
    <message id="Verbinden">
        <source></source>
        <translation>Connect</translation>
    </message>
    <message id="Abbrechen">
        <source></source>
        <translation>Cancel</translation>
    </message>
    <message id="Ausnahmen">
        <source></source>
        <translation>Exceptions</translation>
    </message>
    <message id="Noch keine Programme ausgenommen.">
        <source></source>
        <translation>No programs excepted yet.</translation>
    </message>
    <message id="Wieder flüssig scrollen">
        <source></source>
        <translation>Scroll smoothly again</translation>
    </message>
    <message id="Programm hinzufügen…">
        <source></source>
        <translation>Add Program…</translation>
    </message>
    <message id="Kein weiteres Programm mit Fenster">
        <source></source>
        <translation>No other program with a window</translation>
    </message>
    <message id="Über den Fenstern dieser Programme bleibt das Mausrad unverändert – etwa für Spiele, CAD oder Browser, die selbst weich scrollen.">
        <source></source>
        <translation>Over the windows of these programs the mouse wheel stays unchanged – for games, CAD or browsers that scroll smoothly themselves.</translation>
    </message>
</context>
</TS>
