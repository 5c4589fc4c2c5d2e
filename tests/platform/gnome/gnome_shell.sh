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

# shellcheck source=shell_session.sh
source "$(dirname "$0")/shell_session.sh"
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
