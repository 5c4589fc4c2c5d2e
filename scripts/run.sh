#!/usr/bin/env bash
# Runs Larkspire from a build folder. Installs its desktop entry for the user (so "quirefold" URLs
# reach it), then starts it with its log on the terminal. Without a display it draws every surface
# into PNG files instead and says where they are.
set -euo pipefail
build=${1:-build/default}
bin=$(realpath "$build/larkspire")
root=$(cd "$(dirname "$0")/.." && pwd)

data=${XDG_DATA_HOME:-$HOME/.local/share}
mkdir -p "$data/applications" "$data/icons/hicolor/scalable/apps"
# The program path as one quoted Exec argument (desktop-entry rules), so spaces or quotes in it work.
exec_argument() {
  local s=$1
  s=${s//\\/\\\\} s=${s//\"/\\\"} s=${s//\`/\\\`} s=${s//\$/\\\$} s=${s//%/%%}
  s="\"$s\""
  printf '%s' "${s//\\/\\\\}"
}
entry=$(<"$root/data/larkspire.desktop")
printf '%s\n' "${entry//@LARKSPIRE@/"$(exec_argument "$bin")"}" >"$data/applications/larkspire.desktop"
cp "$root/src/platform/qt/icons/larkspire.svg" "$data/icons/hicolor/scalable/apps/larkspire.svg"
if command -v update-desktop-database >/dev/null; then update-desktop-database -q "$data/applications" || true; fi
if command -v xdg-mime >/dev/null; then xdg-mime default larkspire.desktop x-scheme-handler/quirefold || true; fi
echo "Desktop-Eintrag installiert: $data/applications/larkspire.desktop (x-scheme-handler/quirefold)"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  pictures=$(realpath -m "$build/snapshots")
  "$bin" --snapshot "$pictures" >/dev/null
  echo "Kein Bildschirm gefunden. Larkspire hat seine Oberflächen als Bilder gezeichnet:"
  for picture in "$pictures"/*.png; do echo "  $picture"; done
  exit 0
fi

echo "Larkspire läuft mit seinem Symbol in der Statusleiste; beenden über dessen Menü („Larkspire beenden“)."
if [ -S /run/systemd/journal/socket ] && command -v journalctl >/dev/null; then
  # The log goes to the journal; follow it here while the program runs.
  journalctl -f -n 0 -o short SYSLOG_IDENTIFIER=larkspire &
  follower=$!
  trap 'kill "$follower" 2>/dev/null || true' EXIT
  "$bin" "${@:2}"
else
  exec "$bin" "${@:2}"
fi
