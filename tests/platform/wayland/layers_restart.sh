#!/usr/bin/env bash
# The desktop widgets on layer surfaces when the compositor goes away and comes back. Larkspire runs
# on Qt's offscreen platform, which outlives the compositor, with its layer surfaces on a headless
# sway. The widgets show; sway ends: Larkspire says once that the layers are lost and keeps running;
# a new sway opens the same socket: Larkspire connects again and the widgets show again. The
# pictures are grim's screenshots of the output, whose background is one plain colour.
# Argument: the larkspire program.
set -euo pipefail
bin=$1

# shellcheck source=sway_session.sh
source "$(dirname "$0")/sway_session.sh"
requireTools "Test übersprungen (Pakete sway, grim, dbus, python3 installieren)" \
  sway swaymsg swaybg grim dbus-daemon setpriv python3

prepareSwaySession
cleanup() {
  endOwn "${pids[@]}"
  endSessionBus
  cp "$work"/*.png . 2>/dev/null || true  # the pictures stay in the build folder for a look
  removeSessionDir "$work"
}
trap cleanup EXIT
reachable bin

settings=$work/config/larkspire/settings.json
log=$work/larkspire.log
mkdir -p "$work/config/larkspire"
echo '{"systemMonitor": true, "clockWidget": true}' >"$settings"
[ ${#run_as[@]} -eq 0 ] || chown -R "$user" "$work/config"
touch "$log"
fail() {
  echo "FEHLER: $*"
  for file in "$log" "$work/sway.log"; do
    echo "--- $(basename "$file")"
    tail -n 30 "$file"
  done
  exit 1
}
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
has() { [ "$(count "$1" "$2")" -ge "${3:-1}" ]; }
background=304050
# The share of the output's pixels that are not the background: what Larkspire draws on it.
drawn() {  # picture
  python3 - "$1" "$background" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
parts = data.split(b"\n", 3)  # P6, size, maximum, pixels
pixels = parts[3]
want = bytes.fromhex(sys.argv[2])
total = len(pixels) // 3
other = sum(pixels[i:i + 3] != want for i in range(0, total * 3, 3))
print(f"{other / total:.4f}")
PY
}
shot() {  # name
  as_user grim -t ppm "$work/$1.ppm" || fail "grim nimmt kein Bild"
  as_user grim "$work/$1.png" 2>/dev/null || true
}
shows_widgets() {  # name: the widgets cover a little of the output, the background the rest
  shot "$1"
  # Before sway draws its background the whole output is black, which is no widget.
  python3 -c "import sys; sys.exit(0 if 0.01 <= $(drawn "$work/$1.ppm") <= 0.5 else 1)"
}
bare() {  # name: nothing but the background
  shot "$1"
  [ "$(drawn "$work/$1.ppm")" = "0.0000" ]
}

sway_config="output * bg #$background solid_color"
startSway "$sway_config"
first_display=$display
startSessionBusAsUser || fail "kein Sitzungsbus"
within "der Hintergrund von sway bleibt aus" bare before

echo "1. Larkspire auf Qts offscreen-Plattform: die Widgets auf den Ebenen von sway"
as_user_in_background QT_QPA_PLATFORM=offscreen "$bin" 2>"$log" &
larkspire=$!
pids+=("$larkspire")
within "keine Ebenen" has "$log" "Widgets und Auswahlgröße auf Ebenen des Wayland-Compositors"
within "keine Widgets zu sehen" shows_widgets shown
echo "   Anteil gezeichneter Pixel: $(drawn "$work/shown.ppm")"

echo "2. sway endet: einmal gesagt, Larkspire läuft weiter"
kill "$sway"
wait "$sway" 2>/dev/null || true
within "der Verlust der Ebenen wird nicht gesagt" has "$log" "Ebenen des Compositors verloren"
sleep 1
[ "$(count "$log" "Ebenen des Compositors verloren")" -eq 1 ] || fail "Verlust der Ebenen mehrfach gesagt"
kill -0 "$larkspire" 2>/dev/null || fail "Larkspire lebt nicht mehr"

echo "3. Ein neuer sway auf demselben Socket: Larkspire verbindet sich wieder, die Widgets erscheinen"
display='' swaySocket=''
startSway "$sway_config"
[ "$display" = "$first_display" ] || fail "der neue sway nahm $display statt $first_display"
within "keine neue Verbindung" has "$log" "Ebenen des Compositors wieder verbunden"
within "die Widgets erscheinen nicht wieder" shows_widgets again
echo "   Anteil gezeichneter Pixel: $(drawn "$work/again.ppm")"
[ "$(count "$log" "Ebenen des Compositors verloren")" -eq 1 ] || fail "Verlust der Ebenen nach dem Neustart gesagt"

echo "4. Beenden"
as_user QT_QPA_PLATFORM=offscreen "$bin" --choose-menu-item "Larkspire beenden" || fail "Beenden nicht zugestellt"
timeout 20 tail --pid="$larkspire" -f /dev/null || fail "Larkspire hat sich nicht beendet"
grep -E "Ebenen" "$log" | sed "s/^/   /"
echo "Widgets nach dem Neustart von sway: bestanden"
