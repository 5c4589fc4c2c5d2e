# Sourced by the scripts that put the badge over a real file manager: a desktop session in a
# temporary folder, larkspire's log, waiting, keys for the file manager's window, the overlay's
# place in the stacking order, and the CPU measurement. The script sets `bin`, `grab` and `mode`
# first, and keeps the pids it starts in `started` so that the cleanup ends them and only them.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
pictures=${LARKSPIRE_PICTURES:-$(dirname "$bin")}
dir=$(mktemp -d)
log=$dir/larkspire.log
started=()
skip() { echo "Übersprungen: $*"; exit 77; }
fail() {
    echo "FEHLER: $*"
    [ -n "${DISPLAY:-}" ] && "$grab" "$pictures/failed.png" 2>/dev/null && echo "Bild: $pictures/failed.png"
    echo "--- Protokoll"
    tail -n 30 "$log"
    exit 1
}
# shellcheck source=../../../tools/desktop_session.sh
source "$here/../../../tools/desktop_session.sh"
cleanup() {
    endOwn "${started[@]}"
    stopDesktopSession
    sleep 0.3
    rm -rf "$dir"
}
trap cleanup EXIT

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
count_logged() { grep -c -- "$1" "$log"; }

# The files whose totals the checks know: 1,500,000 + 700,000 + 340,000 bytes read 2,5 MB; two of
# them 2,2 MB, four 2,7 MB. With --measure: 5,000 empty files instead.
fillFolder() {
    mkdir -p "$1"
    if [ "$mode" = "--measure" ]; then
        for ((i = 1; i <= 5000; i++)); do : >"$1/$(printf 'datei-%04d.txt' "$i")"; done
    else
        head -c 1500000 /dev/zero >"$1/a.pdf"
        head -c 700000 /dev/zero >"$1/b.mov"
        head -c 340000 /dev/zero >"$1/c.jpg"
        head -c 150000 /dev/zero >"$1/d.txt"
        head -c 20 /dev/zero >"$1/e.txt"
    fi
}

windowNamed() {  # pattern: waits up to 10 s for a visible window of that name and prints it
    local i found
    for ((i = 0; i < 100; i++)); do
        found=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
        [ -n "$found" ] && { echo "$found"; return 0; }
        sleep 0.1
    done
    return 1
}

# The badge's language, whatever the session's: German, or English with LARKSPIRE_BADGE_LANGUAGE=en,
# whose pictures end in "-en". Only Larkspire is told, so the file manager keeps the session's.
badgeLanguage=${LARKSPIRE_BADGE_LANGUAGE:-de}
shot=""
[ "$badgeLanguage" = de ] || shot="-$badgeLanguage"
badge() {  # size with a German comma: the badge's text for it in the badge's language
    if [ "$badgeLanguage" = en ]; then echo "Selection: ${1/,/.}"; else echo "Auswahl: $1"; fi
}

startLarkspire() {
    LANGUAGE=$badgeLanguage "$bin" 2>"$log" &
    larkspire=$!
    started+=("$larkspire")
    within 20 "Larkspire startet nicht" logged "Statussymbol gesetzt"
    # Without a status bar larkspire opens its settings window instead, which takes the focus some
    # time after it appears; it is put aside so that it cannot take the file manager's keys.
    local waited settings
    for ((waited = 0; waited < 30; waited++)); do logged "Keine Statusleiste" && break; sleep 0.1; done
    if logged "Keine Statusleiste"; then
        within 10 "kein Einstellungsfenster" xdotool search --onlyvisible --pid "$larkspire" --name "."
        sleep 0.5
        for settings in $(xdotool search --onlyvisible --pid "$larkspire" --name "."); do
            xdotool windowminimize --sync "$settings"
        done
    fi
}

quitLarkspire() {
    local quit="Larkspire beenden"
    [ "$badgeLanguage" = en ] && quit="Quit Larkspire"
    "$bin" --choose-menu-item "$quit" || fail "Beenden nicht zugestellt"
    timeout 20 tail --pid="$larkspire" -f /dev/null || fail "Larkspire hat sich nicht beendet"
}

# Each step brings the file manager to the front first.
in_front() { xdotool windowactivate --sync "$window" && [ "$(xdotool getactivewindow 2>/dev/null)" = "$window" ]; }
keys() {
    within 5 "das Fenster des Dateimanagers kommt nicht nach vorn" in_front
    for key in "$@"; do
        xdotool key --clearmodifiers "$key"
        sleep 0.2
    done
}

# xwininfo lists the root's children from the top down: the overlay must come just before the
# frame around the file manager's window and cover the window's own area.
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
cut_list_is() { [ "$(jq -c '.cutPaths // []' "$XDG_CONFIG_HOME/larkspire/settings.json" 2>/dev/null)" = "$1" ]; }

# Larkspire's CPU time over 60 s with the badge shown, and the main thread's share of it.
measureCpu() {
    local ticks before after main_before main_after
    ticks=$(getconf CLK_TCK)
    cpu() { awk '{print $14 + $15}' "/proc/$1/stat"; }
    before=$(cpu "$larkspire") main_before=$(cpu "$larkspire/task/$larkspire")
    sleep 60
    after=$(cpu "$larkspire") main_after=$(cpu "$larkspire/task/$larkspire")
    awk -v t="$ticks" -v a="$before" -v b="$after" -v m="$main_before" -v n="$main_after" 'BEGIN {
        printf "Larkspire über 60 s: %.2f s CPU (%.2f %% eines Kerns), davon Hauptthread %.2f s, ", (b - a) / t, (b - a) / t / 60 * 100, (n - m) / t
        printf "je Durchlauf alle 0,12 s: %.2f ms\n", (n - m) / t / 500 * 1000 }'
}
