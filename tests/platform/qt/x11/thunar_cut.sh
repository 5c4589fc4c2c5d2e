#!/usr/bin/env bash
# The real file manager: Thunar under Xvfb and a window manager cuts two files with Ctrl+X; the cut
# list follows, the discard makes Thunar's paste copy instead of move, and a later cut pasted with
# Ctrl+V moves the files and ends the cut. Argument: the larkspire program.
set -euo pipefail
bin=$1

# shellcheck source=../../../tools/desktop_session.sh
source "$(dirname "$0")/../../../tools/desktop_session.sh"
requireTools "Test mit Thunar übersprungen" Xvfb dbus-daemon thunar openbox xdotool jq
# Thunar keeps its settings and state under HOME; none of the user's is touched.
useScriptSession
unset QT_QPA_PLATFORM
startXvfb "$work" 1280x800x24 || { echo "Xvfb ließ sich nicht starten: Test übersprungen"; exit 77; }
startSessionBus || { echo "Kein Sitzungsbus: Test übersprungen"; exit 77; }
settings=$XDG_CONFIG_HOME/larkspire/settings.json
log=$work/larkspire.log
touch "$log"
fail() { echo "FEHLER: $*"; echo "--- Protokoll"; cat "$log"; exit 1; }

count() { grep -c -- "$2" "$1" || true; }
within() {  # description command…: waits up to 20 s until the command succeeds
  local what=$1 waited=0
  shift
  until "$@"; do
    sleep 0.05
    waited=$((waited + 1))
    [ "$waited" -lt 400 ] || fail "$what"
  done
}
logged() { [ "$(count "$log" "$1")" -ge "$2" ]; }
cut_list_is() { [ "$(jq -c '.cutPaths // []' "$settings" 2>/dev/null)" = "$1" ]; }

src=$work/from
mkdir -p "$src" "$work/copied" "$work/moved"
touch "$src/one.txt" "$src/two.txt"
both=$(jq -cn --arg a "$src/one.txt" --arg b "$src/two.txt" '[$a, $b]')

startOpenbox "$work" || fail "$sessionProblem"
# Menu items are chosen by their German titles, whatever the session's language.
LANGUAGE=de_DE "$bin" 2>"$log" &
larkspire=$!
pids+=("$larkspire")
within "Larkspire startet nicht" logged "Statussymbol gesetzt" 1
thunar "$src" >"$work/thunar.log" 2>&1 &
pids+=($!)
window=$(timeout 20 xdotool search --sync --onlyvisible --class Thunar | head -1)
[ -n "$window" ] || fail "kein Thunar-Fenster"
# Larkspire's settings window may open meanwhile; each step brings Thunar to the front first.
keys() { xdotool windowactivate --sync "$window" && xdotool key --clearmodifiers "$@"; }
go_to() {  # folder
  keys ctrl+l
  xdotool type --delay 10 "$1/"
  xdotool key Return
  sleep 0.5
}

echo "1. Strg+X in Thunar: zwei Dateien ausgeschnitten"
sleep 1
keys ctrl+a
keys ctrl+x
within "kein Ausschneiden gesehen" logged "Ausgeschnitten: 2 Datei(en)" 1
within "cutPaths nicht gesetzt" cut_list_is "$both"

echo "2. Verwerfen im Menü: Thunar kopiert beim Einfügen statt zu verschieben"
"$bin" --choose-menu-item "2 Datei(en) ausgeschnitten – verwerfen" || fail "Menüpunkt nicht zugestellt"
within "nicht verworfen" logged "als Kopie zurückgelegt" 1
within "cutPaths nicht leer" cut_list_is "[]"
go_to "$work/copied"
keys ctrl+v
within "nicht eingefügt" test -e "$work/copied/two.txt"
[ -e "$src/one.txt" ] && [ -e "$src/two.txt" ] || fail "verworfenes Ausschneiden hat verschoben"

echo "3. Erneut ausschneiden und einfügen: verschoben, das Ausschneiden endet"
go_to "$src"
keys ctrl+a
keys ctrl+x
within "zweites Ausschneiden nicht gesehen" logged "Ausgeschnitten: 2 Datei(en)" 2
go_to "$work/moved"
keys ctrl+v
within "nicht verschoben" test -e "$work/moved/two.txt"
within "Ausschneiden nach dem Verschieben nicht beendet" cut_list_is "[]"
[ ! -e "$src/one.txt" ] || fail "nicht verschoben"

"$bin" --choose-menu-item "Larkspire beenden" || fail "Beenden nicht zugestellt"
timeout 20 tail --pid="$larkspire" -f /dev/null || fail "Larkspire hat sich nicht beendet"
echo "Thunar: Ausschneiden bestanden"
