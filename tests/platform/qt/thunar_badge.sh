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
here=$(cd "$(dirname "$0")" && pwd)
pictures=${LARKSPIRE_PICTURES:-$(dirname "$bin")}
dir=$(mktemp -d)
log=$dir/larkspire.log
skip() { echo "Übersprungen: $*"; exit 77; }
fail() { echo "FEHLER: $*"; echo "--- Protokoll"; tail -n 30 "$log"; exit 1; }
# shellcheck source=../../tools/desktop_session.sh
source "$here/../../tools/desktop_session.sh"
cleanup() {
    for pid in ${larkspire:-} ${thunar:-}; do kill "$pid" 2>/dev/null; done
    stopDesktopSession
    sleep 0.3
    rm -rf "$dir"
}
trap cleanup EXIT

for tool in thunar xwininfo xfconf-query jq; do command -v "$tool" >/dev/null || skip "$tool fehlt"; done
startDesktopSession "$dir" || skip "$sessionProblem"

within() {  # seconds description command…: waits until the command succeeds
    local limit=$(($1 * 20)) what=$2 waited=0
    shift 2
    until "$@"; do
        sleep 0.05
        waited=$((waited + 1))
        [ "$waited" -lt "$limit" ] || fail "$what"
    done
}
logged() { grep -q -- "$1" "$log"; }

folder=$HOME/Projekt
mkdir -p "$folder"
if [ "$mode" = "--measure" ]; then
    for ((i = 1; i <= 5000; i++)); do : >"$folder/$(printf 'datei-%04d.txt' "$i")"; done
else
    head -c 1500000 /dev/zero >"$folder/a.pdf"
    head -c 700000 /dev/zero >"$folder/b.mov"
    head -c 340000 /dev/zero >"$folder/c.jpg"
    head -c 150000 /dev/zero >"$folder/d.txt"
    head -c 20 /dev/zero >"$folder/e.txt"
fi
# The list view shows its rows on the bus; the icon view shows none.
xfconf-query -c thunar -p /last-view -n -t string -s ThunarDetailsView 2>/dev/null

thunar "$folder" >"$dir/thunar.log" 2>&1 &
thunar=$!
for ((i = 0; i < 100; i++)); do
    window=$(xdotool search --onlyvisible --name "^Projekt - Thunar$" 2>/dev/null | head -n 1)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || skip "Thunar zeigt kein Fenster: $(tail -n 3 "$dir/thunar.log")"
xdotool windowsize --sync "$window" 900 600 windowmove --sync "$window" 200 100
# Larkspire starts once Thunar shows its rows, as a user would find the desktop.
sleep 1
"$bin" 2>"$log" &
larkspire=$!
within 20 "Larkspire startet nicht" logged "Statussymbol gesetzt"
# Larkspire's settings window may open meanwhile; each step brings Thunar to the front first.
keys() {
    xdotool windowactivate --sync "$window" || return 1
    for key in "$@"; do
        xdotool key --clearmodifiers "$key"
        sleep 0.2
    done
}
sleep 1

# xwininfo lists the root's children from the top down: the overlay must come just before the
# frame around Thunar's window and cover Thunar's own area.
frame_of() { xwininfo -id "$1" -tree | sed -n 's/^ *Parent window id: \(0x[0-9a-f]*\).*/\1/p'; }
placement_of() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
        /Width:/{w=$NF} /Height:/{h=$NF} END{print w "x" h "+" x "+" y}'
}
overlay_over() {
    local frame above
    frame=$(frame_of "$1")
    above=$(xwininfo -root -children | awk -v f="$frame" '$1 ~ /^0x/ { if ($1 == f) { print prev; exit } prev = $1 }')
    [ -n "$above" ] && [ "$(placement_of "$above")" = "$(placement_of "$1")" ] && echo "$above"
}
stacked_above() { [ -n "$(overlay_over "$window")" ]; }

if [ "$mode" = "--measure" ]; then
    keys Home shift+Down shift+Down shift+Down
    within 30 "kein Schild" logged "Auswahl-Schild: Auswahl: "
    sleep 2
    ticks=$(getconf CLK_TCK)
    cpu() { awk '{print $14 + $15}' "/proc/$1/stat"; }
    before=$(cpu "$larkspire") main_before=$(cpu "$larkspire/task/$larkspire")
    sleep 60
    after=$(cpu "$larkspire") main_after=$(cpu "$larkspire/task/$larkspire")
    awk -v t="$ticks" -v a="$before" -v b="$after" -v m="$main_before" -v n="$main_after" 'BEGIN {
        printf "Larkspire über 60 s: %.2f s CPU (%.2f %% eines Kerns), davon Hauptthread %.2f s, ", (b - a) / t, (b - a) / t / 60 * 100, (n - m) / t
        printf "je Durchlauf alle 0,12 s: %.2f ms\n", (n - m) / t / 500 * 1000 }'
    exit 0
fi

echo "1. Drei Dateien in Thunars Listenansicht gewählt: das Schild zeigt ihre Summe"
# Thunar takes the first Shift+Down after Home to start the selection on the first row.
keys Home shift+Down shift+Down shift+Down
# 1,500,000 + 700,000 + 340,000 bytes; two of them would read 2,2 MB, four 2,7 MB.
within 20 "kein Schild mit der Summe der drei Dateien" logged "Auswahl-Schild: Auswahl: 2,5 MB"
within 10 "das Schild liegt nicht direkt über Thunars Rahmen" stacked_above
sleep 0.5
"$grab" "$pictures/thunar_badge.png" || fail "kein Bildschirmfoto"
echo "   Überlagerung $(overlay_over "$window") direkt über Thunars Rahmen $(frame_of "$window")"

echo "2. Zwei Dateien mit Strg+X ausgeschnitten: ihre Zeilen sind ausgegraut"
keys End shift+Up
keys ctrl+x
within 20 "kein Ausschneiden gesehen" logged "Ausgeschnitten: 2 Datei(en)"
cut_list_is() { [ "$(jq -c '.cutPaths // []' "$XDG_CONFIG_HOME/larkspire/settings.json" 2>/dev/null)" = "$1" ]; }
within 10 "cutPaths sind nicht d.txt und e.txt" cut_list_is "[\"$folder/d.txt\",\"$folder/e.txt\"]"
# Another row selected, so the picture shows the two greyed rows unselected.
keys Home
within 10 "kein Schild für die erste Datei" logged "Auswahl-Schild: Auswahl: 1,5 MB"
within 10 "die Überlagerung liegt nicht mehr über Thunar" stacked_above
sleep 0.5
"$grab" "$pictures/thunar_greyed.png" || fail "kein Bildschirmfoto"

echo "3. Ein Klick durch die Überlagerung auf leere Fläche hebt Thunars Auswahl auf"
dashes=$(grep -c -- "Auswahl-Schild: –" "$log")
eval "$(xdotool getwindowgeometry --shell "$window")"
# Below the five rows and right of the badge: empty file area, if the click gets through.
xdotool windowactivate --sync "$window" mousemove --window "$window" $((WIDTH * 2 / 3)) $((HEIGHT - 80)) click 1
more_dashes() { [ "$(grep -c -- "Auswahl-Schild: –" "$log")" -gt "$dashes" ]; }
within 10 "der Klick kam nicht bei Thunar an" more_dashes

"$bin" --choose-menu-item "Larkspire beenden" || fail "Beenden nicht zugestellt"
timeout 20 tail --pid="$larkspire" -f /dev/null || fail "Larkspire hat sich nicht beendet"
echo "Schild über Thunar: bestanden ($pictures/thunar_badge.png, $pictures/thunar_greyed.png)"
