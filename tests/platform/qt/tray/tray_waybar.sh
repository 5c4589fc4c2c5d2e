#!/usr/bin/env bash
# The status item under headless sway with waybar as the StatusNotifier host, Larkspire on Qt's
# Wayland platform. The icon shows in the bar; a left click on it opens waybar's own menu with
# Larkspire's entries and no window of Larkspire's; an entry chosen through dbusmenu does what it
# says; a cut shows as the badge in the exported picture; a waybar that restarts gets the item again,
# and so does a waybar that starts after Larkspire.
# Arguments: the larkspire program and the layer_desktop helper (the desktop and a virtual mouse).
set -euo pipefail
bin=$1
desk=$2

# shellcheck source=../../wayland/sway_session.sh
source "$(dirname "$0")/../../wayland/sway_session.sh"
requireTools "Test übersprungen (Pakete sway, waybar, grim, wl-clipboard, dbus, python3, jq installieren)" \
  sway swaymsg waybar grim wl-copy dbus-daemon dbus-monitor gdbus setpriv python3 jq
ls /usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so >/dev/null 2>&1 ||
  { echo "Qts Wayland-Plattform fehlt (qt6-wayland): Test übersprungen"; exit 77; }

prepareSwaySession
cleanup() {
  exec 3>&- 2>/dev/null || true
  endOwn "${pids[@]}"
  endSessionBus
  # The pictures stay in the build folder for a look.
  cp "$work"/tray_*.png . 2>/dev/null || true
  removeSessionDir "$work"
}
trap cleanup EXIT
reachable bin desk

settings=$work/config/larkspire/settings.json
log=$work/larkspire.log
monitor=$work/monitor.out
desktop=$work/desktop.out
mkdir -p "$work/config/larkspire" "$work/config/waybar"
echo '{"systemMonitor": false, "clockWidget": false}' >"$settings"
# Only the tray, at the bar's left end, on a colour of its own.
cat >"$work/config/waybar/config" <<'EOF'
{ "layer": "top", "position": "top", "height": 30, "modules-left": ["tray"],
  "tray": { "icon-size": 22, "spacing": 8 } }
EOF
cat >"$work/config/waybar/style.css" <<'EOF'
* { font-family: "DejaVu Sans"; font-size: 13px; }
window#waybar { background: #102030; }
EOF
printf 'a' >"$work/files/eins.txt"
printf 'b' >"$work/files/zwei.txt"
[ ${#run_as[@]} -eq 0 ] || chown -R "$user" "$work/config" "$work/files"
touch "$log" "$monitor" "$desktop" "$work/waybar.log"
fail() {
  echo "FEHLER: $*"
  for file in "$log" "$work/waybar.log" "$monitor" "$work/sway.log"; do
    echo "--- $(basename "$file")"
    tail -n 30 "$file"
  done
  exit 1
}

startSway
startSessionBusAsUser || fail "kein Sitzungsbus"
read -r width height < <(as_user swaymsg -t get_outputs -r | jq -r '.[0].rect | "\(.width) \(.height)"')

startHand
click() { hand bewege "$1" "$2"; hand drücke; hand lasse; }
shot() {  # name; the pointer stays where it is
  as_user grim -t ppm "$work/$1.ppm" || fail "grim nimmt kein Bild"
  as_user grim "$work/tray_$1.png" 2>/dev/null || true
}
# The box of the pixels that differ between two pictures in the rows from..to (and the columns left
# of right): "x y w h changed".
changed() {  # before after from to [right]
  python3 - "$@" <<'PY'
import sys
def load(path):
    parts = open(path, "rb").read().split(b"\n", 3)
    width, height = map(int, parts[1].split())
    return width, height, parts[3]
width, height, a = load(sys.argv[1])
_, _, b = load(sys.argv[2])
top, bottom = int(sys.argv[3]), min(int(sys.argv[4]), height)
right = int(sys.argv[5]) if len(sys.argv) > 5 else width
xs, ys, n = [], [], 0
for y in range(top, bottom):
    row = y * width * 3
    if a[row:row + width * 3] == b[row:row + width * 3]:
        continue
    for x in range(right):
        i = row + x * 3
        if a[i:i + 3] != b[i:i + 3]:
            xs.append(x); ys.append(y); n += 1
if n == 0:
    print("0 0 0 0 0")
else:
    print(min(xs), min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1, n)
PY
}
bus_call() {  # destination path method arguments…
  as_user gdbus call --session --dest "$1" --object-path "$2" --method "${@:3}"
}
watcher_items() {
  bus_call org.kde.StatusNotifierWatcher /StatusNotifierWatcher org.freedesktop.DBus.Properties.Get \
    org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems 2>/dev/null || true
}
registered() { [[ "$(watcher_items)" == *"$item"* ]]; }
watcher_gone() {
  [[ "$(bus_call org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner \
    org.kde.StatusNotifierWatcher 2>/dev/null)" == *false* ]]
}
busctl_json() { as_user busctl --address="$bus" --json=short -- "$@"; }
# The root's entries of the exported menu, one JSON object {id, label, properties} a line.
layout() {
  busctl_json call "$item" /MenuBar com.canonical.dbusmenu GetLayout iias 0 -1 0 |
    jq -c '.data[1][2][] | .data | {id: .[0], label: (.[1].label.data // "—"), properties: .[1]}'
}
id_of() { layout | jq -r --arg want "$1" 'select(.label == $want) | .id'; }
click_entry() { bus_call "$item" /MenuBar com.canonical.dbusmenu.Event "$1" clicked '<int32 0>' 0 >/dev/null; }
# Pixels of the badge's red in the largest exported picture (ARGB, one byte each).
badge_pixels() {
  busctl_json get-property "$item" /StatusNotifierItem org.kde.StatusNotifierItem IconPixmap |
    jq '.data | max_by(.[0]) | .[2] as $p | [range(0; $p | length; 4) | select($p[.] > 200 and $p[. + 1] > 180
        and $p[. + 2] < 90 and $p[. + 3] < 90)] | length'
}
start_waybar() {
  as_user_in_background GDK_BACKEND=wayland GSETTINGS_BACKEND=memory waybar >>"$work/waybar.log" 2>&1 &
  waybar=$!
  pids+=("$waybar")
  local waited
  for ((waited = 0; waited < 400; waited++)); do
    [[ "$(bus_call org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner \
      org.kde.StatusNotifierWatcher 2>/dev/null)" == *true* ]] && return 0
    kill -0 "$waybar" 2>/dev/null || break
    sleep 0.05
  done
  echo "waybar startet nicht oder bietet keinen StatusNotifierWatcher: Test übersprungen"
  tail -n 10 "$work/waybar.log"
  exit 77
}

as_user_in_background dbus-monitor --session "type='signal',interface='org.kde.StatusNotifierItem'" \
  "type='signal',interface='com.canonical.dbusmenu'" "type='method_call',interface='com.canonical.dbusmenu'" \
  >"$monitor" 2>&1 &
pids+=($!)

echo "1. waybar als Statusleiste, Larkspire meldet sein eigenes Symbol an"
start_waybar
sleep 1
shot empty
as_user_in_background QT_QPA_PLATFORM=wayland "$bin" 2>"$log" &
larkspire=$!
pids+=("$larkspire")
item=org.kde.StatusNotifierItem-$larkspire-1
within "Symbol nicht angemeldet ($(watcher_items))" registered
has "$log" "Statussymbol als eigenes StatusNotifierItem" || fail "Larkspire nennt sein Statussymbol nicht"
[ "$(watcher_items | grep -o 'StatusNotifierItem-' | wc -l)" -eq 1 ] ||
  fail "mehr als ein Symbol angemeldet: $(watcher_items)"
tree() { as_user swaymsg -t get_tree -r; }
own_windows() { tree | jq --argjson pid "$larkspire" '[.. | objects | select(.pid? == $pid)] | length'; }
any_window() { [ "$(own_windows)" -gt 0 ]; }
no_window() { [ "$(own_windows)" -eq 0 ]; }
# Without the file-manager entries the settings window opens at start, twice; it goes first.
within "kein Einstellungsfenster" any_window
sleep 1.5
as_user swaymsg "[pid=$larkspire] kill" >/dev/null
within "Einstellungsfenster nicht geschlossen" no_window
sleep 0.5
hand bewege $((width - 1)) $((height - 1))
icon_shown() {
  shot icon
  read -r ix iy iw ih _ < <(changed "$work/empty.ppm" "$work/icon.ppm" 0 30)
  [ "$iw" -ge 10 ] && [ "$ih" -ge 10 ]
}
within "kein Symbol in der Leiste" icon_shown
sleep 0.3  # the picture once waybar has drawn all of it
icon_shown || fail "das Symbol verschwand wieder"
echo "   Symbol in der Leiste bei $ix,$iy, ${iw}x${ih}"

echo "2. Ein Linksklick zeigt das Menü der Leiste, kein Fenster von Larkspire"
calls=$(count "$monitor" "member=GetLayout\|member=AboutToShow")
click $((ix + iw / 2)) $((iy + ih / 2))
hand bewege $((width - 1)) $((height - 1))
# Ten entries and three separators, each a line of text: far taller than one row. Pictures are taken
# until it shows, as long as a slow build needs.
menu_shown() {
  shot menu
  # The pointer waits in the lower right corner, and the menu may give it another shape.
  read -r mx my mw mh mn < <(changed "$work/${beforeMenu:-icon}.ppm" "$work/menu.ppm" 30 $((height - 40)) \
    $((width - 40)))
  [ "$mh" -ge 150 ] && [ "$mw" -ge 100 ] && [ "$my" -le 60 ] && [ "$mw" -le $((width / 2)) ]
}
within "kein Menü unter dem Symbol" menu_shown
sleep 0.3  # the picture of the menu once it has settled
menu_shown || fail "das Menü verschwand wieder"
echo "   Menü bei $mx,$my, ${mw}x${mh} ($mn Pixel verändert)"
[ "$(count "$monitor" "member=GetLayout\|member=AboutToShow")" -gt "$calls" ] ||
  fail "waybar las das Menü nicht über dbusmenu"
[ "$(own_windows)" -eq 0 ] || fail "ein Fenster von Larkspire ging auf: $(tree | jq -c "[.. | objects | select(.pid? == $larkspire) | .name]")"
click $((width - 40)) $((height - 40))
hand bewege $((width - 1)) $((height - 1))
menu_closed() {
  shot closed
  read -r _ _ _ _ left < <(changed "$work/icon.ppm" "$work/closed.ppm" 30 $((height - 40)) $((width - 40)))
  [ "$left" -eq 0 ]
}
within "das Menü ging nach einem Klick daneben nicht zu" menu_closed

echo "3. Ein Eintrag, über dbusmenu gewählt, wirkt und zeigt danach sein Häkchen"
clock=$(id_of "Uhr & Datum")
[ -n "$clock" ] || fail "kein Eintrag „Uhr & Datum“: $(layout)"
updates=$(count "$monitor" "member=LayoutUpdated")
click_entry "$clock"
within "Uhr nicht eingeschaltet: $(cat "$settings")" sh -c "jq -e '.clockWidget == true' '$settings' >/dev/null"
# The clock shows on the desktop, where the picture was bare before.
clock_shown() {
  shot clock
  read -r _ _ _ _ drawn < <(changed "$work/icon.ppm" "$work/clock.ppm" 30 "$height")
  [ "$drawn" -ge 1000 ]
}
within "die Uhr erscheint nicht auf dem Schreibtisch" clock_shown
within "kein LayoutUpdated nach der Wahl" has "$monitor" "member=LayoutUpdated" $((updates + 1))
[ "$(layout | jq --argjson id "$clock" 'select(.id == $id) | .properties["toggle-state"].data')" = 1 ] ||
  fail "kein Häkchen an der Uhr: $(layout | jq -c --argjson id "$clock" 'select(.id == $id)')"
bus_call "$item" /MenuBar com.canonical.dbusmenu.Event 99999 clicked '<int32 0>' 0 >/dev/null 2>&1 &&
  fail "ein unbekannter Eintrag wurde angenommen"
refused=$(busctl_json call "$item" /MenuBar com.canonical.dbusmenu EventGroup 'a(isvu)' 1 99999 clicked i 0 0 |
  jq -c '.data[0]')
[ "$refused" = "[99999]" ] || fail "EventGroup nannte den unbekannten Eintrag nicht: $refused"
echo "   Uhr eingeschaltet (Eintrag $clock, $drawn Pixel gezeichnet), Häkchen gesetzt"

echo "4. Zwei ausgeschnittene Dateien: die Zahl im Bild des Symbols"
[ "$(badge_pixels)" -eq 0 ] || fail "Zahl im Bild, obwohl nichts ausgeschnitten ist"
icons=$(count "$monitor" "member=NewIcon")
as_user wl-copy --type x-special/gnome-copied-files \
  "$(printf 'cut\nfile://%s\nfile://%s' "$work/files/eins.txt" "$work/files/zwei.txt")" >/dev/null 2>&1
within "kein NewIcon nach dem Ausschneiden" has "$monitor" "member=NewIcon" $((icons + 1))
badge=$(badge_pixels)
[ "$badge" -gt 200 ] || fail "keine Zahl im Bild des Symbols ($badge rote Pixel)"
bus_call "$item" /StatusNotifierItem org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem ToolTip |
  grep -q "2 Datei(en) ausgeschnitten" || fail "Tooltip nennt die zwei Dateien nicht"
[ -n "$(id_of "2 Datei(en) ausgeschnitten – verwerfen")" ] || fail "kein Eintrag zum Verwerfen"
sleep 0.5
hand bewege $((width - 1)) $((height - 1))
shot badge
echo "   NewIcon, $badge rote Pixel im größten Bild"

echo "5. waybar endet und kommt wieder: das Symbol meldet sich neu an"
kill "$waybar"
within "waybar endet nicht" sh -c "! kill -0 $waybar 2>/dev/null"
within "der StatusNotifierWatcher bleibt nach waybar" watcher_gone
start_waybar
within "Symbol nach dem Neustart nicht angemeldet ($(watcher_items))" registered
within "keine zweite Anmeldung im Protokoll" has "$log" "Statussymbol beim StatusNotifier-Dienst angemeldet" 2
hand bewege $((width - 1)) $((height - 1))
icon_again() {
  shot again
  read -r ax ay aw ah _ < <(changed "$work/empty.ppm" "$work/again.ppm" 0 30)
  [ "$aw" -ge 10 ] && [ "$ah" -ge 10 ]
}
within "kein Symbol in der neuen Leiste" icon_again
echo "   wieder angemeldet, Symbol bei $ax,$ay"

echo "6. „Larkspire beenden“ über dbusmenu"
click_entry "$(id_of "Larkspire beenden")"
timeout 20 tail --pid="$larkspire" -f /dev/null || fail "Larkspire hat sich nicht beendet"

echo "7. Larkspire vor der Leiste gestartet, wie bei einer Anmeldung: das Symbol kommt mit waybar"
kill "$waybar"
within "der StatusNotifierWatcher bleibt nach waybar" watcher_gone
log=$work/larkspire-vor-der-leiste.log
touch "$log"
as_user_in_background QT_QPA_PLATFORM=wayland "$bin" 2>"$log" &
larkspire=$!
pids+=("$larkspire")
item=org.kde.StatusNotifierItem-$larkspire-1
within "kein Wort über die fehlende Leiste" has "$log" "Noch kein StatusNotifier-Dienst"
# Without a tray the settings window opens; it goes before the bar comes.
within "kein Einstellungsfenster" any_window
sleep 1.5
as_user swaymsg "[pid=$larkspire] kill" >/dev/null
within "Einstellungsfenster nicht geschlossen" no_window
start_waybar
within "Symbol nach dem Start der Leiste nicht angemeldet" registered
hand bewege $((width - 1)) $((height - 1))
within "kein Symbol in der später gestarteten Leiste" icon_shown
# The clock came meanwhile; the menu is what changes from this picture on.
sleep 1
shot before_click
beforeMenu=before_click
click $((ix + iw / 2)) $((iy + ih / 2))
hand bewege $((width - 1)) $((height - 1))
within "kein Menü unter dem Symbol der später gestarteten Leiste" menu_shown
no_window || fail "ein Fenster von Larkspire ging auf"
echo "   angemeldet, Menü bei $mx,$my, ${mw}x${mh}"
click_entry "$(id_of "Larkspire beenden")"
timeout 20 tail --pid="$larkspire" -f /dev/null || fail "Larkspire hat sich nicht beendet"
echo "Statussymbol unter waybar: bestanden"
