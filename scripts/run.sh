#!/usr/bin/env bash
# Runs Larkspire from a build folder. Installs its desktop entry for the user (so "quirefold" URLs
# reach it), then starts it with its log on the terminal. Without a display it draws every surface
# into PNG files instead and says where they are.
set -euo pipefail
build=${1:-build/default}
bin=$(realpath "$build/larkspire")
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/install-desktop-entry.sh" "$bin"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  pictures=$(realpath -m "$build/snapshots")
  # Only what this run drew: the folder may hold older pictures, from the tests for one.
  mapfile -t drawn < <("$bin" --snapshot "$pictures")
  echo "Kein Bildschirm gefunden. Larkspire hat seine Oberflächen als Bilder gezeichnet:"
  for picture in "${drawn[@]}"; do echo "  $picture"; done
  exit 0
fi

echo "Larkspire startet. Beenden über das Menü seines Statussymbols („Larkspire beenden“) oder mit Strg+Q in seinem Fenster."
if [ -S /run/systemd/journal/socket ] && command -v journalctl >/dev/null; then
  # The log goes to the journal; follow it here while the program runs.
  journalctl -f -n 0 -o short SYSLOG_IDENTIFIER=larkspire &
  follower=$!
  trap 'kill "$follower" 2>/dev/null || true' EXIT
  "$bin" "${@:2}"
else
  exec "$bin" "${@:2}"
fi
