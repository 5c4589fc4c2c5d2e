#!/usr/bin/env bash
# Larkspire on XWayland under a headless GNOME Shell 43 with its extension, beside a Nautilus that
# runs natively on Wayland. The extension reports the Shell's windows; with it, Larkspire's badge
# follows Nautilus: its files selected, "Auswahl: …" is drawn above its window; files cut there are
# greyed, and a window over all of Nautilus takes the greys away until it closes. A click on a greyed
# row selects it in Nautilus. The badge's window lies directly above Nautilus: a window in front of
# part of Nautilus covers that part of the greys, and once Nautilus is raised over it, it hides none.
# The clock widget lies at its stored place, below an ordinary window, on every workspace and
# outside the overview's list.
# Pictures go to the working folder of the test (the build folder under ctest).
# Arguments: the larkspire program, the extension's folder (the form for GNOME Shell 43).
set -euo pipefail
bin=$1
extension=$2
pictures=$(pwd)

withXwayland=1
# shellcheck source=shell_session.sh
source "$(dirname "$0")/shell_session.sh"
requireTools "Test übersprungen (Pakete nautilus, x11-utils installieren)" nautilus xprop xwininfo
python=/usr/bin/python3
$python -c 'import gi; gi.require_version("Gtk", "3.0")' 2>/dev/null ||
  { echo "python3-gi oder gir1.2-gtk-3.0 fehlt: Test übersprungen"; exit 77; }
cover=$(cd "$(dirname "$0")/../wayland" && pwd)/cover_window.py

settings=$work/config/larkspire/settings.json
mkdir -p "$work/config/larkspire"
# The clock's top left corner at 560,380 from the screen's top; stored counted from its bottom.
echo '{"clockWidget": true, "systemMonitor": false, "LarkspireClock.topLeft": [560, 420],
       "showSelectionSize": true}' >"$settings"
folder=$work/home/Projekt
mkdir -p "$folder"
# 1,500,000 + 700,000 + 340,000 + 150,000 + 20 bytes read 2,7 MB together.
head -c 1500000 /dev/zero >"$folder/a.pdf"
head -c 700000 /dev/zero >"$folder/b.mov"
head -c 340000 /dev/zero >"$folder/c.jpg"
head -c 150000 /dev/zero >"$folder/d.txt"
head -c 20 /dev/zero >"$folder/e.txt"
[ ${#run_as[@]} -eq 0 ] || chown -R "$user" "$work/config" "$folder"

# Clicks come from the top left corner, which would open the overview.
as_user gsettings set org.gnome.desktop.interface enable-hot-corners false
echo "GNOME Shell ohne Bildschirm mit XWayland starten"
start_shell
as_user_in_background dbus-monitor --session \
  "type='method_call',interface='de.halvik.Quirefold.Larkspire1',member='WindowsChanged'" >"$monitor" 2>&1 &
pids+=($!)
keys() { as_user $python "$tools/seat_keys.py" "$@" || fail "Tasten $* nicht angekommen"; }
screenshot() {  # name
  as_user $python "$tools/screenshot.py" "$work/$1.png" >/dev/null || fail "kein Bildschirmfoto"
  cp "$work/$1.png" "$pictures/gnome_$1.png"
}
# The last report the extension sent, and what it says of one window.
# Only whole lines: dbus-monitor may be writing the next one.
report() { grep -a '^ *string "{"windows".*}"$' "$monitor" | tail -n 1 | sed 's/^ *string "//; s/"$//'; }
reportSays() {  # jq condition over the whole report
  [ "$(report | jq -c "$1" 2>/dev/null)" = true ]
}
awaitReport() {  # description condition
  local waited=0
  until reportSays "$2"; do
    sleep 0.05
    waited=$((waited + 1))
    [ "$waited" -lt 400 ] || fail "$1 (letzter Bericht: $(report | head -c 2000))"
  done
}
reported() { reportSays "[.windows[] | select($1)] | length > 0"; }
awaitReported() { awaitReport "$1" "[.windows[] | select($2)] | length > 0"; }  # description filter

echo "1. Nautilus läuft nativ auf Wayland; Larkspire auf XWayland nimmt die Fensterliste der Shell"
as_user gsettings set org.gnome.nautilus.preferences default-folder-viewer "'list-view'"
as_user_in_background GDK_BACKEND=wayland nautilus "$folder" >"$work/nautilus.log" 2>&1 &
pids+=($!)
# Larkspire starts once Nautilus shows its window on the accessibility bus, as a user's would run.
onBus() {
  as_user $python -c 'import sys, gi; gi.require_version("Atspi", "2.0"); from gi.repository import Atspi
apps = [Atspi.get_desktop(0).get_child_at_index(i) for i in range(Atspi.get_desktop(0).get_child_count())]
sys.exit(0 if any(a and "nautilus" in a.get_name().lower() and a.get_child_count() > 0 for a in apps) else 1)' 2>/dev/null
}
for ((i = 0; i < 300; i++)); do onBus && break; sleep 0.1; done
onBus || fail "Nautilus erscheint nicht auf dem Barrierefreiheitsbus: $(tail -n 3 "$work/nautilus.log")"
# The file-manager entries, as after "Aktivieren…"; otherwise the settings window greets the user.
as_user XDG_CURRENT_DESKTOP=GNOME "$bin" --install-file-manager-entries >/dev/null 2>&1 || true
as_user_in_background XDG_CURRENT_DESKTOP=GNOME "$bin" 2>"$log" &
larkspire=$!
pids+=("$larkspire")
await "$log" "GNOME-Shell-Erweiterung angemeldet (Erweiterung " 1
await "$log" "Fensterliste: GNOME Shell" 1
awaitReported "Nautilus nicht als Wayland-Fenster berichtet" '.caption == "Projekt" and .x11 == false and .onScreen'
nautilus=$(report | jq -c '.windows[] | select(.caption == "Projekt") | {frame, client}')
echo "   Nautilus: $nautilus"

echo "2. Die Uhr liegt an ihrem Platz, unter gewöhnlichen Fenstern, auf allen Arbeitsflächen, nicht in der Übersicht"
clock='.x11 and .frame.x == 560 and .frame.y == 380'
awaitReported "die Uhr nicht an ihrem gespeicherten Platz" "$clock"
clockId=$(report | jq -r ".windows[] | select($clock) | .id")
echo "   Uhr: $(report | jq -c ".windows[] | select($clock) | .frame")"
as_user_in_background GDK_BACKEND=wayland $python "$cover" 1200 700 >"$work/cover.log" 2>&1 &
coverPid=$!
pids+=("$coverPid")
awaitReported "kein Deckel-Fenster" '.caption == "Deckel" and .onScreen'
# Front to back: the window opened after the clock still lies in front of it.
awaitReport "die Uhr liegt über einem gewöhnlichen Fenster" \
  "[.windows[] | select(.caption == \"Deckel\" or .id == \"$clockId\") | .caption] == [\"Deckel\", \"Larkspire-Widget\"]"
awaitReported "die Uhr gilt nicht als verdeckt" ".id == \"$clockId\" and (.onScreen | not)"
sleep 0.3
screenshot widgets
states=$(as_user xprop -root _NET_CLIENT_LIST | grep -o '0x[0-9a-f]*' | while read -r id; do
  as_user xprop -id "$id" _NET_WM_PID _NET_WM_STATE | tr '\n' ' '; echo; done | grep "= $larkspire " || true)
for state in _NET_WM_STATE_BELOW _NET_WM_STATE_STICKY _NET_WM_STATE_SKIP_TASKBAR _NET_WM_STATE_SKIP_PAGER; do
  grep -q "$state" <<<"$states" || fail "GNOME Shell hält die Uhr nicht als $state: $states"
done
kill "$coverPid"
# Ctrl+Alt+Right: the next workspace, where Nautilus is not and the clock is.
keys 29+56+106
awaitReported "Nautilus auch auf der nächsten Arbeitsfläche" '.caption == "Projekt" and (.onScreen | not)'
reported ".id == \"$clockId\" and .onScreen" || fail "die Uhr fehlt auf der nächsten Arbeitsfläche"
keys 29+56+105
awaitReported "Nautilus nicht zurück" '.caption == "Projekt" and .onScreen'

echo "3. Alle Dateien in Nautilus gewählt: das Schild zeigt ihre Summe über Nautilus"
# A click on its first row gives the list the keys, Ctrl+A selects all rows.
read -r x y < <(report | jq -r '.windows[] | select(.caption == "Projekt") | "\(.frame.x + .frame.width / 2) \(.frame.y + 115)"')
# The first input after a window maps or goes may be lost on this seat; a user would repeat it.
for ((attempt = 0; attempt < 3; attempt++)); do
  keys "click:$x,$y"
  awaitReport "Nautilus hat nach dem Klick nicht den Fokus" '.active as $a | [.windows[] | select(.id == $a) | .caption] == ["Projekt"]'
  keys 29+30
  for ((i = 0; i < 100; i++)); do [ "$(count "$log" "Auswahl-Schild: Auswahl: 2,7 MB")" -ge 1 ] && break 2; sleep 0.05; done
done
await "$log" "Auswahl-Schild: Auswahl: 2,7 MB" 1
sleep 0.5
screenshot badge
# The overlay: Larkspire's X11 window as large as Nautilus's surface, at its place.
surface=$(report | jq -r '.windows[] | select(.caption == "Projekt") | .client | "\(.width)x\(.height)+\(.x)+\(.y)"')
as_user xwininfo -root -children | grep -F "(\"larkspire\" \"Larkspire\")  $surface " ||
  fail "keine Überlagerung über Nautilus ($surface): $(as_user xwininfo -root -children | grep -i larkspire)"
echo "4. Zwei Dateien ausgeschnitten sind ausgegraut; ein Fenster über Nautilus nimmt die Grautöne weg"
keys 107 42+103 29+45
await "$log" "Ausgeschnitten: 2 Datei(en)" 1
as_user_in_background GDK_BACKEND=wayland $python "$cover" 1200 700 >"$work/cover.log" 2>&1 &
coverPid=$!
pids+=("$coverPid")
awaitReported "Nautilus gilt nicht als verdeckt" '.caption == "Projekt" and (.onScreen | not)'
sleep 0.5
screenshot covered
kill "$coverPid"
awaitReported "Nautilus bleibt verdeckt" '.caption == "Projekt" and .onScreen'
sleep 0.5
screenshot greyed

echo "5. Ein Klick auf die ausgegraute Zeile e.txt kommt durch die Überlagerung bei Nautilus an"
# Larkspire's overlay over Nautilus, shown; a new read of the greys may give it a new window.
overlayShown() {
  local id
  for id in $(as_user xwininfo -root -children | grep -F "(\"larkspire\" \"Larkspire\")  $surface " | awk '{ print $1 }'); do
    as_user xwininfo -id "$id" 2>/dev/null | grep -q "Map State: IsViewable" && return 0
  done
  return 1
}
awaitOverlay() {  # description
  for ((i = 0; i < 100; i++)); do overlayShown && return 0; sleep 0.05; done
  fail "$1"
}
awaitOverlay "die Überlagerung liegt nicht mehr über Nautilus"
# The rows are 52 pixels apart, the first 114 below the window's top: e.txt is the fifth.
read -r fx fy fw fh < <(report | jq -r '.windows[] | select(.caption == "Projekt") | .frame | "\(.x) \(.y) \(.width) \(.height)"')
# The window just closed; a click the seat lost then is given again, as a user would.
for ((attempt = 0; attempt < 3; attempt++)); do
  keys "click:$((fx + fw / 2)),$((fy + 322))"
  for ((i = 0; i < 40; i++)); do [ "$(count "$log" "Auswahl-Schild: Auswahl: 20 Byte")" -ge 1 ] && break 2; sleep 0.05; done
done
await "$log" "Auswahl-Schild: Auswahl: 20 Byte" 1
echo "   nach $((attempt + 1)) Klick(s)"
sleep 0.3
screenshot clicked

echo "6. Ein Fenster vor einem Teil von Nautilus verdeckt dort die Grautöne; unter Nautilus verdeckt es nichts"
# Magenta, over the right part of the rows c.jpg to e.txt; the rest of Nautilus stays free.
front=(700 300 300 200)
as_user_in_background $python "$tools/front_window.py" "${front[@]}" >"$work/front.log" 2>&1 &
frontPid=$!
pids+=("$frontPid")
awaitReport "das Fenster liegt nicht vor Nautilus, oder Nautilus gilt als verdeckt" \
  '[.windows[] | select(.caption == "Vorn" or .caption == "Projekt") | [.caption, .onScreen]] == [["Vorn", true], ["Projekt", true]]'
awaitOverlay "die Grautöne sind nicht mehr gezeigt"
sleep 0.5
screenshot front
covered=$(as_user $python "$tools/magenta.py" "$work/front.png" $((front[0] + 2)) $((front[1] + 2)) $((front[2] - 4)) $((front[3] - 4)))
echo "   Fenster vorn, davon unübermalt: $covered"
[ "$covered" = 1.000 ] || fail "die Überlagerung liegt über dem Fenster vor Nautilus ($covered magenta)"
# A click on Nautilus's empty sidebar, beside the window in front, raises Nautilus over it.
for ((attempt = 0; attempt < 3; attempt++)); do
  keys "click:$((fx + 40)),$((fy + 450))"
  for ((i = 0; i < 40; i++)); do [ "$(count "$log" "Auswahl-Schild: Auswahl: 20 Byte")" -ge 2 ] && break 2; sleep 0.05; done
done
await "$log" "Auswahl-Schild: Auswahl: 20 Byte" 2
awaitReport "Nautilus liegt nicht vor dem Fenster" \
  '[.windows[] | select(.caption == "Vorn" or .caption == "Projekt") | [.caption, .onScreen]] == [["Projekt", true], ["Vorn", false]]'
sleep 0.5
screenshot raised
behind=$(as_user $python "$tools/magenta.py" "$work/raised.png" "${front[@]}")
echo "   Fenster hinter Nautilus, davon zu sehen: $behind"
[ "$behind" = 0.000 ] || fail "Nautilus verdeckt das Fenster nicht ($behind magenta)"
awaitOverlay "die Grautöne fehlen über Nautilus"
kill "$frontPid"

kill -0 "$larkspire" 2>/dev/null || fail "Larkspire lebt nicht mehr"
as_user QT_QPA_PLATFORM=offscreen "$bin" --choose-menu-item "Larkspire beenden" || fail "Beenden nicht zugestellt"
timeout 20 tail --pid="$larkspire" -f /dev/null || fail "Larkspire hat sich nicht beendet"
echo "Fenster unter GNOME Shell bestanden ($pictures/gnome_widgets.png, gnome_badge.png, gnome_covered.png, gnome_greyed.png, gnome_clicked.png, gnome_front.png, gnome_raised.png)"
