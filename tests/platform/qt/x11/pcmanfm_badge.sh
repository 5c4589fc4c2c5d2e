#!/usr/bin/env bash
# The badge over pcmanfm-qt under Xvfb with openbox and the accessibility bus. In the detailed list
# view three files picked with the keyboard give the badge with their total, in a click-through window
# stacked directly above pcmanfm-qt's frame; two files cut with Ctrl+X are greyed. In the icon view
# the badge tells the right total or nothing. Pictures go to $LARKSPIRE_PICTURES (default: the
# program's folder).
#   pcmanfm_badge.sh LARKSPIRE SCREEN_GRAB            the checks (exit 77 where pcmanfm-qt cannot run)
#   pcmanfm_badge.sh LARKSPIRE SCREEN_GRAB --measure  5,000 files, larkspire's CPU time over 60 s
set -uo pipefail
bin=$1
grab=$2
mode=${3:-check}
# shellcheck source=badge_session.sh
source "$(dirname "$0")/badge_session.sh"

for tool in pcmanfm-qt xwininfo jq; do command -v "$tool" >/dev/null || skip "$tool fehlt"; done
startDesktopSession "$dir" || skip "$sessionProblem"

folder=$HOME/Projekt
fillFolder "$folder"
# The detailed list view lists every row on the bus; it is chosen before the program reads its settings.
mkdir -p "$XDG_CONFIG_HOME/pcmanfm-qt/default"
printf '[FolderView]\nMode=detailed\n' >"$XDG_CONFIG_HOME/pcmanfm-qt/default/settings.conf"

# Now and then its first start finds the session bus not ready and ends at once; a second one works.
window=
for attempt in 1 2; do
    pcmanfm-qt "$folder" >"$dir/pcmanfm.log" 2>&1 &
    started+=($!)
    window=$(windowNamed "^Projekt$") && break
done
[ -n "$window" ] || skip "pcmanfm-qt zeigt kein Fenster: $(tail -n 3 "$dir/pcmanfm.log")"
xdotool windowsize --sync "$window" 900 600 windowmove --sync "$window" 200 100
startLarkspire

if [ "$mode" = "--measure" ]; then
    keys Home shift+Down shift+Down
    within 30 "kein Schild" logged "Auswahl-Schild: Auswahl: "
    sleep 2
    measureCpu
    exit 0
fi

echo "1. Drei Dateien in der Listenansicht gewählt: das Schild zeigt ihre Summe"
# The list has the focus from the start; its rows move while the window is still being filled, so
# the keyboard picks them rather than the mouse.
keys Home shift+Down shift+Down
within 20 "kein Schild mit der Summe der drei Dateien" logged "Auswahl-Schild: Auswahl: 2,5 MB"
within 10 "das Schild liegt nicht direkt über dem Rahmen von pcmanfm-qt" stacked_above
sleep 0.5
"$grab" "$pictures/pcmanfm_badge.png" || fail "kein Bildschirmfoto"
echo "   Überlagerung $(overlay_over "$window") direkt über dem Rahmen $(frame_of "$window")"

echo "2. Zwei Dateien mit Strg+X ausgeschnitten: ihre Zeilen sind ausgegraut"
keys End shift+Up ctrl+x
within 20 "kein Ausschneiden gesehen" logged "Ausgeschnitten: 2 Datei(en)"
within 10 "cutPaths sind nicht d.txt und e.txt" cut_list_is "[\"$folder/d.txt\",\"$folder/e.txt\"]"
# Another row selected, so the picture shows the two greyed rows unselected.
keys Home
within 10 "kein Schild für die erste Datei" logged "Auswahl-Schild: Auswahl: 1,5 MB"
within 10 "die Überlagerung liegt nicht mehr über pcmanfm-qt" stacked_above
sleep 0.5
"$grab" "$pictures/pcmanfm_greyed.png" || fail "kein Bildschirmfoto"

echo "3. Symbolansicht: das Schild zeigt die Summe aller Dateien oder nichts, nie etwas Falsches"
# The tool bar's first view button, right of the side pane's edge; the overlay lets the click through.
within 5 "pcmanfm-qt kommt nicht nach vorn" in_front
xdotool mousemove --window "$window" 265 42 click 1
sleep 1
shown_before=$(count_logged "Auswahl-Schild: ")
keys ctrl+a
# All five files: 2,7 MB; a view that tells nothing shows no badge.
sleep 3
wrong=$(tail -n +1 "$log" | grep -- "Auswahl-Schild: " | tail -n +$((shown_before + 1)) |
    grep -v -e "Auswahl: 2,7 MB" -e "wird berechnet" -e "Auswahl-Schild: –")
[ -z "$wrong" ] || fail "falsches Schild in der Symbolansicht: $wrong"
"$grab" "$pictures/pcmanfm_icons.png" || fail "kein Bildschirmfoto"
if logged "Auswahl-Schild: Auswahl: 2,7 MB"; then echo "   Schild mit 2,7 MB"; else echo "   kein Schild"; fi

quitLarkspire
echo "Schild über pcmanfm-qt: bestanden ($pictures/pcmanfm_badge.png, $pictures/pcmanfm_greyed.png)"
