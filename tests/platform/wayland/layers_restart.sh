#!/usr/bin/env bash
# The desktop widgets on layer surfaces when the compositor goes away and comes back. Larkspire runs
# on Qt's offscreen platform, which outlives the compositor, with its layer surfaces on a headless
# sway. The widgets show; sway ends: Larkspire says once that the layers are lost and keeps running;
# a new sway opens the same socket: Larkspire connects again and the widgets show again. Then an
# output goes: a sway nested in the first one, whose outputs are windows there, gets a second output,
# and the first one's window is closed; sway closes the clock's surface with its output, Larkspire says
# so and draws it on the output that is left. When that one goes too, sway closes the new surface at
# once; Larkspire waits for the next output instead of trying again and again. (A headless output of
# sway 1.7 can be neither disabled nor unplugged.) The pictures are grim's screenshots, whose background is one plain colour.
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
shows_widgets() {  # name [least share]: the widgets cover a little of the output, the background the rest
  shot "$1"
  # Before sway draws its background the whole output is black, which is no widget.
  python3 -c "import sys; sys.exit(0 if ${2:-0.01} <= $(drawn "$work/$1.ppm") <= 0.5 else 1)"
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

quit() {
  as_user QT_QPA_PLATFORM=offscreen "$bin" --choose-menu-item "Larkspire beenden" || fail "Beenden nicht zugestellt"
  timeout 20 tail --pid="$larkspire" -f /dev/null || fail "Larkspire hat sich nicht beendet"
}
quit
grep -E "Ebenen" "$log" | sed "s/^/   /"

echo "4. Eine Ausgabe geht: der Compositor schließt die Fläche der Uhr, sie erscheint auf der nächsten"
outer_ipc=$swaySocket
printf 'xwayland disable\n%s\n' "$sway_config" >"$work/nested.config"
chmod 644 "$work/nested.config"
as_user_in_background WLR_BACKENDS=wayland WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
  sway -c "$work/nested.config" >"$work/nested.log" 2>&1 &
pids+=($!)
nested_socket() {
  nested=$(find "$work/run" -maxdepth 1 -type s -name 'wayland-*' ! -name "$display" -printf '%f\n' 2>/dev/null | head -n 1)
  nested_ipc=$(find "$work/run" -maxdepth 1 -type s -name 'sway-ipc.*' ! -path "$outer_ipc" 2>/dev/null | head -n 1)
  [ -n "$nested" ] && [ -n "$nested_ipc" ]
}
within "der innere sway startet nicht" nested_socket
display=$nested swaySocket=$nested_ipc
outputs() { as_user swaymsg -t get_outputs -r | jq -r '[.[].name] | join(" ")'; }
within "der innere sway hat keine Ausgabe" eval '[ "$(outputs)" = WL-1 ]'
# The clock alone: the system monitor redraws every second, the clock once a minute.
echo '{"clockWidget": true}' >"$settings"
: >"$log"
as_user_in_background QT_QPA_PLATFORM=offscreen "$bin" 2>"$log" &
larkspire=$!
pids+=("$larkspire")
within "keine Ebenen auf dem inneren sway" has "$log" "Widgets und Auswahlgröße auf Ebenen des Wayland-Compositors"
within "die Uhr ist auf WL-1 nicht zu sehen" shows_widgets first_output 0.002
as_user swaymsg create_output >/dev/null
within "keine zweite Ausgabe" eval '[ "$(outputs)" = "WL-1 WL-2" ]'
sleep 0.5
closing=$(date +%s.%N)
swaySocket=$outer_ipc as_user swaymsg '[title="- WL-1$"] kill' >/dev/null
within "WL-1 geht nicht" eval '[ "$(outputs)" = WL-2 ]'
within "die Uhr erscheint nicht auf WL-2" shows_widgets next_output 0.002
has "$log" "Der Compositor schloss die Fläche eines Widgets" || fail "das Schließen der Fläche wird nicht gesagt"
echo "   nach $(python3 -c "import time; print(f'{time.time() - $closing:.1f}')") s wieder zu sehen," \
  "Anteil gezeichneter Pixel: $(drawn "$work/next_output.ppm")"
echo "5. Die letzte Ausgabe geht: die Uhr wartet, bis wieder eine kommt"
closings() { count "$log" "Der Compositor schloss die Fläche eines Widgets"; }
swaySocket=$outer_ipc as_user swaymsg '[title="- WL-2$"] kill' >/dev/null
within "WL-2 geht nicht" eval '[ -z "$(outputs)" ]'
# With no output sway closes a new surface at once: one try, then no more until an output comes.
within "das Schließen ohne Ausgabe wird nicht gesagt" eval '[ "$(closings)" -ge 3 ]'
sleep 1
[ "$(closings)" -eq 3 ] || fail "Fläche $(closings)-mal geschlossen, nicht dreimal: Larkspire und sway wechseln sich ab"
as_user swaymsg create_output >/dev/null
within "keine neue Ausgabe" eval '[ -n "$(outputs)" ]'
within "die Uhr erscheint nicht auf der neuen Ausgabe $(outputs)" shows_widgets new_output 0.002
kill -0 "$larkspire" 2>/dev/null || fail "Larkspire lebt nicht mehr"
grep -E "schloss" "$log" | sed "s/^/   /"
quit
echo "Widgets nach dem Neustart von sway und dem Verlust einer Ausgabe: bestanden"
