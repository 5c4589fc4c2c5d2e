#!/usr/bin/env bash
# The badge over Thunar running natively on Wayland, with the accessibility bus, under a headless
# sway (its IPC) or KWin (a script it runs for Larkspire). Three files selected give the badge with
# their total; a window opened over Thunar takes the focus and the badge goes; closed, Thunar is in
# front again and so is the badge; the compositor going away is said once, and one that starts anew
# is followed. Larkspire runs on Qt's offscreen platform, so its window list cannot come from X11.
#   thunar_badge.sh LARKSPIRE sway|kwin            the checks (exit 77 where the compositor or Thunar
#                                                  cannot run)
#   thunar_badge.sh LARKSPIRE sway --native        the same with Larkspire on Qt's Wayland platform, and
#                                                  grim's pictures of the badge over Thunar, which stay
#                                                  in the build folder; Qt's Wayland platform ends with
#                                                  its compositor, so sway is not ended here
# With LARKSPIRE_FILE_MANAGER=pcmanfm-qt, the same over pcmanfm-qt on Qt 5's Wayland platform.
#   thunar_badge.sh LARKSPIRE sway|kwin --measure  Larkspire's context switches per thread over an idle
#                                                  minute (Thunar open, another window in front)
set -uo pipefail
bin=$1
compositor=$2
mode=${3:-check}

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=sway_session.sh
source "$here/sway_session.sh"
requireTools "Test übersprungen (Pakete sway, kwin-wayland, thunar, dbus, at-spi2-core, python3-gi installieren)" \
  thunar dbus-daemon dbus-send setpriv jq xfconf-query
manager=${LARKSPIRE_FILE_MANAGER:-thunar}
name=Thunar
if [ "$manager" = pcmanfm-qt ]; then
  name=pcmanfm-qt
  requireTools "Test übersprungen (Paket pcmanfm-qt installieren)" pcmanfm-qt
  ls /usr/lib/*/qt5/plugins/platforms/libqwayland-generic.so >/dev/null 2>&1 ||
    { echo "Qt 5s Wayland-Plattform fehlt (qtwayland5): Test übersprungen"; exit 77; }
fi
case "$compositor" in
sway) requireTools "Test übersprungen (Paket sway installieren)" sway swaymsg ;;
kwin) requireTools "Test übersprungen (Paket kwin-wayland installieren)" kwin_wayland ;;
*) echo "sway oder kwin, nicht $compositor"; exit 2 ;;
esac
platform=offscreen
if [ "$mode" = "--native" ]; then
  platform=wayland
  requireTools "Test übersprungen (Paket grim installieren)" grim
  ls /usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so >/dev/null 2>&1 ||
    { echo "Qts Wayland-Plattform fehlt (qt6-wayland): Test übersprungen"; exit 77; }
fi
# Debian's python3 with its GObject bindings, whatever python comes first on the PATH.
python=/usr/bin/python3
$python -c 'import gi; gi.require_version("Atspi", "2.0"); gi.require_version("Gtk", "3.0")' 2>/dev/null ||
  { echo "python3-gi, gir1.2-atspi-2.0 oder gir1.2-gtk-3.0 fehlt: Test übersprungen"; exit 77; }

prepareSwaySession
cleanup() {
  endOwn "${pids[@]}"
  endSessionBus
  [ "$mode" != "--native" ] || cp "$work"/*.png . 2>/dev/null || true
  removeSessionDir "$work"
}
trap cleanup EXIT
reachable bin
cp "$here/select_rows.py" "$here/cover_window.py" "$work/" && chmod 644 "$work"/*.py
shot() {  # name
  [ "$mode" = "--native" ] || return 0
  sleep 0.5  # the compositor shows the last frame on its next one
  as_user grim -t ppm "$work/$1.ppm" || fail "grim nimmt kein Bild"
  as_user grim "$work/${manager%-qt}_badge_wayland_$1.png" 2>/dev/null || true
}

log=$work/larkspire.log
touch "$log" "$work/thunar.log" "$work/compositor.log"
fail() {
  echo "FEHLER: $*"
  for file in "$log" "$work/thunar.log" "$work/sway.log" "$work/compositor.log"; do
    [ -f "$file" ] || continue
    echo "--- $(basename "$file")"
    tail -n 30 "$file"
  done
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

# KWin's binary carries a file capability this machine may not grant; a copy carries none. KWin
# takes its own platform plugin only under its own name.
startKWin() {
  local i
  mkdir -p "$work/bin"
  cp "$(command -v kwin_wayland)" "$work/bin/kwin_wayland"
  chmod 755 "$work/bin/kwin_wayland"
  as_user_in_background "$work/bin/kwin_wayland" --virtual --socket wayland-kwin --width 1280 --height 720 \
    >"$work/compositor.log" 2>&1 &
  kwin=$!
  pids+=("$kwin")
  for ((i = 0; i < 300; i++)); do
    [ -S "$work/run/wayland-kwin" ] && as_user dbus-send --session --print-reply --dest=org.kde.KWin /Scripting \
      org.freedesktop.DBus.Peer.Ping >/dev/null 2>&1 && break
    kill -0 "$kwin" 2>/dev/null || break
    sleep 0.05
  done
  if ! [ -S "$work/run/wayland-kwin" ] || ! kill -0 "$kwin" 2>/dev/null; then
    echo "KWin startet nicht: Test übersprungen"
    tail -n 5 "$work/compositor.log"
    exit 77
  fi
  display=wayland-kwin
}

startSessionBusAsUser || { echo "kein Sitzungsbus: Test übersprungen"; exit 77; }
if [ "$compositor" = sway ]; then
  # The cover floats over Thunar, as a dialog or a window the user placed there would.
  startSway 'for_window [title="Deckel"] floating enable, move position 0 0'
else
  startKWin
fi
as_user dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1 ||
  { echo "der Barrierefreiheitsbus (at-spi2-core) startet nicht: Test übersprungen"; exit 77; }
as_user dbus-send --session --dest=org.a11y.Bus /org/a11y/bus org.freedesktop.DBus.Properties.Set \
  string:org.a11y.Status string:IsEnabled variant:boolean:true >/dev/null 2>&1

folder=$work/home/Projekt
mkdir -p "$folder"
if [ "$mode" = "--measure" ]; then
  for ((i = 1; i <= 50; i++)); do : >"$folder/$(printf 'datei-%02d.txt' "$i")"; done
else
  # 1,500,000 + 700,000 + 340,000 bytes read 2,5 MB; two of them 2,2 MB, four 2,7 MB.
  head -c 1500000 /dev/zero >"$folder/a.pdf"
  head -c 700000 /dev/zero >"$folder/b.mov"
  head -c 340000 /dev/zero >"$folder/c.jpg"
  head -c 150000 /dev/zero >"$folder/d.txt"
  head -c 20 /dev/zero >"$folder/e.txt"
fi
[ ${#run_as[@]} -eq 0 ] || chown -R "$user" "$folder"
# The list view shows its rows on the bus; the icon view shows none.
as_user xfconf-query -c thunar -p /last-view -n -t string -s ThunarDetailsView 2>/dev/null

if [ "$manager" = pcmanfm-qt ]; then
  # The detailed list view lists every row on the bus; it is chosen before the program reads its settings.
  mkdir -p "$work/config/pcmanfm-qt/default"
  printf '[FolderView]\nMode=detailed\n' >"$work/config/pcmanfm-qt/default/settings.conf"
  [ ${#run_as[@]} -eq 0 ] || chown -R "$user" "$work/config"
  # As in the X11 test: Qt 5 programs join the accessibility bus whatever its state says.
  as_user_in_background QT_QPA_PLATFORM=wayland QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 pcmanfm-qt "$folder" >"$work/thunar.log" 2>&1 &
else
  as_user_in_background GDK_BACKEND=wayland GSETTINGS_BACKEND=memory thunar "$folder" >"$work/thunar.log" 2>&1 &
fi
pids+=($!)
# GTK 3 takes no keys from a virtual keyboard under a headless compositor: rows are selected through
# the bus instead, which Thunar answers like a selection made by hand.
select_rows() { as_user $python "$work/select_rows.py" "$name" "$1" "$2" 2>>"$work/select.log"; }
for ((i = 0; i < 200; i++)); do select_rows 0 0 && break; sleep 0.1; done
select_rows 0 0 || { echo "$name zeigt keine Dateiliste: Test übersprungen"; tail -n 3 "$work/thunar.log" "$work/select.log"; exit 77; }

as_user_in_background QT_QPA_PLATFORM=$platform "$bin" 2>"$log" &
larkspire=$!
pids+=("$larkspire")
within 20 "Larkspire startet nicht" logged "Statussymbol gesetzt"
if [ "$mode" = "--native" ]; then
  # Without a tray the settings window opens, and sway tiles it beside Thunar; start-up asks for it
  # twice.
  ours() { as_user swaymsg -t get_tree -r | jq -e --argjson pid "$larkspire" '[.. | objects | select(.pid? == $pid)] | length > 0' >/dev/null; }
  for round in 1 2; do
    within 20 "kein Einstellungsfenster ($round)" ours
    as_user swaymsg "[pid=$larkspire] kill" >/dev/null
    within 20 "Einstellungsfenster nicht geschlossen" eval '! ours'
    sleep 1
  done
  ours && fail "Einstellungsfenster kam ein drittes Mal"
fi
source_line=$([ "$compositor" = sway ] && echo "Fensterliste: sway über " || echo "Fensterliste: KWin-Skript")
logged "$source_line" || fail "Larkspire nimmt die Fensterliste nicht von $compositor"

if [ "$mode" = "--measure" ]; then
  # Another program in front and nothing cut: the badge sleeps, and only the window list could wake.
  as_user_in_background GDK_BACKEND=wayland $python "$work/cover_window.py" >"$work/cover.log" 2>&1 &
  pids+=($!)
  sleep 5
  switches() { awk '/^voluntary_ctxt_switches/ { v = $2 } /^nonvoluntary_ctxt_switches/ { n = $2 } END { print v + n }' "$1"; }
  total() { local sum=0 task; for task in /proc/"$larkspire"/task/*; do sum=$((sum + $(switches "$task/status"))); done; echo "$sum"; }
  declare -A before
  for task in /proc/"$larkspire"/task/*; do before[$task]=$(switches "$task/status"); done
  sleep 60
  echo "Larkspire unter $compositor, Thunar offen, ein anderes Fenster vorn, nichts ausgeschnitten, 60 s:"
  for task in /proc/"$larkspire"/task/*; do
    echo "   $(cat "$task/comm"): $(($(switches "$task/status") - ${before[$task]:-0})) Kontextwechsel"
  done
  # Then what the process read in 30 s: recvfrom is sway's socket, recvmsg the buses and Wayland.
  if command -v strace >/dev/null; then
    timeout -s INT 30 strace -f -c -e trace=recvfrom,recvmsg,read -p "$larkspire" -o "$work/strace.txt" 2>/dev/null
    echo "   Lesende Aufrufe in weiteren 30 s (strace):"
    awk '$NF ~ /^(recvfrom|recvmsg|read)$/ { print "   " $NF ": " $4 }' "$work/strace.txt"
  fi
  exit 0
fi

echo "1. Drei Dateien in der Listenansicht von $name gewählt: das Schild zeigt ihre Summe"
select_rows 0 3 || fail "keine Zeilen gewählt: $(tail -n 3 "$work/select.log")"
within 20 "kein Schild mit der Summe der drei Dateien" logged "Auswahl-Schild: Auswahl: 2,5 MB"
shot badge

echo "2. Ein Fenster über $name nimmt den Fokus: das Schild geht"
dashes=$(count_logged "Auswahl-Schild: –")
as_user_in_background GDK_BACKEND=wayland $python "$work/cover_window.py" >"$work/cover.log" 2>&1 &
cover=$!
pids+=("$cover")
more_dashes() { [ "$(count_logged "Auswahl-Schild: –")" -gt "$dashes" ]; }
within 20 "das Schild bleibt, obwohl ein anderes Fenster vorn ist" more_dashes
shot covered

echo "3. Das Fenster geschlossen, $name wieder vorn: das Schild kommt wieder"
badges=$(count_logged "Auswahl-Schild: Auswahl: 2,5 MB")
kill "$cover"
more_badges() { [ "$(count_logged "Auswahl-Schild: Auswahl: 2,5 MB")" -gt "$badges" ]; }
within 20 "kein Schild, nachdem $name wieder vorn ist" more_badges
shot badge_again

if [ "$mode" = "--native" ]; then
  echo "4. Die Bilder: das Schild über $name, fort, solange ein anderes Fenster vorn ist"
  manager_rect=$(as_user swaymsg -t get_tree -r | jq -r --arg id "$manager" \
    '[.. | objects | select((.app_id? // "") | ascii_downcase == $id)][0].rect | "\(.x) \(.y) \(.width) \(.height)"')
  as_user QT_QPA_PLATFORM=offscreen "$bin" --choose-menu-item "Larkspire beenden" || fail "Beenden nicht zugestellt"
  timeout 20 tail --pid="$larkspire" -f /dev/null || fail "Larkspire hat sich nicht beendet"
  shot bare
  # shellcheck disable=SC2086
  $python "$here/badge_pictures.py" "$work/bare.ppm" "$work/badge_again.ppm" "$work/covered.ppm" $manager_rect ||
    fail "die Bilder zeigen das Schild nicht, wie es sein soll"
  grep -E "Fensterliste|Auswahl-Schild|Ebenen" "$log" | sed "s/^/   /"
  echo "Schild über $name unter sway, Larkspire auf Qts Wayland-Plattform: bestanden"
  exit 0
fi

echo "4. Der Compositor geht: einmal gesagt, Larkspire läuft weiter; ein neuer wird verfolgt"
if [ "$compositor" = sway ]; then
  lost="sway-Fensterliste verloren" back="sway-Fensterliste wieder verbunden"
  kill "$sway"
  wait "$sway" 2>/dev/null
else
  lost="KWin beendet" back="KWin-Skript meldet die Fenster"
  kill "$kwin"
  wait "$kwin" 2>/dev/null
fi
within 10 "der Verlust des Compositors wird nicht gesagt" logged "$lost"
sleep 1
[ "$(count_logged "$lost")" -eq 1 ] || fail "der Verlust des Compositors mehrfach gesagt"
kill -0 "$larkspire" 2>/dev/null || fail "Larkspire lebt nicht mehr"
loads=$(count_logged "$back")
display= swaySocket=
if [ "$compositor" = sway ]; then startSway; else startKWin; fi
followed() { [ "$(count_logged "$back")" -gt "$loads" ]; }
within 20 "der neue Compositor wird nicht verfolgt" followed

echo "5. Beenden"
as_user QT_QPA_PLATFORM=offscreen "$bin" --choose-menu-item "Larkspire beenden" || fail "Beenden nicht zugestellt"
timeout 20 tail --pid="$larkspire" -f /dev/null || fail "Larkspire hat sich nicht beendet"
grep -E "Fensterliste|Auswahl-Schild|KWin" "$log" | sed "s/^/   /"
echo "Schild über Thunar unter $compositor: bestanden"
