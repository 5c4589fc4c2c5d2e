#!/usr/bin/env bash
# The badge over Thunar running natively on Wayland, under a headless sway with the accessibility
# bus: its window, place and focus come from sway's IPC. Three files selected give the badge with
# their total; a window opened over Thunar takes the focus and the badge goes; sway going away is said
# once, and a sway that starts anew is followed. Larkspire runs on Qt's offscreen platform, so the
# window list cannot come from anywhere but sway.
#   thunar_badge_sway.sh LARKSPIRE            the checks (exit 77 where sway or Thunar cannot run)
#   thunar_badge_sway.sh LARKSPIRE --measure  Larkspire's wake-ups over an idle minute with Thunar open
set -uo pipefail
bin=$1
mode=${2:-check}

# shellcheck source=sway_session.sh
source "$(dirname "$0")/sway_session.sh"
requireTools "Test übersprungen (Pakete sway, thunar, foot, dbus, at-spi2-core, python3-gi installieren)" \
  sway swaymsg thunar foot dbus-daemon dbus-send setpriv jq xfconf-query python3
/usr/bin/python3 -c 'import gi; gi.require_version("Atspi", "2.0")' 2>/dev/null ||
  { echo "python3-gi oder gir1.2-atspi-2.0 fehlt (Debians python3): Test übersprungen"; exit 77; }
selectScript=$(dirname "$0")/select_rows.py

swaySession
cleanup() {
  endOwn "${pids[@]}"
  stopSwaySessionBus
  removeSessionDir "$work"
}
trap cleanup EXIT
reachable bin
cp "$selectScript" "$work/select_rows.py" && chmod 644 "$work/select_rows.py"

log=$work/larkspire.log
touch "$log"
fail() {
  echo "FEHLER: $*"
  for file in "$log" "$work/thunar.log" "$work/sway.log"; do
    echo "--- $(basename "$file")"
    tail -n 30 "$file"
  done
  echo "--- Fenster"
  as_user swaymsg -t get_tree 2>/dev/null | jq -c '.. | objects | select(.pid?) | {name, pid, focused, visible, rect, window_rect}'
  if [ -n "${LARKSPIRE_WATCH:-}" ]; then
    echo "--- Barrierefreiheitsbus"
    as_user timeout 5 "$LARKSPIRE_WATCH" 3 </dev/null 2>/dev/null | tail -n 2 | cut -c1-3000
  fi
  exit 1
}
within() {  # seconds description command…
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
tree() { as_user swaymsg -t get_tree 2>/dev/null; }
window_of() { tree | jq -r --arg t "$1" '.. | objects | select(.pid? and .name == $t) | .id' | head -n 1; }
focused_is() { [ "$(tree | jq -r '.. | objects | select(.focused? == true) | .name')" = "$1" ]; }

# Windows that float keep a place of their own; the cover lies over Thunar's.
startSway 'xwayland disable
for_window [app_id="foot"] floating enable, resize set 1100 800, move position 0 0' || exit 77
startSwaySessionBus || { echo "kein Sitzungsbus: Test übersprungen"; exit 77; }
as_user dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1 ||
  { echo "der Barrierefreiheitsbus (at-spi2-core) startet nicht: Test übersprungen"; exit 77; }
as_user dbus-send --session --dest=org.a11y.Bus /org/a11y/bus org.freedesktop.DBus.Properties.Set \
  string:org.a11y.Status string:IsEnabled variant:boolean:true >/dev/null 2>&1

folder=$work/home/Projekt
if [ "$mode" = "--measure" ]; then
  mkdir -p "$folder"
  for ((i = 1; i <= 50; i++)); do : >"$folder/$(printf 'datei-%02d.txt' "$i")"; done
else
  # 1,500,000 + 700,000 + 340,000 bytes read 2,5 MB; two of them 2,2 MB, four 2,7 MB.
  mkdir -p "$folder"
  head -c 1500000 /dev/zero >"$folder/a.pdf"
  head -c 700000 /dev/zero >"$folder/b.mov"
  head -c 340000 /dev/zero >"$folder/c.jpg"
  head -c 150000 /dev/zero >"$folder/d.txt"
  head -c 20 /dev/zero >"$folder/e.txt"
fi
[ ${#run_as[@]} -eq 0 ] || chown -R "$user" "$folder"
# The list view shows its rows on the bus; the icon view shows none.
as_user xfconf-query -c thunar -p /last-view -n -t string -s ThunarDetailsView 2>/dev/null

as_user_in_background GDK_BACKEND=wayland GSETTINGS_BACKEND=memory thunar "$folder" >"$work/thunar.log" 2>&1 &
pids+=($!)
thunar_shows() { [ -n "$(window_of "Projekt - Thunar")" ]; }
for ((i = 0; i < 200; i++)); do thunar_shows && break; sleep 0.05; done
thunar_shows || { echo "Thunar zeigt unter sway kein Fenster: Test übersprungen"; tail -n 3 "$work/thunar.log"; exit 77; }
thunar_window=$(window_of "Projekt - Thunar")

as_user_in_background QT_QPA_PLATFORM=offscreen "$bin" 2>"$log" &
larkspire=$!
pids+=("$larkspire")
within 20 "Larkspire startet nicht" logged "Statussymbol gesetzt"
logged "Fensterliste: sway über " || fail "Larkspire nimmt die Fensterliste nicht von sway"

# GTK 3 takes no keys from a virtual keyboard under a headless sway: rows are selected through the
# bus instead, after Thunar was brought to the front.
select_rows() {  # first count
  as_user swaymsg "[con_id=$thunar_window] focus" >/dev/null || fail "Thunar kommt nicht nach vorn"
  within 5 "Thunar kommt nicht nach vorn" focused_is "Projekt - Thunar"
  as_user /usr/bin/python3 "$work/select_rows.py" Thunar "$1" "$2" 2>>"$work/select.log" || fail "keine Zeilen gewählt: $(tail -n 3 "$work/select.log")"
}

if [ "$mode" = "--measure" ]; then
  select_rows 0 0
  sleep 5
  switches() { awk '/^voluntary_ctxt_switches/ { v = $2 } /^nonvoluntary_ctxt_switches/ { n = $2 } END { print v + n }' "$1"; }
  total() { local sum=0 task; for task in /proc/"$larkspire"/task/*; do sum=$((sum + $(switches "$task/status"))); done; echo "$sum"; }
  before=$(total)
  sleep 60
  after=$(total)
  echo "Larkspire unter sway, Thunar vorn, nichts gewählt: $((after - before)) Kontextwechsel (alle Threads) in 60 s"
  for task in /proc/"$larkspire"/task/*; do
    echo "   $(cat "$task/comm"): $(switches "$task/status")"
  done
  exit 0
fi

echo "1. Drei Dateien in Thunars Listenansicht gewählt: das Schild zeigt ihre Summe"
select_rows 0 3
within 20 "kein Schild mit der Summe der drei Dateien" logged "Auswahl-Schild: Auswahl: 2,5 MB"

echo "2. Ein Fenster über Thunar nimmt den Fokus: das Schild geht"
dashes=$(count_logged "Auswahl-Schild: –")
as_user_in_background foot >"$work/foot.log" 2>&1 &
pids+=($!)
more_dashes() { [ "$(count_logged "Auswahl-Schild: –")" -gt "$dashes" ]; }
within 20 "das Schild bleibt, obwohl ein anderes Fenster vorn ist" more_dashes
focused_is "Projekt - Thunar" && fail "Thunar hat noch den Fokus"

echo "3. Thunar wieder vorn: das Schild kommt wieder"
badges=$(count_logged "Auswahl-Schild: Auswahl: 2,5 MB")
as_user swaymsg "[app_id=foot] kill" >/dev/null
more_badges() { [ "$(count_logged "Auswahl-Schild: Auswahl: 2,5 MB")" -gt "$badges" ]; }
within 20 "kein Schild, nachdem Thunar wieder vorn ist" more_badges

echo "4. sway geht: einmal gesagt, Larkspire läuft weiter; ein neues sway wird verfolgt"
kill "$sway"
wait "$sway" 2>/dev/null
within 10 "der Verlust von sway wird nicht gesagt" logged "sway-Fensterliste verloren"
sleep 1
[ "$(count_logged "sway-Fensterliste verloren")" -eq 1 ] || fail "der Verlust von sway mehrfach gesagt"
kill -0 "$larkspire" 2>/dev/null || fail "Larkspire lebt nicht mehr"
display= swaysock=
startSway 'xwayland disable'
within 20 "das neue sway wird nicht verfolgt" logged "sway-Fensterliste wieder verbunden"

echo "5. Beenden"
as_user QT_QPA_PLATFORM=offscreen "$bin" --choose-menu-item "Larkspire beenden" || fail "Beenden nicht zugestellt"
timeout 20 tail --pid="$larkspire" -f /dev/null || fail "Larkspire hat sich nicht beendet"
grep -E "Fensterliste|Auswahl-Schild" "$log" | sed "s/^/   /"
echo "Schild über Thunar unter sway: bestanden"
