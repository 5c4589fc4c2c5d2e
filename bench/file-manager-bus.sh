#!/usr/bin/env bash
# What reading the file managers over the accessibility bus costs, measured against the real programs
# under Xvfb: per window, a whole read (its parts found anew), the rows inside the viewport again, the
# selection alone and the check for scrolling, in milliseconds and calls (each a round trip at most);
# then the watcher's own processor time while the windows stay open.
# Usage: bench/file-manager-bus.sh BUILD_DIR [FILES] [SECONDS]   (defaults: 5000 files, 30 s)
set -uo pipefail

build=$1
files=${2:-5000}
seconds=${3:-30}
here=$(cd "$(dirname "$0")" && pwd)
dir=$(mktemp -d)
pids=()
# shellcheck source=../tests/tools/desktop_session.sh
source "$here/../tests/tools/desktop_session.sh"
cleanup() {
    endOwn "${pids[@]}"
    stopDesktopSession
    sleep 0.3
    rm -rf "$dir"
}
trap cleanup EXIT
startDesktopSession "$dir" || { echo "cannot run: $sessionProblem"; exit 1; }
folder=$HOME/Dokumente
prepareFolder "$folder" "$files"

# Opens a program on the folder and gives its window 900×1000 points, about 30 rows of a list.
open() {
    local title=$1; shift
    "$@" >"$dir/$1.log" 2>&1 &
    pids+=($!)
    local window
    window=$(awaitWindow "$title")
    [ -n "$window" ] || { echo "$1 does not open a window"; return 1; }
    xdotool windowsize --sync "$window" 900 1000 windowmove --sync "$window" 0 0 windowactivate --sync "$window"
    sleep 2
}

if command -v thunar >/dev/null; then
    xfconf-query -c thunar -p /last-view -n -t string -s ThunarDetailsView
    open "^Dokumente - Thunar" thunar "$folder"
fi
if command -v pcmanfm-qt >/dev/null; then
    mkdir -p "$XDG_CONFIG_HOME/pcmanfm-qt/default"
    printf '[FolderView]\nMode=detailed\n' >"$XDG_CONFIG_HOME/pcmanfm-qt/default/settings.conf"
    open "^Dokumente$" pcmanfm-qt "$folder"
fi
if command -v nautilus >/dev/null; then
    gsettings set org.gnome.nautilus.preferences default-folder-viewer list-view 2>/dev/null
    open "^Dokumente$" nautilus --new-window "$folder"
fi
# Three selected rows in the front window, as a user leaves them.
xdotool mousemove 300 300 click 1 keydown shift key Down Down keyup shift
sleep 1

echo "== $files files, reads over the bus"
"$build/tests/measure_file_manager_reads" 10

echo "== the watcher, $seconds s with the windows open and nothing changing"
"$build/tests/watch_file_managers" "$((seconds + 5))" >"$dir/reports" 2>"$dir/watcher.log" &
watcher=$!
pids+=("$watcher")
sleep 5
ticks=$(getconf CLK_TCK)
before=$(awk '{print $14 + $15}' "/proc/$watcher/stat")
sleep "$seconds"
after=$(awk '{print $14 + $15}' "/proc/$watcher/stat")
awk -v t=$((after - before)) -v hz="$ticks" -v s="$seconds" \
    'BEGIN { printf "watcher processor time: %.2f s in %d s = %.2f %% of one core\n", t / hz, s, 100 * t / hz / s }'
echo "reports: $(wc -l <"$dir/reports")"
