#!/usr/bin/env bash
# The badge over a real file manager: Thunar in its list view under Xvfb with openbox and the
# accessibility bus. Three files selected with the keyboard give the badge with their total, in a
# click-through window stacked directly above Thunar's frame; two files cut with Ctrl+X are greyed.
# Pictures of both go to $LARKSPIRE_PICTURES (default: the program's folder).
#   thunar_badge.sh LARKSPIRE SCREEN_GRAB            the checks (exit 77 where Thunar cannot run)
#   thunar_badge.sh LARKSPIRE SCREEN_GRAB --measure  5,000 files, larkspire's CPU time over 60 s
set -uo pipefail
bin=$1
grab=$2
mode=${3:-check}
# shellcheck source=badge_session.sh
source "$(dirname "$0")/badge_session.sh"

for tool in thunar xwininfo xfconf-query jq; do command -v "$tool" >/dev/null || skip "$tool fehlt"; done
startDesktopSession "$dir" || skip "$sessionProblem"

folder=$HOME/Projekt
fillFolder "$folder"
# The list view shows its rows on the bus; the icon view shows none.
xfconf-query -c thunar -p /last-view -n -t string -s ThunarDetailsView 2>/dev/null

thunar "$folder" >"$dir/thunar.log" 2>&1 &
started+=($!)
window=$(windowNamed "^Projekt - Thunar$") || skip "Thunar zeigt kein Fenster: $(tail -n 3 "$dir/thunar.log")"
xdotool windowsize --sync "$window" 900 600 windowmove --sync "$window" 200 100
# Larkspire starts while Thunar may still be filling its window.
startLarkspire

if [ "$mode" = "--measure" ]; then
    keys Home shift+Down shift+Down shift+Down
    within 30 "kein Schild" logged "Auswahl-Schild: $(badge "")"
    sleep 2
    measureCpu
    exit 0
fi

echo "1. Drei Dateien in Thunars Listenansicht gewählt: das Schild zeigt ihre Summe"
# Thunar takes the first Shift+Down after Home to start the selection on the first row.
keys Home shift+Down shift+Down shift+Down
# 1,500,000 + 700,000 + 340,000 bytes; two of them would read 2,2 MB, four 2,7 MB.
within 20 "kein Schild mit der Summe der drei Dateien" logged "Auswahl-Schild: $(badge "2,5 MB")"
within 10 "das Schild liegt nicht direkt über Thunars Rahmen" stacked_above
sleep 0.5
"$grab" "$pictures/thunar_badge$shot.png" || fail "kein Bildschirmfoto"
echo "   Überlagerung $(overlay_over "$window") direkt über Thunars Rahmen $(frame_of "$window")"

echo "2. Zwei Dateien mit Strg+X ausgeschnitten: ihre Zeilen sind ausgegraut"
keys End shift+Up
keys ctrl+x
within 20 "kein Ausschneiden gesehen" logged "Ausgeschnitten: 2 Datei(en)"
within 10 "cutPaths sind nicht d.txt und e.txt" cut_list_is "[\"$folder/d.txt\",\"$folder/e.txt\"]"
# Another row selected, so the picture shows the two greyed rows unselected. Thunar redraws the cut
# rows after the clipboard changed and may drop a selection made meanwhile (its status bar then shows
# none): the key is pressed again once.
ones=$(count_logged "Auswahl-Schild: $(badge "1,5 MB")")
keys Home
first_selected() { [ "$(count_logged "Auswahl-Schild: $(badge "1,5 MB")")" -gt "$ones" ]; }
for ((tries = 0; tries < 100; tries++)); do first_selected && break; sleep 0.05; done
first_selected || keys Home
# On a busy machine Thunar takes seconds to lay its redrawn rows out again.
within 30 "kein Schild für die erste Datei" first_selected
within 10 "die Überlagerung liegt nicht mehr über Thunar" stacked_above
sleep 0.5
"$grab" "$pictures/thunar_greyed$shot.png" || fail "kein Bildschirmfoto"

echo "3. Ein Klick durch die Überlagerung auf leere Fläche hebt Thunars Auswahl auf"
# Thunar may still drop the selection while it redraws the cut rows; the click needs one that stands
# for a second, or it would have nothing to clear.
last_badge() { grep -- "Auswahl-Schild: " "$log" | tail -n 1; }
selection_stands() {
    [[ "$(last_badge)" == *"$(badge "1,5 MB")" ]] || { keys Home; sleep 0.5; return 1; }
    sleep 1
    [[ "$(last_badge)" == *"$(badge "1,5 MB")" ]]
}
for ((tries = 0; tries < 15; tries++)); do selection_stands && break; done
selection_stands || fail "Thunars Auswahl der ersten Datei bleibt nicht stehen"
dashes=$(count_logged "Auswahl-Schild: –")
eval "$(xdotool getwindowgeometry --shell "$window")"
# Below the five rows and right of the badge: empty file area, if the click gets through.
xdotool windowactivate --sync "$window" mousemove --window "$window" $((WIDTH * 2 / 3)) $((HEIGHT - 80)) click 1
more_dashes() { [ "$(count_logged "Auswahl-Schild: –")" -gt "$dashes" ]; }
within 10 "der Klick kam nicht bei Thunar an" more_dashes

quitLarkspire
echo "Schild über Thunar: bestanden ($pictures/thunar_badge$shot.png, $pictures/thunar_greyed$shot.png)"
