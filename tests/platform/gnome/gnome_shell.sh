#!/usr/bin/env bash
# Larkspire on GNOME Shell 43, headless, with its extension enabled through gsettings. The Shell runs
# as an unprivileged account with a private session bus and a private system bus on which logind is
# mocked. Larkspire, a native Wayland client, learns of a cut another client offers without the focus
# (cutPaths and the D-Bus signal), its discard becomes a copy wl-paste reads, text on the clipboard
# never leaves the Shell, an owner that never delivers holds nothing up, the top-bar icon shows where
# no StatusNotifier host runs, and both find each other again after the extension, Larkspire or the
# Shell restarts; a program that claims Larkspire's bus name gets nothing.
# Arguments: the larkspire program, the extension's folder (the form for GNOME Shell 43).
set -euo pipefail
bin=$1
extension=$2

# shellcheck source=../../tools/desktop_session.sh
source "$(dirname "$0")/../../tools/desktop_session.sh"
tools=$(cd "$(dirname "$0")/tools" && pwd)
requireTools "Test übersprungen (Pakete gnome-shell, python3-dbusmock, wl-clipboard, dbus installieren)" \
  gnome-shell dbus-daemon dbus-monitor gdbus gsettings wl-copy wl-paste setpriv jq
/usr/bin/python3 -c 'import dbusmock' 2>/dev/null || { echo "python3-dbusmock fehlt: Test übersprungen"; exit 77; }

work=$(mktemp -d)
pids=()
buses=()
cleanup() {
  [ -z "${silent:-}" ] || kill -CONT "$silent" 2>/dev/null || true
  endOwn "${pids[@]}"
  local bus
  for bus in "${buses[@]}"; do
    [ "$(cat "/proc/$bus/comm" 2>/dev/null)" = dbus-daemon ] && kill "$bus" 2>/dev/null
  done
  removeSessionDir "$work"
}
trap cleanup EXIT

run_as=()
if [ "$(id -u)" -eq 0 ]; then
  user=larkspire-test
  if ! id "$user" >/dev/null 2>&1 && ! useradd --create-home --shell /usr/sbin/nologin "$user" >/dev/null 2>&1; then
    echo "GNOME Shell läuft hier nicht als root, und das Konto $user ließ sich nicht anlegen: Test übersprungen"
    exit 77
  fi
  run_as=(setpriv --reuid="$(id -u "$user")" --regid="$(id -g "$user")" --init-groups --)
fi
mkdir -p "$work"/{home,run,config,data,files,cache}
chmod 700 "$work/run"
[ ${#run_as[@]} -eq 0 ] || chown -R "$user" "$work"
chmod 711 "$work"

# The system bus: private, open to this session's account, with logind mocked on it.
cat >"$work/system.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$work/system_bus_socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_type="method_return"/>
    <allow send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="signal"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
  </policy>
</busconfig>
CONF
system=$(dbus-daemon --config-file="$work/system.conf" --fork --print-pid=1) || { echo "kein Systembus: Test übersprungen"; exit 77; }
buses+=("$system")
systemBus=unix:path=$work/system_bus_socket
DBUS_SYSTEM_BUS_ADDRESS=$systemBus /usr/bin/python3 -m dbusmock --system --template logind >"$work/logind.log" 2>&1 &
pids+=($!)

display=
session_environment() {
  environment=(PATH="$PATH" HOME="$work/home" XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config"
    XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache" LANG=C.UTF-8
    DBUS_SESSION_BUS_ADDRESS="$sessionBus" DBUS_SYSTEM_BUS_ADDRESS="$systemBus")
  [ -z "$display" ] || environment+=(WAYLAND_DISPLAY="$display")
}
as_user() {
  session_environment
  "${run_as[@]}" env -i "${environment[@]}" "$@"
}
as_user_in_background() {
  session_environment
  exec "${run_as[@]}" env -i "${environment[@]}" "$@"
}
sessionBus=
session=$(as_user dbus-daemon --session --fork --print-address=1 --print-pid=1) || { echo "kein Sitzungsbus: Test übersprungen"; exit 77; }
sessionBus=$(head -n 1 <<<"$session")
buses+=("$(tail -n 1 <<<"$session")")

# The extension as make install puts it for a user, enabled as gsettings does.
uuid=larkspire@halvik.de
mkdir -p "$work/data/gnome-shell/extensions"
cp -r "$extension" "$work/data/gnome-shell/extensions/$uuid"
cp "$bin" "$work/larkspire"
bin=$work/larkspire
[ ${#run_as[@]} -eq 0 ] || chown -R "$user" "$work/data" "$bin"
as_user gsettings set org.gnome.shell enabled-extensions "['$uuid']"

log=$work/larkspire.log
shellLog=$work/shell.log
monitor=$work/monitor.log
touch "$log" "$shellLog" "$monitor"
fail() {
  echo "FEHLER: $*"
  for file in "$log" "$shellLog" "$monitor"; do
    echo "--- $(basename "$file")"
    grep -v "^ *\(array\|string\|byte\|)\|]\)" "$file" | tail -n 40
  done
  exit 1
}
count() { grep -c -- "$2" "$1" || true; }
await() {  # file text n
  local waited=0
  until [ "$(count "$1" "$2")" -ge "$3" ]; do
    sleep 0.02
    waited=$((waited + 1))
    [ "$waited" -lt 1500 ] || fail "„$2“ nicht ${3}-mal in $(basename "$1")"
  done
}
offer() { as_user wl-copy "$@" >>"$work/wl-copy.log" 2>&1 || fail "wl-copy: $(tail -n 3 "$work/wl-copy.log")"; }
# The Shell may switch its extensions off and on once while it settles. A missing tray said while
# the extension was away is true then; said while it stayed attached it is a fault.
tray_reported_rightly() {  # attachments expected afterwards
  local said away
  said=$(grep -n -m 1 "Keine Statusleiste" "$log" | cut -d: -f1) || true
  [ -n "$said" ] || return 0
  away=$(grep -n -m 1 "GNOME-Shell-Erweiterung getrennt" "$log" | cut -d: -f1) || true
  [ -n "$away" ] && [ "$away" -lt "$said" ] ||
    fail "ohne Statusleiste gemeldet, obwohl die Erweiterung das Symbol zeigt"
  await "$log" "GNOME-Shell-Erweiterung angemeldet (Erweiterung " "$1"
}
url() { python3 -c 'import sys, urllib.parse; print("file://" + urllib.parse.quote(sys.argv[1]))' "$1"; }
extension_state() {
  as_user gdbus call --session -d org.gnome.Shell -o /org/gnome/Shell \
    -m org.gnome.Shell.Extensions.GetExtensionInfo "$uuid" 2>/dev/null | grep -o "'state': <[0-9.]*>" || true
}

start_shell() {
  display=
  rm -f "$work/run"/wayland-*
  as_user_in_background gnome-shell --headless --wayland --no-x11 --virtual-monitor 1280x800 >>"$shellLog" 2>&1 &
  shell=$!
  pids+=("$shell")
  local i socket=
  for ((i = 0; i < 400; i++)); do
    # The Shell makes and removes files there as it starts, which find may trip over.
    socket=$(find "$work/run" -maxdepth 1 -type s -name 'wayland-?' -printf '%f\n' 2>/dev/null | head -n 1) || true
    [ -n "$socket" ] && [ "$(extension_state)" = "'state': <1.0>" ] && break
    kill -0 "$shell" 2>/dev/null || break
    sleep 0.05
  done
  if [ -z "$socket" ] || ! kill -0 "$shell" 2>/dev/null; then
    echo "GNOME Shell startet nicht: Test übersprungen"
    tail -n 8 "$shellLog"
    exit 77
  fi
  [ "$(extension_state)" = "'state': <1.0>" ] || fail "Erweiterung nicht eingeschaltet: $(as_user gdbus call --session \
    -d org.gnome.Shell -o /org/gnome/Shell -m org.gnome.Shell.Extensions.GetExtensionInfo "$uuid" | grep -o "'error': <[^>]*>")"
  display=$socket
  # Clients that own the clipboard the usual way need a keyboard on the seat.
  : >"$work/keyboard.log"
  as_user_in_background /usr/bin/python3 "$tools/seat_keyboard.py" >"$work/keyboard.log" 2>&1 &
  pids+=($!)
  await "$work/keyboard.log" "Tastatur" 1
}

echo "GNOME Shell ohne Bildschirm starten"
start_shell
# Every cut signal and every hand-over from the Shell, with the bus's times.
as_user_in_background dbus-monitor --session "type='signal',interface='de.halvik.Quirefold',member='cutChanged'" \
  "type='method_call',interface='de.halvik.Quirefold.Larkspire1',member='ClipboardChanged'" \
  "type='method_call',interface='de.halvik.Quirefold.ShellExtension1',member='SetClipboard'" \
  "type='method_call',interface='de.halvik.Quirefold.Larkspire1',member='GetMenu'" >"$monitor" 2>&1 &
pids+=($!)

echo "1. Ein anderes Programm mit Larkspires Busnamen bekommt nichts"
as_user_in_background /usr/bin/python3 -c '
import dbus, time
bus = dbus.SessionBus()
bus.request_name("de.halvik.Quirefold", dbus.bus.NAME_FLAG_DO_NOT_QUEUE)
print("übernommen", flush=True)
time.sleep(600)' >"$work/impostor.log" 2>&1 &
impostor=$!
pids+=("$impostor")
await "$work/impostor.log" "übernommen" 1
await "$shellLog" "de.halvik.Quirefold gehört nicht Larkspire" 1

echo "2. Larkspire wartet auf den Namen und meldet sich an, sobald er frei ist"
as_user_in_background QT_QPA_PLATFORM=wayland "$bin" 2>"$log" &
larkspire=$!
pids+=("$larkspire")
await "$log" "gehört einem anderen Programm" 1
kill "$impostor"
await "$log" "GNOME-Shell-Erweiterung angemeldet (Erweiterung " 1
launched=$(date +%s)

echo "3. Ein Ausschneiden eines anderen Programms erreicht cutPaths und das Signal ohne Fokus"
await "$log" "Ausschneiden folgt der Zwischenablage des Dateimanagers" 1
a="$work/files/Bericht März.pdf"
b="$work/files/b.txt"
touch "$a" "$b"
[ ${#run_as[@]} -eq 0 ] || chown "$user" "$a" "$b"
printf 'cut\n%s\n%s' "$(url "$a")" "$(url "$b")" >"$work/cut"
signals() { grep -c "member=cutChanged" "$monitor" || true; }
seen=$(signals)
started=$(date +%s.%N)
offer --type x-special/gnome-copied-files <"$work/cut"
await "$log" "Ausgeschnitten: 2 Datei(en)" 1
await "$monitor" "member=cutChanged" $((seen + 1))
settings=$work/config/larkspire/settings.json
both=$(jq -cn --arg a "$a" --arg b "$b" '[$a, $b] | sort')
for ((i = 0; i < 100; i++)); do [ "$(jq -c '.cutPaths // [] | sort' "$settings" 2>/dev/null)" = "$both" ] && break; sleep 0.05; done
[ "$(jq -c '.cutPaths // [] | sort' "$settings")" = "$both" ] || fail "cutPaths ist $(jq -c .cutPaths "$settings")"
# The bus's own times: the first hand-over after the offer, the first signal after that.
after() {  # member time
  grep "member=$1" "$monitor" | sed 's/.*time=\([0-9.]*\).*/\1/' | awk -v t="$2" '$1 > t { print; exit }'
}
handed=$(after ClipboardChanged "$started")
signalled=$(after cutChanged "$handed")
python3 -c "print(f'   Anbieten → Übergabe {($handed - $started) * 1000:.1f} ms (mit dem Start von wl-copy), Übergabe → Signal {($signalled - $handed) * 1000:.1f} ms')"

echo "4. Verwerfen legt die Dateien über die Erweiterung als Kopie zurück"
as_user QT_QPA_PLATFORM=offscreen "$bin" --choose-menu-item "2 Datei(en) ausgeschnitten – verwerfen" ||
  fail "Menüpunkt nicht zugestellt"
await "$log" "Zwischenablage: 2 Datei(en) als Kopie zurückgelegt" 1
# Larkspire's write comes back as a change: the Shell's part of a change, from owner to hand-over.
await "$monitor" "member=SetClipboard" 1
written=$(grep "member=SetClipboard" "$monitor" | tail -n 1 | sed 's/.*time=\([0-9.]*\).*/\1/')
for ((i = 0; i < 100; i++)); do [ -n "$(after ClipboardChanged "$written")" ] && break; sleep 0.02; done
echoed=$(after ClipboardChanged "$written")
[ -n "$echoed" ] || fail "das Zurücklegen kam nicht als Änderung zurück"
python3 -c "print(f'   Schreiben → Übergabe der neuen Liste {($echoed - $written) * 1000:.1f} ms')"
expected=$(printf 'copy\n%s\n%s' "$(url "$a")" "$(url "$b")")
for ((i = 0; i < 100; i++)); do
  [ "$(as_user wl-paste --no-newline --type x-special/gnome-copied-files 2>/dev/null)" = "$expected" ] && break
  sleep 0.05
done
[ "$(as_user wl-paste --no-newline --type x-special/gnome-copied-files)" = "$expected" ] ||
  fail "zurückgelegt: $(as_user wl-paste --no-newline --type x-special/gnome-copied-files)"
as_user wl-paste --list-types >"$work/types"
# In the format the cut came in: the Shell serves one format for what an extension writes.
[ "$(cat "$work/types")" = x-special/gnome-copied-files ] || fail "angeboten: $(tr '\n' ' ' <"$work/types")"
[ "$(jq -c '.cutPaths' "$settings")" = "[]" ] || fail "nach dem Verwerfen noch $(jq -c .cutPaths "$settings")"

echo "5. Text verlässt die Shell nie; Text kopieren beendet ein Ausschneiden"
offer --type x-special/gnome-copied-files <"$work/cut"
await "$log" "Ausgeschnitten: 2 Datei(en)" 2
calls=$(grep -c "member=ClipboardChanged" "$monitor")
printf 'cut\n%s\nGeheimnis-4711' "$(url "$a")" | offer --type x-special/gnome-copied-files
await "$log" "Zwischenablage geändert – Ausschneiden verworfen" 1
offer "Geheimnis-4712"
await "$monitor" "member=ClipboardChanged" $((calls + 2))
sleep 0.2
grep -q "Geheimnis\|47 65 68 65 69 6d" "$monitor" && fail "Text hat die Shell verlassen"

echo "6. Ein Besitzer, der nie liefert, hält nichts auf"
as_user_in_background wl-copy --foreground --type x-special/gnome-copied-files <"$work/cut" >"$work/silent.log" 2>&1 &
silent=$!
pids+=("$silent")
sleep 0.05
kill -STOP "$silent"
# The Shell asks the stopped owner when Larkspire attaches again, and no byte comes.
as_user gnome-extensions disable "$uuid"
await "$log" "GNOME-Shell-Erweiterung getrennt" 1
as_user gnome-extensions enable "$uuid"
await "$log" "GNOME-Shell-Erweiterung angemeldet (Erweiterung " 2
await "$shellLog" "Zwischenablage nicht gelesen: x-special/gnome-copied-files (keine Daten nach 1 s)" 1
offer --type x-special/gnome-copied-files <"$work/cut"
await "$log" "Ausgeschnitten: 2 Datei(en)" 3
kill -CONT "$silent"

echo "7. Das Symbol in der oberen Leiste, wo kein StatusNotifier-Host läuft"
await "$shellLog" "Larkspire: Symbol in der oberen Leiste" 1
await "$monitor" "member=GetMenu" 1
# Larkspire waits a moment for the extension before it says that no tray shows its icon.
sleep $((launched + 4 - $(date +%s) > 0 ? launched + 4 - $(date +%s) : 0))
tray_reported_rightly 2

echo "8. Larkspire startet neu: die Erweiterung findet es wieder"
as_user QT_QPA_PLATFORM=offscreen "$bin" --choose-menu-item "Larkspire beenden" || fail "Beenden nicht zugestellt"
timeout 20 tail --pid="$larkspire" -f /dev/null || fail "Larkspire hat sich nicht beendet"
as_user_in_background QT_QPA_PLATFORM=offscreen "$bin" 2>"$log" &
larkspire=$!
pids+=("$larkspire")
await "$log" "GNOME-Shell-Erweiterung angemeldet (Erweiterung " 1
grep -q "GNOME-Shell-Erweiterung hat Version" "$log" && fail "Versionen gleich, aber als verschieden gemeldet"
# Larkspire waits a moment for the extension before it says that no tray shows its icon.
sleep 3.5
tray_reported_rightly 2

echo "9. Die Shell startet neu: Larkspire trennt und meldet sich wieder an"
# The restarted Shell finds an extension of another version.
metadata=$work/data/gnome-shell/extensions/$uuid/metadata.json
jq '."version-name" = "9.9.9"' "$metadata" >"$work/metadata.json" && cat "$work/metadata.json" >"$metadata"
kill "$shell"
# A Shell that ends in order detaches its extension first; one that crashes leaves the bus.
await "$log" "GNOME-Shell-Erweiterung getrennt" 1
wait "$shell" 2>/dev/null || true
start_shell
await "$log" "GNOME-Shell-Erweiterung angemeldet (Erweiterung " 2
await "$log" "Die GNOME-Shell-Erweiterung hat Version 9.9.9, Larkspire" 1

if [ -n "${LARKSPIRE_MEASURE_IDLE:-}" ]; then
  # Not a check: the Shell's wake-ups and processor time over a quiet stretch with nothing cut,
  # with the extension attached and then switched off.
  shell_figures() {  # seconds
    local before after
    before=$(cat /proc/"$shell"/task/*/status | awk '/ctxt_switches/ { n += $2 } END { print n }')
    local ticks=$(awk '{ print $14 + $15 }' /proc/"$shell"/stat)
    sleep "$1"
    after=$(cat /proc/"$shell"/task/*/status | awk '/ctxt_switches/ { n += $2 } END { print n }')
    echo "$((after - before)) Wechsel, $(($(awk '{ print $14 + $15 }' /proc/"$shell"/stat) - ticks)) Ticks"
  }
  sleep 2
  echo "   Shell ruhend mit Erweiterung (${LARKSPIRE_MEASURE_IDLE} s): $(shell_figures "$LARKSPIRE_MEASURE_IDLE")"
  as_user gnome-extensions disable "$uuid"
  sleep 2
  echo "   Shell ruhend ohne Erweiterung (${LARKSPIRE_MEASURE_IDLE} s): $(shell_figures "$LARKSPIRE_MEASURE_IDLE")"
  as_user gnome-extensions enable "$uuid"
  await "$log" "GNOME-Shell-Erweiterung angemeldet (Erweiterung " 3
fi
offer --type x-special/gnome-copied-files <"$work/cut"
await "$log" "Ausgeschnitten: 2 Datei(en)" 1
kill -0 "$larkspire" 2>/dev/null || fail "Larkspire lebt nicht mehr"

as_user QT_QPA_PLATFORM=offscreen "$bin" --choose-menu-item "Larkspire beenden" || fail "Beenden nicht zugestellt"
timeout 20 tail --pid="$larkspire" -f /dev/null || fail "Larkspire hat sich nicht beendet"

echo "10. Ohne eingeschaltete Erweiterung sagt Larkspire einmal, was fehlt"
as_user gnome-extensions disable "$uuid"
as_user_in_background QT_QPA_PLATFORM=offscreen "$bin" 2>"$log" &
larkspire=$!
pids+=("$larkspire")
await "$log" "Die Larkspire-Erweiterung für GNOME Shell ist ausgeschaltet: ausgeschnittene Dateien" 2
await "$log" "Keine Statusleiste gefunden" 1
sleep 0.5
[ "$(count "$log" "Larkspire-Erweiterung für GNOME Shell ist ausgeschaltet")" -eq 2 ] ||
  fail "nicht genau einmal gesagt (Journal und Terminal)"
as_user QT_QPA_PLATFORM=offscreen "$bin" --choose-menu-item "Larkspire beenden" || fail "Beenden nicht zugestellt"
timeout 20 tail --pid="$larkspire" -f /dev/null || fail "Larkspire hat sich nicht beendet"
echo "GNOME Shell bestanden"
