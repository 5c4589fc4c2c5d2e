#!/usr/bin/env bash
# Where the time goes between a cut on the clipboard and Larkspire's announcement of the list, under
# a headless GNOME Shell 43 with the extension: another client (wl-copy) sets the selection, the
# extension reads the file lists and hands them to Larkspire over the bus, Larkspire reads the cut,
# stores the list and sends its signal. The times come from the Wayland client's own log of its
# request and from the bus's times of the hand-over and the signal, all on the wall clock.
# Usage: bench/gnome-clipboard-latency.sh BUILD_DIR [ROUNDS]   (default 20)
set -euo pipefail
build=$(cd "$1" && pwd)
rounds=${2:-20}
bin=$build/larkspire
extension=$build/gnome-shell/legacy/larkspire@halvik.de
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../tests/platform/gnome/shell_session.sh
source "$here/../tests/platform/gnome/shell_session.sh"

start_shell
as_user_in_background dbus-monitor --session "type='signal',interface='de.halvik.Quirefold',member='cutChanged'" \
  "type='method_call',interface='de.halvik.Quirefold.Larkspire1',member='ClipboardChanged'" >"$monitor" 2>&1 &
pids+=($!)
as_user_in_background QT_QPA_PLATFORM=wayland "$bin" 2>"$log" &
pids+=($!)
await "$log" "GNOME-Shell-Erweiterung angemeldet (Erweiterung " 1
await "$log" "Ausschneiden folgt der Zwischenablage des Dateimanagers" 1
sleep 1

for name in a b; do
  touch "$work/files/$name.txt"
  printf 'cut\n%s\n' "$(url "$work/files/$name.txt")" >"$work/cut-$name"
done
[ ${#run_as[@]} -eq 0 ] || chown -R "$user" "$work/files"
# The bus's time of the first message of this member after the given time, in microseconds.
after() {  # member microseconds
  grep "member=$1" "$monitor" | sed 's/.*time=\([0-9]*\)\.\([0-9]*\).*/\1\2/' | awk -v t="$2" '$1 > t { print; exit }'
}
: >"$work/figures"
for ((round = 0; round < rounds; round++)); do
  name=$([ $((round % 2)) -eq 0 ] && echo a || echo b)
  signals=$(count "$monitor" "member=cutChanged")
  now=$(date +%s%6N)
  as_user WAYLAND_DEBUG=client wl-copy --type x-special/gnome-copied-files <"$work/cut-$name" 2>"$work/wl.log"
  await "$monitor" "member=cutChanged" $((signals + 1))
  # The client's log stamps its requests in microseconds of the wall clock, cut to 32 bits.
  stamp=$(grep -a -m 1 -o "^\[ *[0-9]*\.[0-9]*\] .*set_selection(" "$work/wl.log" | sed 's/^\[ *\([0-9]*\)\.\([0-9]*\)\].*/\1\2/') || true
  [ -n "$stamp" ] || { echo "wl-copy meldete kein set_selection: $(head -c 300 "$work/wl.log")"; exit 1; }
  offered=$(((now & ~0xffffffff) + 10#$stamp))
  [ "$offered" -ge "$now" ] || offered=$((offered + 0x100000000))
  handed=$(after ClipboardChanged "$offered")
  signalled=$(after cutChanged "$handed")
  echo "$(((handed - offered))) $(((signalled - handed))) $(((signalled - offered)))" >>"$work/figures"
done

summary() {  # column title
  sort -n -k "$1" "$work/figures" | awk -v c="$1" -v title="$2" '{ v[NR] = $c } END {
    printf "%-44s median %6.1f ms   min %6.1f ms   max %6.1f ms\n", title, v[int((NR + 1) / 2)] / 1000, v[1] / 1000, v[NR] / 1000 }'
}
echo "GNOME Shell 43, $rounds Ausschnitte (wl-copy, x-special/gnome-copied-files, eine Datei):"
summary 1 "Auswahl gesetzt → Übergabe an Larkspire"
summary 2 "Übergabe → Signal cutChanged"
summary 3 "Auswahl gesetzt → Signal (Ziel < 30 ms)"
