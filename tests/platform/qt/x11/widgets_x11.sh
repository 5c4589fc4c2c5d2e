#!/usr/bin/env bash
# The desktop widgets under Xvfb and a real window manager: resting, they sit above the desktop and
# below an ordinary window opened later, on every workspace and out of the task bar, and a click
# on them reaches the desktop behind; arranging, they take the mouse: a drag moves the clock, the
# handle scales it (also a second time, after the window grew), and afterwards clicks pass again,
# also once the clock has been switched off and on.
# A helper window of another program stands in for the desktop and records the clicks it gets.
# Arguments: the larkspire program, the click_recorder helper.
set -euo pipefail
bin=$1
recorder=$2

# shellcheck source=../../../tools/desktop_session.sh
source "$(dirname "$0")/../../../tools/desktop_session.sh"
requireTools "Test der Widgets unter X11 übersprungen" Xvfb dbus-daemon openbox xdotool xwininfo xprop jq python3
useScriptSession
mkdir -p "$XDG_CONFIG_HOME/larkspire"
unset QT_QPA_PLATFORM
# Without the FUSE side of GIO no mount outlives the test in its folder.
export GIO_USE_VFS=local GVFS_DISABLE_FUSE=1
startXvfb "$work" 1280x800x24 || { echo "Xvfb ließ sich nicht starten: Test übersprungen"; exit 77; }
startSessionBus || { echo "Kein Sitzungsbus: Test übersprungen"; exit 77; }
settings=$XDG_CONFIG_HOME/larkspire/settings.json
log=$work/larkspire.log
desktop_clicks=$work/desktop.log
window_clicks=$work/window.log
touch "$log" "$desktop_clicks" "$window_clicks"
fail() {
  echo "FEHLER: $*"
  echo "--- Einstellungen"; cat "$settings" 2>/dev/null || true
  echo "--- Klicks Schreibtisch"; cat "$desktop_clicks"
  echo "--- Klicks Fenster"; cat "$window_clicks"
  echo "--- Stapel"; xprop -root _NET_CLIENT_LIST_STACKING || true
  echo "--- Protokoll"; cat "$log"
  exit 1
}
within() {  # description command…: waits up to 20 s until the command succeeds
  local what=$1 waited=0
  shift
  until "$@"; do
    sleep 0.05
    waited=$((waited + 1))
    [ "$waited" -lt 400 ] || fail "$what"
  done
}

# Geometry of a client window on the root: sets X Y W H.
geometry() {
  local info
  info=$(xwininfo -id "$1") || fail "Fenster $1 verschwunden"
  X=$(awk '/Absolute upper-left X/ {print $NF}' <<<"$info")
  Y=$(awk '/Absolute upper-left Y/ {print $NF}' <<<"$info")
  W=$(awk '/Width:/ {print $NF}' <<<"$info")
  H=$(awk '/Height:/ {print $NF}' <<<"$info")
}
# Bottom to top, as the window manager stacks its clients.
stacking() { xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,//g'; }
index_of() { local i=0 w; for w in $(stacking); do [ $((w)) -eq $(($1)) ] && { echo $i; return; }; i=$((i + 1)); done; echo -1; }
has_state() { xprop -id "$1" _NET_WM_STATE | grep -q "$2"; }
count() { grep -c -- "$2" "$1" || true; }
clicked() { [ "$(count "$1" "^Klick $2 $3$")" -ge 1 ]; }
click() { xdotool mousemove "$1" "$2" click 1; }
drag() {  # from x y to x y, in steps as a hand moves
  xdotool mousemove "$1" "$2" sleep 0.2 mousedown 1 sleep 0.2
  local step
  for step in 1 2 3 4; do
    xdotool mousemove $(($1 + ($3 - $1) * step / 4)) $(($2 + ($4 - $2) * step / 4)) sleep 0.1
  done
  xdotool mouseup 1
}
stored() { jq -c ".\"$1\"" "$settings" 2>/dev/null; }
stored_is() { [ "$(stored "$1")" = "$2" ]; }
scale_is() { python3 -c "import sys; sys.exit(abs(float('$(stored clockWidgetScale)') - $1) > 1e-9)" 2>/dev/null; }
# The handle's rule: the width the window would have with its right edge at the mouse, clamped to
# 0.2 … 1.5 for the clock and kept to two decimals.
expected_scale() {  # scale width dx
  python3 -c "import math; s = min(1.5, max(0.2, $1 * ($3 + $2) / $2)); print(math.floor(s * 100 + 0.5) / 100)"
}
# A point is free when no client window above the given one contains it.
uncovered() {  # window x y
  local above=0 w
  for w in $(stacking); do
    if [ "$above" -eq 1 ]; then
      geometry "$w"
      if [ "$2" -ge "$X" ] && [ "$2" -lt $((X + W)) ] && [ "$3" -ge "$Y" ] && [ "$3" -lt $((Y + H)) ]; then
        return 1
      fi
    fi
    [ $((w)) -eq $(($1)) ] && above=1
  done
  return 0
}
click_passes() {  # widget x y what
  uncovered "$1" "$2" "$3" || fail "Punkt $2,$3 auf $4 ist verdeckt"
  geometry "$1"
  [ "$2" -ge "$X" ] && [ "$2" -lt $((X + W)) ] && [ "$3" -ge "$Y" ] && [ "$3" -lt $((Y + H)) ] ||
    fail "Punkt $2,$3 liegt nicht auf $4"
  click "$2" "$3"
  within "Klick auf $4 bei $2,$3 kam nicht beim Schreibtisch an" clicked "$desktop_clicks" "$2" "$3"
  echo "   Klick bei $2,$3 auf $4 erreichte den Schreibtisch"
}

echo '{"systemMonitor": true, "clockWidget": true}' >"$settings"
startOpenbox "$work" || fail "$sessionProblem"
"$recorder" desktop 0 0 1280 800 >"$desktop_clicks" 2>&1 &
pids+=($!)
within "kein Schreibtisch" grep -q "^Fenster" "$desktop_clicks"
desktop=$(awk '/^Fenster/ {print $2}' "$desktop_clicks")

echo "1. Beide Widgets: über dem Schreibtisch, auf jeder Arbeitsfläche, nicht in der Taskleiste"
# Menu items are chosen by their German titles, whatever the session's language.
LANGUAGE=de_DE "$bin" 2>"$log" &
larkspire=$!
pids+=("$larkspire")
widgets() { xdotool search --onlyvisible --name '^Larkspire-Widget$' 2>/dev/null || true; }
two_widgets() { [ "$(widgets | wc -l)" -eq 2 ]; }
within "keine zwei Widget-Fenster" two_widgets
# The clock starts at the top of the screen, the system monitor at the bottom.
clock="" monitor=""
for w in $(widgets); do
  geometry "$w"
  if [ "$Y" -lt 400 ]; then clock=$w; else monitor=$w; fi
done
[ -n "$clock" ] && [ -n "$monitor" ] || fail "Uhr und Systemmonitor nicht an ihren Plätzen"
resting() {  # widget
  within "Widget $1 nicht unten gehalten" has_state "$1" _NET_WM_STATE_BELOW
  within "Widget $1 in der Taskleiste" has_state "$1" _NET_WM_STATE_SKIP_TASKBAR
  within "Widget $1 im Umschalter" has_state "$1" _NET_WM_STATE_SKIP_PAGER
  within "Widget $1 nicht auf jeder Arbeitsfläche" sh -c "xprop -id $1 _NET_WM_DESKTOP | grep -q 4294967295"
  [ "$(index_of "$1")" -gt "$(index_of "$desktop")" ] || fail "Widget $1 unter dem Schreibtisch"
}
resting "$clock"
resting "$monitor"
echo "   Uhr $(printf 0x%x "$clock"), Systemmonitor $(printf 0x%x "$monitor"): unten gehalten, überall, ohne Taskleiste, über dem Schreibtisch"

echo "2. Ein danach geöffnetes gewöhnliches Fenster verdeckt die Uhr"
geometry "$clock"
cx=$X cy=$Y cw=$W ch=$H
"$recorder" normal $((cx + cw / 2)) $((cy + 20)) 400 300 >"$window_clicks" 2>&1 &
pids+=($!)
within "kein gewöhnliches Fenster" grep -q "^Fenster" "$window_clicks"
window=$(awk '/^Fenster/ {print $2}' "$window_clicks")
within "gewöhnliches Fenster nicht über der Uhr" test "$(index_of "$window")" -gt "$(index_of "$clock")"
geometry "$window"
[ "$X" -lt $((cx + cw)) ] && [ "$Y" -lt $((cy + ch)) ] || fail "gewöhnliches Fenster überlappt die Uhr nicht"
overlap_x=$((X + 10)) overlap_y=$((Y + 10))
click "$overlap_x" "$overlap_y"
within "Klick auf die Überlappung erreichte das Fenster nicht" clicked "$window_clicks" "$overlap_x" "$overlap_y"
echo "   Fenster $window liegt im Stapel über der Uhr und nimmt den Klick bei $overlap_x,$overlap_y"

echo "3. Klicks auf ruhende Widgets gehen zum Schreibtisch durch"
click_passes "$clock" $((cx + 30)) $((cy + ch / 2)) "der Uhr"
geometry "$monitor"
click_passes "$monitor" $((X + 30)) $((Y + H / 2)) "dem Systemmonitor"

echo "4. Anordnen: die Uhr wird gezogen und über den Griff vergrößert, nochmals vergrößert und verkleinert"
"$bin" --choose-menu-item "Widgets anordnen" || fail "Anordnen nicht zugestellt"
within "Uhr nicht über allen Fenstern" has_state "$clock" _NET_WM_STATE_ABOVE
within "Systemmonitor nicht über allen Fenstern" has_state "$monitor" _NET_WM_STATE_ABOVE
sleep 0.5
geometry "$clock"
drag $((X + 30)) $((Y + 30)) $((X + 90)) $((Y + 80))
height=$(xwininfo -root | awk '/Height:/ {print $NF}')
moved="[$((X + 60)),$((height - Y - 50))]"
within "Position nach dem Ziehen nicht $moved" stored_is LarkspireClock.topLeft "$moved"
echo "   gezogen um 60,50: gespeicherte Position $(stored LarkspireClock.topLeft)"

scale=$(stored clockWidgetScale)
[ "$scale" = null ] && scale=0.6
for dx in 100 120 -1000; do
  geometry "$clock"
  x0=$X w0=$W h0=$H
  # The pointer stops at the screen's left edge.
  [ $((X + W - 6 + dx)) -ge 0 ] || dx=$((-(X + W - 6)))
  expected=$(expected_scale "$scale" "$W" "$dx")
  drag $((X + W - 6)) $((Y + H - 6)) $((X + W - 6 + dx)) $((Y + H - 6 + 15))
  within "Maßstab nach dem Griff um $dx nicht $expected (vorher $scale, Breite $W)" scale_is "$expected"
  refitted() { geometry "$clock"; [ "$W" -ne "$w0" ] && [ "$H" -ne "$h0" ]; }
  within "Fenster nach dem Skalieren nicht angepasst" refitted
  [ "$X" -eq "$x0" ] || fail "der Griff hat die Uhr verschoben statt sie zu skalieren"
  stored_is LarkspireClock.topLeft "[$X,$((height - Y))]" || fail "Position nach dem Skalieren falsch"
  echo "   Griff um $dx: Maßstab $scale → $(stored clockWidgetScale), Fenster ${w0}×${h0} → ${W}×${H}"
  scale=$expected
done

echo "5. Anordnen beenden: Klicks gehen wieder durch"
"$bin" --choose-menu-item "Anordnen beenden" || fail "Beenden des Anordnens nicht zugestellt"
within "Uhr nicht wieder unten" has_state "$clock" _NET_WM_STATE_BELOW
sleep 0.5
geometry "$clock"
click_passes "$clock" $((X + 10)) $((Y + H / 2)) "der Uhr"
geometry "$monitor"
click_passes "$monitor" $((X + 30)) $((Y + H / 2)) "dem Systemmonitor"

echo "6. Uhr aus und wieder ein: dasselbe Verhalten wie beim ersten Zeigen"
# A window shown again after its stacking changed is a new native window to the window manager.
"$bin" --choose-menu-item "Uhr & Datum" || fail "Menüpunkt nicht zugestellt"
one_widget() { [ "$(widgets | wc -l)" -eq 1 ]; }
within "Uhr nicht ausgeblendet" one_widget
"$bin" --choose-menu-item "Uhr & Datum" || fail "Menüpunkt nicht zugestellt"
within "Uhr nicht wieder gezeigt" two_widgets
clock=$(widgets | grep -vx "$monitor")
resting "$clock"
geometry "$clock"
click_passes "$clock" $((X + 10)) $((Y + H / 2)) "der wieder gezeigten Uhr"

"$bin" --choose-menu-item "Larkspire beenden" || fail "Beenden nicht zugestellt"
timeout 20 tail --pid="$larkspire" -f /dev/null || fail "Larkspire hat sich nicht beendet"
echo "Widgets unter X11: bestanden"
