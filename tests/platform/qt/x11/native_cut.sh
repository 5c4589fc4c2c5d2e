#!/usr/bin/env bash
# Native cuts on the real clipboard: under Xvfb with a private session bus, a helper process owns the
# clipboard the way each style of file manager does, for a cut and for a copy. Checks the cut list
# in the settings file, the D-Bus signal, the menu entry with its count and the discard, which must
# leave the same files on the clipboard marked as a copy.
# Arguments: the larkspire program, the clipboard_owner helper.
set -euo pipefail
bin=$1
owner=$2

# shellcheck source=../../../tools/desktop_session.sh
source "$(dirname "$0")/../../../tools/desktop_session.sh"
requireTools "Test übersprungen (Pakete xvfb, dbus, jq installieren)" Xvfb dbus-daemon dbus-monitor jq
useScriptSession
unset QT_QPA_PLATFORM
startXvfb "$work" 1280x800x24 || { echo "Xvfb ließ sich nicht starten: Test übersprungen"; exit 77; }
# A session bus of its own, so the signal is seen whatever runs on the machine.
startSessionBus || { echo "Kein Sitzungsbus: Test übersprungen"; exit 77; }
settings=$XDG_CONFIG_HOME/larkspire/settings.json
log=$work/larkspire.log
signals=$work/signals.log
touch "$log" "$signals"
fail() { echo "FEHLER: $*"; echo "--- Protokoll"; cat "$log"; echo "--- Signale"; cat "$signals"; exit 1; }

dbus-monitor "type='signal',interface='de.halvik.Quirefold',member='cutChanged'" >"$signals" 2>&1 &
pids+=($!)

count() { grep -c -- "$2" "$1" || true; }
# Waits until the file holds the text at least n times.
await() {  # file text n
  local waited=0
  until [ "$(count "$1" "$2")" -ge "$3" ]; do
    sleep 0.05
    waited=$((waited + 1))
    [ "$waited" -lt 400 ] || fail "„$2“ nicht ${3}-mal in $1"
  done
}
cut_list() { jq -c '.cutPaths // []' "$settings" 2>/dev/null || echo "(unlesbar)"; }
# The log line comes just before the settings file is written, so this waits for the file too.
expect_cut_list() {  # JSON array
  local expected waited=0
  expected=$(jq -c . <<<"$1")
  until [ "$(cut_list)" = "$expected" ]; do
    sleep 0.05
    waited=$((waited + 1))
    [ "$waited" -lt 400 ] || fail "cutPaths ist $(cut_list | cut -c1-200), erwartet $1"
  done
}
offer() {  # arguments of clipboard_owner
  local out=$work/owner.$RANDOM
  "$owner" "$@" >"$out" 2>&1 &
  pids+=($!)
  await "$out" "angeboten" 1
}
signal_count() { count "$signals" "member=cutChanged"; }

mkdir -p "$work/files" "$work/target"
a="$work/files/Bericht März.pdf"
b="$work/files/b.txt"
touch "$a" "$b"
both=$(jq -cn --arg a "$a" --arg b "$b" '[$a, $b] | sort')

# Menu items are chosen by their German titles, whatever the session's language.
LANGUAGE=de_DE "$bin" 2>"$log" &
larkspire=$!
pids+=("$larkspire")
await "$log" "Statussymbol gesetzt" 1
await "$log" "Ausschneiden folgt der Zwischenablage des Dateimanagers" 1
sleep 0.5  # the bus subscription of dbus-monitor is in place long before this

cuts=0 drops=0 discards=0 signals_seen=0
for style in gnome mate kde; do
  echo "$style: Ausschneiden, Kopieren, Ausschneiden, Verwerfen"
  offer offer "$style" cut "$b" "$a"
  cuts=$((cuts + 1)); await "$log" "Ausgeschnitten: 2 Datei(en)" $cuts
  expect_cut_list "$both"
  signals_seen=$((signals_seen + 1)); await "$signals" "member=cutChanged" $signals_seen

  offer offer "$style" copy "$a" "$b"
  drops=$((drops + 1)); await "$log" "Zwischenablage geändert – Ausschneiden verworfen" $drops
  expect_cut_list '[]'
  signals_seen=$((signals_seen + 1)); await "$signals" "member=cutChanged" $signals_seen

  offer offer "$style" cut "$a" "$b"
  cuts=$((cuts + 1)); await "$log" "Ausgeschnitten: 2 Datei(en)" $cuts
  signals_seen=$((signals_seen + 1)); await "$signals" "member=cutChanged" $signals_seen
  # The entry exists only with the count of the cut; choosing it discards.
  "$bin" --choose-menu-item "2 Datei(en) ausgeschnitten – verwerfen" || fail "Menüpunkt nicht zugestellt"
  discards=$((discards + 1)); await "$log" "Zwischenablage: 2 Datei(en) als Kopie zurückgelegt" $discards
  expect_cut_list '[]'
  signals_seen=$((signals_seen + 1)); await "$signals" "member=cutChanged" $signals_seen
  "$owner" read >"$work/read" || fail "Zwischenablage nicht lesbar"
  grep -A1 -x "== x-special/gnome-copied-files" "$work/read" | tail -1 | grep -qx "copy" \
    || fail "verworfene Dateien nicht als Kopie in der Zwischenablage: $(cat "$work/read")"
  for encoded in "Bericht%20M%C3%A4rz.pdf" "files/b.txt"; do
    grep -q "$encoded" "$work/read" || fail "$encoded fehlt nach dem Verwerfen"
  done
  grep -A1 -x "== application/x-kde-cutselection" "$work/read" | tail -1 | grep -qx "0" \
    || fail "KDE-Markierung nicht 0"
done
[ "$(signal_count)" -eq 12 ] || fail "$(signal_count) Signale statt 12"

echo "Einfügen anderswo: die Dateien verschwinden, das Ausschneiden endet"
offer offer gnome cut "$a" "$b"
cuts=$((cuts + 1)); await "$log" "Ausgeschnitten: 2 Datei(en)" $cuts
mv "$a" "$b" "$work/target/"
await "$log" "Ausgeschnittene Dateien nicht mehr vorhanden – Ausschneiden beendet" 1
expect_cut_list '[]'

echo "Schlechte Inhalte: 100 000 URIs, NUL, kein Schema, relative Pfade, kein UTF-8, cut ohne Dateien"
touch "$work/files/eins"
{
  printf 'cut\nfile://%s' "$work/files/eins"
  for i in $(seq 2 100000); do printf '\nfile://%s/fehlt/%d' "$work/files" "$i"; done
} >"$work/many"
offer raw x-special/gnome-copied-files "$work/many"
await "$log" "Ausgeschnitten: 100000 Datei(en)" 1
waited=0
until [ "$(jq '.cutPaths | length' "$settings" 2>/dev/null)" = 100000 ]; do
  sleep 0.05
  waited=$((waited + 1))
  [ "$waited" -lt 400 ] || fail "nicht 100000 Pfade gespeichert"
done
printf 'cut\nfile:///a%%00b\n/ohne/schema\nfile:relativ\nfile:///kein-%%FF-utf8\n' >"$work/bad"
offer raw x-special/gnome-copied-files "$work/bad"
drops=$((drops + 1)); await "$log" "Zwischenablage geändert – Ausschneiden verworfen" $drops
printf 'cut' >"$work/empty-cut"
offer raw x-special/gnome-copied-files "$work/empty-cut" text/uri-list "$work/empty-cut"
# Read in order: once the next cut shows, the one before was read and left nothing cut.
offer offer gnome cut "$work/target/b.txt"
await "$log" "Ausgeschnitten: 1 Datei(en)" 1
expect_cut_list "$(jq -cn --arg b "$work/target/b.txt" '[$b]')"

echo "Ein Besitzer, der seine Typen nennt und dann hängt: Larkspire bleibt bedienbar, das Ausschneiden endet"
offer hang gnome cut "$work/target/b.txt"
# The change has arrived and its read has begun by now; a main thread waiting for the owner (5 s for
# each type) would leave this request unanswered, as the hand-over waits 5 s for an answer.
sleep 0.3
"$bin" --choose-menu-item "Kein solcher Eintrag" || fail "keine Antwort, solange der Besitzer schweigt"
drops=$((drops + 1)); await "$log" "Zwischenablage geändert – Ausschneiden verworfen" $drops
expect_cut_list '[]'
offer offer gnome cut "$work/target/b.txt"
await "$log" "Ausgeschnitten: 1 Datei(en)" 2

echo "Beenden; kein Tastatur-Hook, keine Berechtigungsanfrage"
"$bin" --choose-menu-item "Larkspire beenden" || fail "Beenden nicht zugestellt"
timeout 20 tail --pid="$larkspire" -f /dev/null || fail "Larkspire hat sich nicht beendet"
wait "$larkspire" || fail "Larkspire endete mit Fehler"
for line in "Event-Tap aktiv" "Kein Bedienungshilfen-Zugriff"; do
  [ "$(count "$log" "$line")" -eq 0 ] || fail "„$line“ im Protokoll"
done
# The request is remembered before it is shown; cut and paste on by default must not have made it.
[ "$(jq '.didAskAccessibility // false' "$settings")" = false ] || fail "nach der Eingabe-Berechtigung gefragt"
echo "Natives Ausschneiden bestanden"
