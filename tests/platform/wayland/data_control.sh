#!/usr/bin/env bash
# The clipboard of a Wayland session through data control, under a headless sway. First a program
# without any window (so without focus) follows what wl-copy offers: a cut is seen at once, the
# discard puts the files back as a copy that wl-paste reads, a text copy ends the cut, an owner that
# never delivers or offers too much holds nothing up. Then Larkspire itself, on Qt's offscreen
# platform where only data control can see the clipboard, counts a cut and discards it from its menu.
# Then the compositor goes away: both say so once and keep running. Last a new sway opens the same
# socket: both follow it, and Larkspire counts and discards a cut through it as before.
# sway refuses to run as root; as root, sway and every client run as the account larkspire-test.
# Arguments: the data_control_watch tool, the larkspire program.
set -euo pipefail
watch=$1
bin=$2

# shellcheck source=sway_session.sh
source "$(dirname "$0")/sway_session.sh"
requireTools "Test übersprungen (Pakete sway, wl-clipboard, dbus, python3 installieren)" \
  sway wl-copy wl-paste dbus-daemon dbus-monitor setpriv python3 jq

prepareSwaySession
cleanup() {
  exec 3>&- 4>&- 2>/dev/null || true
  [ -z "${silent:-}" ] || kill -CONT "$silent" 2>/dev/null || true  # a stopped process takes no signal
  endOwn "${pids[@]}"
  endSessionBus
  removeSessionDir "$work"
}
trap cleanup EXIT

# wl-copy stays behind to serve what it offered; its messages go to a file, not to the test's output.
offer() { as_user wl-copy "$@" >>"$work/wl-copy.log" 2>&1; }
reachable watch bin

log=$work/larkspire.log
watched=$work/watch.out
watchLog=$work/watch.err
touch "$log" "$watched" "$watchLog" "$work/sway.log"
fail() {
  echo "FEHLER: $*"
  for file in "$work"/*.out "$work"/*.err "$log" "$work/wl-copy.log" "$work/sway.log"; do
    echo "--- $(basename "$file")"
    tail -n 40 "$file"
  done
  exit 1
}
# Waits until the file holds the text at least n times; real programs answer within this.
await() {  # file text n
  local waited=0
  until [ "$(count "$1" "$2")" -ge "$3" ]; do
    sleep 0.02
    waited=$((waited + 1))
    [ "$waited" -lt 1000 ] || fail "„$2“ nicht ${3}-mal in $(basename "$1")"
  done
}
url() { python3 -c 'import sys, urllib.parse; print("file://" + urllib.parse.quote(sys.argv[1]))' "$1"; }
changes() { grep -c '^change' "$watched" || true; }
# The change after the first n: "change<TAB>count<TAB>operation<TAB>time<TAB>path…"
change_after() {  # n [output of a watcher]
  local file=${2:-$watched}
  await "$file" '^change' $(($1 + 1))
  grep '^change' "$file" | sed -n "$(($1 + 1))p"
}
field() { cut -f "$2" <<<"$1"; }

startSway

# Under the sanitizers every step of the client takes many times as long.
limit=0.5
case "$(ldd "$watch")" in *libasan* | *libtsan*) limit=5 ;; esac

# Starts a watcher with its commands on descriptor fd; sets `watcher` to its process.
start_watcher() {  # name fd
  mkfifo "$work/$1.commands"
  as_user_in_background "$watch" <"$work/$1.commands" >"$work/$1.out" 2>"$work/$1.err" &
  watcher=$!
  pids+=("$watcher")
  eval "exec $2>\"\$work/\$1.commands\""
  await "$work/$1.out" "^verbunden" 1
  grep -q "^verbunden wlr-data-control-unstable-v1\|^verbunden ext-data-control-v1" "$work/$1.out" ||
    fail "unbekanntes Protokoll: $(head -n 1 "$work/$1.out")"
}
seconds_since() { python3 -c "print(f'{$(field "$1" 4) - $2:.3f}')"; }
within_limit() { python3 -c "import sys; sys.exit(0 if $1 < $limit else 1)"; }

echo "1. Ein Programm ohne Fenster sieht ein Ausschneiden"
start_watcher watch 3
first=$watcher
# The compositor tells the clipboard as it is on binding, an empty one too.
await "$watched" '^change' 1
a="$work/files/Bericht März.pdf"
b="$work/files/b.txt"
touch "$a" "$b"
[ ${#run_as[@]} -eq 0 ] || chown "$user" "$a" "$b"
printf 'cut\n%s\n%s' "$(url "$a")" "$(url "$b")" >"$work/cut"
seen=$(changes)
started=$(date +%s.%N)
offer --type x-special/gnome-copied-files <"$work/cut"
line=$(change_after "$seen")
latency=$(seconds_since "$line" "$started")
[ "$(field "$line" 3)" = cut ] || fail "kein Ausschneiden erkannt: $line"
[ "$(field "$line" 5-)" = "$a	$b" ] || fail "falsche Dateien: $line"
echo "   gesehen nach $latency s (Grenze $limit s)"
within_limit "$latency" || fail "Ausschneiden erst nach $latency s gesehen"

echo "2. Verwerfen legt die Dateien als Kopie zurück"
seen=$(changes)
echo verwerfen >&3
await "$watched" "^zurückgelegt 2" 1
as_user wl-paste --no-newline --type x-special/gnome-copied-files >"$work/pasted" || fail "wl-paste liest nichts"
expected=$(printf 'copy\n%s\n%s' "$(url "$a")" "$(url "$b")")
[ "$(cat "$work/pasted")" = "$expected" ] || fail "zurückgelegt: $(cat "$work/pasted")"
as_user wl-paste --list-types >"$work/types"
for type in text/uri-list x-special/mate-copied-files application/x-kde-cutselection; do
  grep -qx "$type" "$work/types" || fail "$type fehlt unter den angebotenen Typen"
done
[ "$(as_user wl-paste --no-newline --type application/x-kde-cutselection)" = 0 ] || fail "KDE-Markierung nicht 0"
line=$(change_after "$seen")
[ "$(field "$line" 3)" = copy ] || fail "die eigene Kopie nicht als Kopie gesehen: $line"

echo "3. Text kopieren beendet das Ausschneiden"
seen=$(changes)
offer --type x-special/gnome-copied-files <"$work/cut"
line=$(change_after "$seen")
[ "$(field "$line" 3)" = cut ] || fail "zweites Ausschneiden nicht gesehen: $line"
seen=$(changes)
offer hello
line=$(change_after "$seen")
[ "$(field "$line" 3)" = unmarked ] && [ -z "$(field "$line" 5-)" ] || fail "Text nicht als Ende gesehen: $line"

echo "4. Ein Besitzer, der nie liefert, und einer, der zu viel liefert, halten nichts auf"
seen=$(changes)
as_user_in_background wl-copy --foreground --type x-special/gnome-copied-files <"$work/cut" \
  >"$work/silent-owner.log" 2>&1 &
silent=$!
pids+=("$silent")
change_after "$seen" >/dev/null  # read while the owner still answers
kill -STOP "$silent"
# A second watcher finds the stopped owner's offer on binding: it asks, and no byte ever comes.
start_watcher silent 4
second=$watcher
await "$work/silent.err" "Zwischenablage nicht gelesen: x-special/gnome-copied-files (keine Daten nach 1 s)" 1
line=$(change_after 0 "$work/silent.out")
[ "$(field "$line" 3)" = unmarked ] || fail "ein stummer Besitzer gilt nicht als leer: $line"
started=$(date +%s.%N)
offer --type x-special/gnome-copied-files <"$work/cut"
line=$(change_after 1 "$work/silent.out")
latency=$(seconds_since "$line" "$started")
[ "$(field "$line" 3)" = cut ] || fail "Ausschneiden nach dem stummen Besitzer nicht gesehen: $line"
echo "   das nächste Ausschneiden danach gesehen nach $latency s"
within_limit "$latency" || fail "nach dem stummen Besitzer erst nach $latency s"
kill -CONT "$silent"  # replaced meanwhile, it ends by itself
seen=$(changes)
{
  printf 'cut\n'
  head -c $((33 * 1024 * 1024)) /dev/zero | tr '\0' 'x'
} >"$work/huge"
offer --type x-special/gnome-copied-files <"$work/huge"
await "$watchLog" "x-special/gnome-copied-files (mehr als 32 MiB)" 1
line=$(change_after "$seen")
[ "$(field "$line" 3)" = unmarked ] || fail "zu große Liste nicht verworfen: $line"
rm -f "$work/huge"

echo "5. Larkspire auf Qts offscreen-Plattform: Ausschneiden, Verwerfen, Text beendet"
startSessionBusAsUser || fail "kein Sitzungsbus"
settings=$work/config/larkspire/settings.json
cut_list() { jq -c '.cutPaths // [] | sort' "$settings" 2>/dev/null || echo "(unlesbar)"; }
as_user_in_background QT_QPA_PLATFORM=offscreen "$bin" 2>"$log" &
larkspire=$!
pids+=("$larkspire")
await "$log" "Zwischenablage über die Datensteuerung des Compositors" 1
await "$log" "Widgets und Auswahlgröße auf Ebenen des Wayland-Compositors" 1
await "$log" "Ausschneiden folgt der Zwischenablage des Dateimanagers" 1
offer --type x-special/gnome-copied-files <"$work/cut"
await "$log" "Ausgeschnitten: 2 Datei(en)" 1
both=$(jq -cn --arg a "$a" --arg b "$b" '[$a, $b] | sort')
for ((i = 0; i < 100; i++)); do [ "$(cut_list)" = "$both" ] && break; sleep 0.05; done
[ "$(cut_list)" = "$both" ] || fail "cutPaths ist $(cut_list), erwartet $both"
as_user QT_QPA_PLATFORM=offscreen "$bin" --choose-menu-item "2 Datei(en) ausgeschnitten – verwerfen" ||
  fail "Menüpunkt nicht zugestellt"
await "$log" "Zwischenablage: 2 Datei(en) als Kopie zurückgelegt" 1
[ "$(as_user wl-paste --no-newline --type x-special/gnome-copied-files)" = "$expected" ] ||
  fail "Larkspire hat nicht als Kopie zurückgelegt"
[ "$(cut_list)" = "[]" ] || fail "nach dem Verwerfen ist noch $(cut_list) ausgeschnitten"
offer --type x-special/gnome-copied-files <"$work/cut"
await "$log" "Ausgeschnitten: 2 Datei(en)" 2
offer hello
await "$log" "Zwischenablage geändert – Ausschneiden verworfen" 1

echo "6. Der Compositor geht: jeder sagt es einmal und läuft weiter"
kill "$sway"
wait "$sway" 2>/dev/null || true
for file in "$watchLog" "$work/silent.err" "$log"; do await "$file" "Wayland-Datensteuerung beendet" 1; done
await "$log" "Ebenen des Compositors verloren" 1
sleep 0.3
for file in "$watchLog" "$work/silent.err" "$log"; do
  [ "$(count "$file" "Wayland-Datensteuerung beendet")" -eq 1 ] || fail "Verlust in $(basename "$file") mehrfach gemeldet"
done
# The connection of the layer surfaces is gone too, said once as well.
[ "$(count "$log" "Ebenen des Compositors verloren")" -eq 1 ] || fail "Verlust der Ebenen nicht einmal gemeldet"
for pid in "$first" "$second" "$larkspire"; do kill -0 "$pid" 2>/dev/null || fail "Prozess $pid lebt nicht mehr"; done

echo "7. Ein neuer sway auf demselben Socket: beide verbinden sich wieder, Ausschneiden und Verwerfen wirken"
lastCount=$(field "$(grep '^change' "$watched" | tail -n 1)" 2)
seen=$(changes)
first_display=$display
display='' swaySocket=''
startSway
[ "$display" = "$first_display" ] || fail "der neue sway nahm $display statt $first_display"
for file in "$watchLog" "$log"; do await "$file" "Wayland-Datensteuerung wieder verbunden" 1; done
as_user_in_background dbus-monitor --session "type='signal',interface='de.halvik.Quirefold',member='cutChanged'" \
  >"$work/signals.log" 2>&1 &
pids+=($!)
await "$work/signals.log" "NameAcquired" 1
offer --type x-special/gnome-copied-files <"$work/cut"
await "$log" "Ausgeschnitten: 2 Datei(en)" 3
await "$work/signals.log" "member=cutChanged" 1
for ((i = 0; i < 100; i++)); do [ "$(cut_list)" = "$both" ] && break; sleep 0.05; done
[ "$(cut_list)" = "$both" ] || fail "nach dem Neustart ist cutPaths $(cut_list), erwartet $both"
# The watcher sees the cut too, and its count went on growing across the loss and the return.
for ((n = seen; ; n++)); do
  line=$(change_after "$n")
  [ "$(field "$line" 3)" = cut ] && break
done
[ "$(field "$line" 2)" -gt "$lastCount" ] || fail "Zähler nicht gewachsen: $lastCount, dann $line"
as_user QT_QPA_PLATFORM=offscreen "$bin" --choose-menu-item "2 Datei(en) ausgeschnitten – verwerfen" ||
  fail "Menüpunkt nach dem Neustart nicht zugestellt"
await "$log" "Zwischenablage: 2 Datei(en) als Kopie zurückgelegt" 2
[ "$(as_user wl-paste --no-newline --type x-special/gnome-copied-files)" = "$expected" ] ||
  fail "nach dem Neustart nicht als Kopie beim neuen Compositor zurückgelegt"
for file in "$watchLog" "$log"; do
  [ "$(count "$file" "Wayland-Datensteuerung beendet")" -eq 1 ] || fail "Verlust in $(basename "$file") erneut gemeldet"
  [ "$(count "$file" "Wayland-Datensteuerung wieder verbunden")" -eq 1 ] ||
    fail "Wiederverbindung in $(basename "$file") nicht einmal gemeldet"
done
grep -E "Datensteuerung" "$log" | sed "s/^/   /"

as_user QT_QPA_PLATFORM=offscreen "$bin" --choose-menu-item "Larkspire beenden" || fail "Beenden nicht zugestellt"
timeout 20 tail --pid="$larkspire" -f /dev/null || fail "Larkspire hat sich nicht beendet"
wait "$larkspire" || fail "Larkspire endete mit Fehler"
exec 3>&- 4>&-
wait "$first" || fail "der erste Beobachter endete mit Fehler"
wait "$second" || fail "der zweite Beobachter endete mit Fehler"
echo "Datensteuerung unter sway bestanden"
