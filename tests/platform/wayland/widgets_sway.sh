#!/usr/bin/env bash
# The desktop widgets on layer surfaces under a headless sway, with Larkspire on Qt's Wayland
# platform. A background-layer surface stands in for the desktop and records the clicks it gets; a
# virtual mouse clicks and drags. Resting, the widgets show on the empty desktop, a click on them
# reaches the desktop, and an ordinary window covers them; arranging, a drag moves the clock by
# exactly as much as the mouse went, and the position is stored; afterwards clicks pass again. The
# settings window opens because the session has no tray, and is closed first.
# The overlay surface of the badge shows above that window, lets clicks through and hides.
# The output then turns to scale 2 with twice the pixels: clock and badge are drawn anew with the
# output's pixels (finer than 2 × 2 blocks), at twice their logical place in grim's picture.
# Arguments: the larkspire program, the layer_desktop, click_window and overlay_show helpers.
set -euo pipefail
bin=$1
desk=$2
window=$3
overlay=$4

# shellcheck source=sway_session.sh
source "$(dirname "$0")/sway_session.sh"
requireTools "Test übersprungen (Pakete sway, grim, dbus, python3, jq installieren)" \
  sway swaymsg grim dbus-daemon setpriv python3 jq
[ -e /usr/lib/x86_64-linux-gnu/qt6/plugins/platforms/libqwayland-generic.so ] ||
  ls /usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so >/dev/null 2>&1 ||
  { echo "Qts Wayland-Plattform fehlt (qt6-wayland): Test übersprungen"; exit 77; }

prepareSwaySession
cleanup() {
  exec 3>&- 4>&- 2>/dev/null || true
  endOwn "${pids[@]}"
  endSessionBus
  # The pictures stay in the build folder for a look.
  cp "$work"/*.png . 2>/dev/null || true
  removeSessionDir "$work"
}
trap cleanup EXIT
reachable bin desk window overlay

settings=$work/config/larkspire/settings.json
log=$work/larkspire.log
desktop=$work/desktop.out
clicks=$work/window.out
mkdir -p "$work/config/larkspire"
echo '{"systemMonitor": true, "clockWidget": true}' >"$settings"
[ ${#run_as[@]} -eq 0 ] || chown -R "$user" "$work/config"
touch "$log" "$desktop" "$clicks"
fail() {
  echo "FEHLER: $*"
  echo "--- Einstellungen"; cat "$settings" 2>/dev/null || true
  for file in "$desktop" "$clicks" "$log" "$work/sway.log"; do
    echo "--- $(basename "$file")"
    tail -n 30 "$file"
  done
  exit 1
}

startSway
startSessionBusAsUser || fail "kein Sitzungsbus"
read -r width height < <(as_user swaymsg -t get_outputs -r | jq -r '.[0].rect | "\(.width) \(.height)"')

startHand
click() {  # x y
  hand bewege "$1" "$2"
  hand drücke
  hand lasse
}
drag() {  # from x y to x y, in steps as a hand moves
  hand bewege "$1" "$2"
  hand drücke
  local step
  for step in 1 2 3 4; do
    hand bewege $(($1 + ($3 - $1) * step / 4)) $(($2 + ($4 - $2) * step / 4))
    sleep 0.05
  done
  hand lasse
}
# The share of pixels in a rectangle of a screenshot that have one colour.
share() {  # picture x y w h rrggbb
  python3 - "$@" <<'PY'
import sys
path, x, y, w, h, colour = sys.argv[1], *map(int, sys.argv[2:6]), sys.argv[6]
data = open(path, "rb").read()
parts = data.split(b"\n", 3)  # P6, size, maximum, pixels
width = int(parts[1].split()[0])
pixels = parts[3]
want = bytes.fromhex(colour)
same = sum(pixels[((y + j) * width + x + i) * 3:((y + j) * width + x + i) * 3 + 3] == want
           for j in range(h) for i in range(w))
print(f"{same / (w * h):.3f}")
PY
}
shot() {  # name; the pointer goes to the corner, out of the picture's way
  hand bewege $((width - 1)) $((height - 1))
  as_user grim -t ppm "$work/$1.ppm" || fail "grim nimmt kein Bild"
  as_user grim "$work/$1.png" 2>/dev/null || true
}
# Where a picture differs from one colour within a rectangle (logical, times SCALE), and how many of
# the 2 × 2 pixel blocks there are not of one colour, and their share: a frame drawn at scale 1 and
# enlarged by the compositor has none, one drawn with the output's pixels has finer edges and letters.
drawn_area() {  # picture x y w h rrggbb scale
  python3 - "$@" <<'PY'
import sys
path, x, y, w, h, colour, scale = sys.argv[1], *map(int, sys.argv[2:6]), sys.argv[6], int(sys.argv[7])
data = open(path, "rb").read()
parts = data.split(b"\n", 3)
width = int(parts[1].split()[0])
pixels = parts[3]
want = bytes.fromhex(colour)
at = lambda i, j: pixels[(j * width + i) * 3:(j * width + i) * 3 + 3]
x, y, w, h = x * scale, y * scale, w * scale, h * scale
found = [(i, j) for j in range(y, y + h) for i in range(x, x + w) if at(i, j) != want]
if not found:
    sys.exit("nichts gezeichnet")
left, top = min(i for i, _ in found), min(j for _, j in found)
right, bottom = max(i for i, _ in found) + 1, max(j for _, j in found) + 1
blocks = [(i, j) for j in range(top - top % 2, bottom, 2) for i in range(left - left % 2, right, 2)]
finer = sum(not at(i, j) == at(i + 1, j) == at(i, j + 1) == at(i + 1, j + 1) for i, j in blocks)
print(left, top, right, bottom, finer, f"{finer / len(blocks):.3f}")
PY
}
at_most() { python3 -c "import sys; sys.exit(0 if $1 <= $2 else 1)"; }
at_least() { python3 -c "import sys; sys.exit(0 if $1 >= $2 else 1)"; }
stored() { jq -c ".\"$1\"" "$settings" 2>/dev/null; }
tree() { as_user swaymsg -t get_tree -r; }

echo "1. Larkspire auf Qts Wayland-Plattform: Widgets auf Ebenen, Einstellungsfenster gewöhnlich"
as_user_in_background QT_QPA_PLATFORM=wayland "$bin" 2>"$log" &
larkspire=$!
pids+=("$larkspire")
within "keine Ebenen" has "$log" "Widgets und Auswahlgröße auf Ebenen des Wayland-Compositors"
# Without a tray the settings window opens: an ordinary window, tiled like any other.
settings_window() { tree | jq -e --argjson pid "$larkspire" '[.. | objects | select(.pid? == $pid)] | length > 0' >/dev/null; }
within "kein Einstellungsfenster" settings_window
sleep 1  # start-up asks for it a second time
# sway floats a window of fixed size; it is on the workspace and visible like any other.
kind=$(tree | jq -r --argjson pid "$larkspire" '[.. | objects | select(.pid? == $pid)][0] | "\(.type) \(.visible)"')
[ "${kind#* }" = true ] || fail "Einstellungsfenster nicht sichtbar ($kind)"
as_user swaymsg "[pid=$larkspire] kill" >/dev/null
for ((i = 0; i < 100; i++)); do settings_window || break; sleep 0.05; done
sleep 1
settings_window && fail "Einstellungsfenster nicht geschlossen"
echo "   Einstellungsfenster: $kind, geschlossen"

within "Uhr nicht gespeichert" sh -c "jq -e '.\"LarkspireClock.topLeft\"' '$settings' >/dev/null 2>&1"
clock=$(stored LarkspireClock.topLeft)
cx=$(jq '.[0] | round' <<<"$clock")
cy=$((height - $(jq '.[1] | round' <<<"$clock")))  # from the top
echo "2. Sichtbar auf dem leeren Schreibtisch (Uhr bei $cx,$cy)"
visible() {  # picture
  local bare
  bare=$(share "$work/$1.ppm" "$cx" "$cy" 200 120 304050)
  at_most "$bare" 0.97
}
shot resting
visible resting || fail "die Uhr ist auf dem Schreibtisch nicht zu sehen"
echo "   Anteil Schreibtischfarbe bei der Uhr: $(share "$work/resting.ppm" "$cx" "$cy" 200 120 304050)"

echo "3. Ein Klick auf die ruhende Uhr erreicht den Schreibtisch"
px=$((cx + 40)) py=$((cy + 40))
click "$px" "$py"
within "Klick bei $px,$py kam nicht beim Schreibtisch an" has "$desktop" "^Klick $px $py$"

echo "4. Ein gewöhnliches Fenster verdeckt die Uhr"
as_user_in_background QT_QPA_PLATFORM=wayland "$window" >"$clicks" 2>&1 &
cover=$!
pids+=("$cover")
within "kein Fenster" has "$clicks" "^Fenster"
sleep 0.3
shot covered
# Below the window's title bar, which sway draws across the top of the output.
covering=$(share "$work/covered.ppm" "$cx" $((cy + 30)) 200 90 c04040)
at_least "$covering" 0.99 || fail "die Uhr scheint durch das Fenster (Fensterfarbe nur $covering)"
echo "   Anteil Fensterfarbe über der Uhr: $covering"
before=$(count "$desktop" "^Klick")
click "$px" "$py"
within "Klick auf das Fenster nicht angekommen" has "$clicks" "^Klick"
[ "$(count "$desktop" "^Klick")" -eq "$before" ] || fail "Klick auf das Fenster erreichte den Schreibtisch"
echo "5. Die Fläche des Auswahlhinweises liegt über dem Fenster, lässt Klicks durch und verschwindet"
mkfifo "$work/overlay"
as_user_in_background QT_QPA_PLATFORM=offscreen "$overlay" <"$work/overlay" >"$work/overlay.out" 2>&1 &
pids+=($!)
exec 4>"$work/overlay"
within "keine Überlagerung" has "$work/overlay.out" "^bereit"
tell_overlay() {
  local before
  before=$(count "$work/overlay.out" "^ok")
  echo "$1" >&4
  within "„$1“ nicht ausgeführt" has "$work/overlay.out" "^ok" $((before + 1))
  sleep 0.2
}
tell_overlay zeige
shot badge
under=$(share "$work/badge.ppm" 210 160 280 60 c04040)
at_most "$under" 0.01 || fail "Überlagerung nicht über dem Fenster (Fensterfarbe $under)"
before=$(count "$clicks" "^Klick")
click 300 190
within "Klick durch die Überlagerung kam nicht beim Fenster an" has "$clicks" "^Klick" $((before + 1))
tell_overlay verstecke
shot unbadged
under=$(share "$work/unbadged.ppm" 210 160 280 60 c04040)
at_least "$under" 0.99 || fail "Überlagerung nach dem Verstecken noch zu sehen (Fensterfarbe nur $under)"
tell_overlay zeige
shot badge_again
at_most "$(share "$work/badge_again.ppm" 210 160 280 60 c04040)" 0.01 || fail "Überlagerung nicht wieder gezeigt"
echo "   gezeigt, Klick ging durch, versteckt und wieder gezeigt"
exec 4>&-

as_user swaymsg "[pid=$cover] kill" >/dev/null
within "Fenster nicht geschlossen" sh -c "! kill -0 $cover 2>/dev/null"

echo "6. Anordnen: die Uhr folgt einem Zug genau und merkt sich den Platz"
as_user "$bin" --choose-menu-item "Widgets anordnen" || fail "Anordnen nicht zugestellt"
sleep 0.5
drag $((cx + 40)) $((cy + 40)) $((cx + 100)) $((cy + 80))
expected="[$((cx + 60)),$((height - cy - 40))]"
moved() { [ "$(jq -c '."LarkspireClock.topLeft" | map(round)' "$settings" 2>/dev/null)" = "$expected" ]; }
within "Position nach dem Ziehen $(stored LarkspireClock.topLeft), nicht $expected" moved
echo "   gezogen um 60,40: gespeichert $(stored LarkspireClock.topLeft)"
[ "$(count "$desktop" "^Klick $((cx + 40)) $((cy + 40))$")" -eq 1 ] || fail "der Zug erreichte den Schreibtisch"
shot arranging

echo "7. Anordnen beenden: Klicks gehen wieder durch"
as_user "$bin" --choose-menu-item "Anordnen beenden" || fail "Beenden des Anordnens nicht zugestellt"
sleep 0.5
cx=$((cx + 60)) cy=$((cy + 40))
click $((cx + 40)) $((cy + 40))
within "Klick auf die verschobene Uhr kam nicht an" has "$desktop" "^Klick $((cx + 40)) $((cy + 40))$"
shot moved
visible moved || fail "die verschobene Uhr ist nicht zu sehen"

echo "8. Maßstab 2: Uhr und Auswahlhinweis mit den Pixeln der Ausgabe, am selben logischen Platz"
# Twice the pixels in each direction keep the logical size, so nothing moves or is fitted anew.
# Around the clock, clear of the system monitor along the bottom.
rx=$((cx > 40 ? cx - 40 : 0)) ry=$((cy > 40 ? cy - 40 : 0))
read -r x1 y1 x2 y2 _ <<<"$(drawn_area "$work/moved.ppm" "$rx" "$ry" 500 320 304050 1)"
as_user swaymsg output HEADLESS-1 mode $((2 * width))x$((2 * height)) scale 2 >/dev/null
picture_width() { head -c 20 "$work/$1.ppm" | sed -n 2p | cut -d' ' -f1; }
finer=
sharp() {  # the clock drawn anew with the output's pixels
  shot scaled
  [ "$(picture_width scaled)" -eq $((2 * width)) ] || return 1
  read -r sx1 sy1 sx2 sy2 _ finer <<<"$(drawn_area "$work/scaled.ppm" "$rx" "$ry" 500 320 304050 2)"
  at_least "${finer:-0}" 0.01
}
within "die Uhr wird mit Maßstab 2 nicht mit den Pixeln der Ausgabe gezeichnet" sharp
echo "   Uhr bei Maßstab 1: $x1,$y1 bis $x2,$y2; bei Maßstab 2: $sx1,$sy1 bis $sx2,$sy2, feiner als 2×2: $finer"
for pair in "$x1 $sx1" "$y1 $sy1" "$x2 $sx2" "$y2 $sy2"; do
  read -r logical physical <<<"$pair"
  [ $((physical - 2 * logical)) -ge -2 ] && [ $((physical - 2 * logical)) -le 2 ] ||
    fail "die Uhr liegt bei Maßstab 2 bei $sx1,$sy1 bis $sx2,$sy2, nicht beim Doppelten von $x1,$y1 bis $x2,$y2"
done
[ "$(stored LarkspireClock.topLeft | jq -c 'map(round)')" = "[$cx,$((height - cy))]" ] ||
  fail "der gespeicherte Platz änderte sich mit dem Maßstab: $(stored LarkspireClock.topLeft)"
click $((cx + 40)) $((cy + 40))
within "Klick auf die Uhr bei Maßstab 2 kam nicht beim Schreibtisch an" has "$desktop" "^Klick $((cx + 40)) $((cy + 40))$" 2
# Over the window again. The badge's surface names no output (its program runs offscreen): its first
# frame has scale 1, until the compositor says where it shows. It is placed at 200,150, 300 × 80.
as_user_in_background QT_QPA_PLATFORM=wayland "$window" >"$clicks" 2>&1 &
pids+=($!)
within "kein Fenster bei Maßstab 2" has "$clicks" "^Fenster"
as_user_in_background QT_QPA_PLATFORM=offscreen "$overlay" <"$work/overlay" >"$work/overlay.out" 2>&1 &
pids+=($!)
exec 4>"$work/overlay"
within "keine Überlagerung bei Maßstab 2" has "$work/overlay.out" "^bereit"
tell_overlay zeige
badge_sharp() {
  shot badge_scaled
  read -r bx1 by1 bx2 by2 blocks _ <<<"$(drawn_area "$work/badge_scaled.ppm" 190 140 320 100 c04040 2)"
  [ "${blocks:-0}" -ge 50 ]  # the four rounded corners
}
within "der Auswahlhinweis wird mit Maßstab 2 nicht mit den Pixeln der Ausgabe gezeichnet" badge_sharp
echo "   Auswahlhinweis bei Maßstab 2: $bx1,$by1 bis $bx2,$by2, $blocks Blöcke feiner als 2×2"
[ "$bx1 $by1 $bx2 $by2" = "400 300 1000 460" ] ||
  fail "der Auswahlhinweis liegt bei Maßstab 2 bei $bx1,$by1 bis $bx2,$by2, nicht bei 400,300 bis 1000,460"
exec 4>&-

kill -0 "$larkspire" 2>/dev/null || fail "Larkspire lebt nicht mehr"

as_user "$bin" --choose-menu-item "Larkspire beenden" || fail "Beenden nicht zugestellt"
timeout 20 tail --pid="$larkspire" -f /dev/null || fail "Larkspire hat sich nicht beendet"
echo "Widgets unter sway: bestanden"
