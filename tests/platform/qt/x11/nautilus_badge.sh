#!/usr/bin/env bash
# The badge over Nautilus (GTK 4) under Xvfb with openbox and the accessibility bus. Three files selected
# in the list view give the badge with their total, in a click-through window stacked directly above
# Nautilus's frame and as large as its window; two files cut with Ctrl+X are greyed; the grid view
# shows the right total or no badge. Pictures go to $LARKSPIRE_PICTURES (default: the program's folder).
#   nautilus_badge.sh LARKSPIRE SCREEN_GRAB            the checks (exit 77 where Nautilus cannot run)
#   nautilus_badge.sh LARKSPIRE SCREEN_GRAB --measure  5,000 files, larkspire's CPU time over 60 s
set -uo pipefail
bin=$1
grab=$2
mode=${3:-check}
# shellcheck source=badge_session.sh
source "$(dirname "$0")/badge_session.sh"

for tool in nautilus xwininfo xprop jq; do command -v "$tool" >/dev/null || skip "$tool fehlt"; done
startDesktopSession "$dir" || skip "$sessionProblem"

last_badge() { grep -o -- "Auswahl-Schild: .*" "$log" | tail -n 1; }

folder=$HOME/Projekt
fillFolder "$folder"
# Nautilus reads its settings from a key file here, so it opens in the list view, whose rows are on
# the bus with their places.
mkdir -p "$XDG_CONFIG_HOME/glib-2.0/settings"
printf "[org/gnome/nautilus/preferences]\ndefault-folder-viewer='list-view'\n" \
    >"$XDG_CONFIG_HOME/glib-2.0/settings/keyfile"
GSETTINGS_BACKEND=keyfile nautilus "$folder" >"$dir/nautilus.log" 2>&1 &
nautilus=$!
started+=("$nautilus")
for ((i = 0; i < 150; i++)); do
    window=$(xdotool search --onlyvisible --name "^Projekt$" 2>/dev/null | head -n 1)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || skip "Nautilus zeigt kein Fenster: $(tail -n 3 "$dir/nautilus.log")"
xdotool windowsize --sync "$window" 900 600 windowmove --sync "$window" 200 100
sleep 1
# Started as it was tried first: with the settings window put aside, the click on the first row
# once went unanswered.
"$bin" 2>"$log" &
larkspire=$!
started+=("$larkspire")
within 20 "Larkspire startet nicht" logged "Statussymbol gesetzt"
sleep 1

# GTK 4 draws its own title bar; without a compositor it draws no shadow either, so the visible window
# is the whole X11 window. Where it leaves a transparent margin, the badge would be placed over it.
margins=$(xprop -id "$window" _GTK_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= //p')
case "$margins" in "" | "0, 0, 0, 0") ;; *) skip "Nautilus zeichnet Schatten ($margins): nicht untersucht" ;; esac

# Nautilus takes keys in its list only once a row has been clicked; the first row lies here in a
# 900×600 window.
click_first_row() { xdotool windowactivate --sync "$window" mousemove --window "$window" 350 120 click 1; }

if [ "$mode" = "--measure" ]; then
    click_first_row
    keys shift+Down shift+Down
    within 30 "kein Schild" logged "Auswahl-Schild: Auswahl: "
    sleep 2
    ticks=$(getconf CLK_TCK)
    n_cpu() { awk -v t="$ticks" -v b="${1:-0}" '{printf "%.2f s CPU", ($14 + $15 - b) / t}' "/proc/$nautilus/stat"; }
    echo "Nautilus bis zum Schild: $(n_cpu)"
    n_before=$(awk '{print $14 + $15}' "/proc/$nautilus/stat")
    measureCpu
    echo "Nautilus in denselben 60 s: $(n_cpu "$n_before")"
    exit 0
fi

echo "1. Drei Dateien in Nautilus' Listenansicht gewählt: das Schild zeigt ihre Summe"
click_first_row
keys shift+Down shift+Down
# 1,500,000 + 700,000 + 340,000 bytes; two of them would read 2,2 MB, four 2,7 MB.
within 20 "kein Schild mit der Summe der drei Dateien" logged "Auswahl-Schild: Auswahl: 2,5 MB"
within 10 "das Schild liegt nicht direkt über Nautilus' Rahmen" stacked_above
sleep 0.5
"$grab" "$pictures/nautilus_badge.png" || fail "kein Bildschirmfoto"
echo "   Überlagerung $(overlay_over "$window") direkt über Nautilus' Rahmen $(frame_of "$window"), $(placement_of "$window")"

echo "2. Zwei Dateien mit Strg+X ausgeschnitten: ihre Zeilen sind ausgegraut"
keys End shift+Up
keys ctrl+x
within 20 "kein Ausschneiden gesehen" logged "Ausgeschnitten: 2 Datei(en)"
within 10 "cutPaths sind nicht d.txt und e.txt" cut_list_is "[\"$folder/d.txt\",\"$folder/e.txt\"]"
# Another row selected, so the picture shows the two greyed rows unselected.
keys Home
within 10 "kein Schild für die erste Datei" logged "Auswahl-Schild: Auswahl: 1,5 MB"
within 10 "die Überlagerung liegt nicht mehr über Nautilus" stacked_above
sleep 0.5
"$grab" "$pictures/nautilus_greyed.png" || fail "kein Bildschirmfoto"

echo "3. Rasteransicht: alle fünf gewählt, das Schild zeigt ihre Summe oder keines"
keys ctrl+2
sleep 1
keys ctrl+a
sleep 3
case "$(last_badge)" in
"Auswahl-Schild: Auswahl: 2,7 MB" | "Auswahl-Schild: –") echo "   $(last_badge)" ;;
*) fail "falsches Schild in der Rasteransicht: $(last_badge)" ;;
esac
"$grab" "$pictures/nautilus_grid.png" || fail "kein Bildschirmfoto"

quitLarkspire
echo "Schild über Nautilus: bestanden ($pictures/nautilus_badge.png, $pictures/nautilus_greyed.png, $pictures/nautilus_grid.png)"
