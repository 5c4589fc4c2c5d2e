#!/usr/bin/env bash
# Starts larkspire on a virtual X display, hands it requests from other processes, and quits it
# through its menu. Argument: the larkspire program.
set -euo pipefail
bin=$1

if [ "${2:-}" != "--inside" ]; then
  if ! command -v xvfb-run >/dev/null; then
    echo "xvfb-run fehlt: Smoke-Test übersprungen (Paket xvfb installieren)"
    exit 77
  fi
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  exec xvfb-run -a -s "-screen 0 1280x800x24" bash "$0" "$bin" --inside "$work"
fi

work=$3
export XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
# The sidebar has an entry to add after, so the favourite request below shows no alert.
mkdir -p "$XDG_CONFIG_HOME/gtk-3.0"
echo "file://$work Arbeit" >"$XDG_CONFIG_HOME/gtk-3.0/bookmarks"
unset QT_QPA_PLATFORM
# The logs exist before the programs write them, so waiting on one never races its creation.
touch "$work"/{first,a,b,crash,after}.log
fail() { echo "FEHLER: $*"; for f in "$work"/*.log; do echo "--- $f"; cat "$f"; done; exit 1; }

# Waits until the log holds the line, without polling on a timer.
await() {  # log pattern
  timeout 20 grep -m1 -q -- "$2" <(tail -n +1 -f "$1") || fail "keine Zeile „$2“ in $1"
}
quit() {  # pid
  "$bin" --choose-menu-item "Larkspire beenden" || fail "Beenden über das Menü nicht zugestellt"
  timeout 20 tail --pid="$1" -f /dev/null || fail "Larkspire hat sich nicht beendet"
  wait "$1" || fail "Larkspire endete mit Fehler"
}

echo "1. Start, URLs aus einem zweiten Prozess, erneutes Öffnen, Beenden über das Menü"
"$bin" 2>"$work/first.log" &
first=$!
await "$work/first.log" "Statussymbol gesetzt"
# Xvfb has no tray host: the program says so and shows its settings window instead.
await "$work/first.log" "Keine Statusleiste gefunden"
"$bin" "quirefold://create?path=%2Ftmp&name=Neu.txt" "quirefold://favorite?path=%2Fmnt" || fail "URLs nicht zugestellt"
await "$work/first.log" "URL: quirefold://favorite"
grep -q "path=" "$work/first.log" && fail "Pfade aus URLs im Protokoll"
grep -A1 "URL: quirefold://create" "$work/first.log" | grep -q "URL: quirefold://favorite" || fail "URLs nicht in Reihenfolge"
"$bin" || fail "zweiter Start nicht zugestellt"
await "$work/first.log" "Erneut geöffnet"
quit "$first"

echo "2. Zwei gleichzeitige Starts ergeben eine Instanz mit beiden Anfragen"
"$bin" quirefold://smoke-a?x 2>"$work/a.log" &
a=$!
"$bin" quirefold://smoke-b?x 2>"$work/b.log" &
b=$!
wait -n "$a" "$b" || fail "der weiterreichende Start endete mit Fehler"
if kill -0 "$a" 2>/dev/null; then primary=$a; log=$work/a.log; else primary=$b; log=$work/b.log; fi
await "$log" "URL: quirefold://smoke-a$"
await "$log" "URL: quirefold://smoke-b$"
[ "$(pgrep -c -f "^$bin( |$)" || true)" -eq 1 ] || fail "mehr als eine Instanz läuft"
quit "$primary"

echo "3. Ein Socket einer abgestürzten Instanz blockiert den nächsten Start nicht"
"$bin" 2>"$work/crash.log" &
crashed=$!
await "$work/crash.log" "Statussymbol gesetzt"
kill -9 "$crashed"
wait "$crashed" 2>/dev/null || true
[ -S "$XDG_RUNTIME_DIR/larkspire.socket" ] || fail "kein Socket zurückgeblieben"
"$bin" quirefold://smoke-nach?x 2>"$work/after.log" &
after=$!
await "$work/after.log" "URL: quirefold://smoke-nach$"
quit "$after"
echo "Smoke-Test bestanden"
