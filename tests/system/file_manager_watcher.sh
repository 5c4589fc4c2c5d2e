#!/usr/bin/env bash
# The accessibility-bus watcher against a real Thunar: under Xvfb with openbox, a private session bus
# and the accessibility bus, in a temporary HOME with a folder of 40 files. Thunar opens the folder in
# its details view; the watcher must report the folder and the visible rows; three rows are then
# selected with xdotool, and the watcher must report exactly those three as selected.
# Exits 77 (skipped) only where Xvfb, the buses or Thunar cannot start. Usage: file_manager_watcher.sh BUILD_DIR
set -uo pipefail

watch=$1/tests/watch_file_managers
here=$(cd "$(dirname "$0")" && pwd)
dir=$(mktemp -d)
skip() { echo "SKIPPED: $*"; exit 77; }
fail() {
    echo "FAILED: $*"
    echo "--- last reports"; tail -n 3 "$dir/reports" 2>/dev/null
    echo "--- watcher"; cat "$dir/watcher.log" 2>/dev/null
    exit 1
}
# shellcheck source=../tools/desktop_session.sh
source "$here/../tools/desktop_session.sh"
cleanup() {
    endOwn ${watcherPid:-} ${thunarPid:-}
    stopDesktopSession
    sleep 0.3
    rm -rf "$dir"
}
trap cleanup EXIT

[ -x "$watch" ] || fail "$watch is not built"
for tool in thunar python3; do command -v "$tool" >/dev/null || skip "$tool is not installed (make test installs it)"; done
startDesktopSession "$dir" || skip "$sessionProblem"
folder=$HOME/Dokumente
prepareFolder "$folder" 40
# The details view lists its rows on the bus; the icon view lists none.
xfconf-query -c thunar -p /last-view -n -t string -s ThunarDetailsView 2>/dev/null

thunar "$folder" >"$dir/thunar.log" 2>&1 &
thunarPid=$!
for ((i = 0; i < 100; i++)); do
    window=$(xdotool search --name "^Dokumente - Thunar" 2>/dev/null | head -n 1)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || skip "Thunar does not open a window here: $(tail -n 3 "$dir/thunar.log")"
xdotool windowsize --sync "$window" 900 600 windowmove --sync "$window" 100 100 windowactivate --sync "$window"
xfconf-query -c thunar -p /last-view >/dev/null 2>&1 || xdotool key ctrl+2

"$watch" 120 >"$dir/reports" 2>"$dir/watcher.log" &
watcherPid=$!

# Waits until the last report satisfies a Python condition on `t`, the list of Thunar's windows in it.
waitForReport() {
    local seconds=$1 condition=$2
    for ((i = 0; i < seconds * 10; i++)); do
        tail -n 1 "$dir/reports" 2>/dev/null | python3 -c "
import json, sys
line = sys.stdin.read().strip()
t = [w for w in json.loads(line)['windows'] if w['kind'] == 'thunar'] if line else None
sys.exit(0 if t is not None and ($condition) else 1)
" && return 0
        sleep 0.1
    done
    return 1
}

waitForReport 20 "t and t[0]['folder'] == '$folder' and len(t[0]['items']) >= 10" ||
    fail "no report of the folder with its rows"

# The centres of three visible rows, as the watcher placed them on the screen.
read -r -a points < <(tail -n 1 "$dir/reports" | python3 -c "
import json, sys
w = [w for w in json.loads(sys.stdin.read())['windows'] if w['kind'] == 'thunar'][0]
rows = {i['name']: i['extents'] for i in w['items']}
for name in ['Datei 02.txt', 'Datei 04.txt', 'Datei 05.txt']:
    x, y, width, height = rows[name]
    print(int(x + 40), int(y + height / 2), end=' ')
")
[ ${#points[@]} -eq 6 ] || fail "the rows to select are not among those reported"
xdotool mousemove "${points[0]}" "${points[1]}" click 1
sleep 0.3
xdotool keydown ctrl mousemove "${points[2]}" "${points[3]}" click 1 mousemove "${points[4]}" "${points[5]}" click 1 keyup ctrl

selected="sorted(i['name'] for i in t[0]['items'] if i['selected']) == ['Datei 02.txt', 'Datei 04.txt', 'Datei 05.txt']"
waitForReport 10 "t and t[0]['active'] and $selected" ||
    fail "the selection of three rows was not reported"

# A file manager that stops answering costs the watcher the bus timeout a few times, not a call each:
# its window is dropped within seconds, and comes back with its selection once it answers again.
kill -STOP "$thunarPid"
waitForReport 10 "not t" || { kill -CONT "$thunarPid"; fail "the window of a file manager that does not answer was kept"; }
kill -CONT "$thunarPid"
waitForReport 10 "t and $selected" || fail "the window did not come back once the file manager answered again"
echo "PASSED: folder and selection reported; a file manager that hangs is let go and taken back"
