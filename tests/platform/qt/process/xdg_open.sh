#!/usr/bin/env bash
# Hands "quirefold" URLs to the installed desktop entry through xdg-open itself, in a private home
# and D-Bus session with no desktop detected, so xdg-open reads the entry's Exec line on its own.
# Program folders with and without characters that need quoting. Argument: the source tree.
set -euo pipefail
root=$1
command -v xdg-open >/dev/null && command -v dbus-run-session >/dev/null || {
  echo "xdg-open oder dbus-run-session fehlt: übersprungen (Pakete xdg-utils, dbus)"
  exit 77
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FEHLER: $*"; exit 1; }

for folder in "bin" "Mein Ordner/\$HOME & 100%"; do
  home=$work/home-${#folder}
  mkdir -p "$home/$folder"
  program=$home/$folder/larkspire
  printf '#!/bin/sh\nprintf "%%s\\n" "$@" >> "%s/requests"\n' "$home" >"$program"
  chmod +x "$program"
  env -i PATH="$PATH" HOME="$home" bash "$root/scripts/install-desktop-entry.sh" "$program" >/dev/null
  url='quirefold://create?dir=/tmp/a%20b&sel=/tmp/a%20b/c'
  # xdg-open looks for handlers only when a display is named; none is opened.
  env -i PATH="$PATH" HOME="$home" DISPLAY=:99 dbus-run-session -- xdg-open "$url" 2>/dev/null || fail "xdg-open scheiterte ($folder)"
  [ "$(cat "$home/requests")" = "$url" ] || fail "falscher Aufruf ($folder): $(cat "$home/requests")"
  echo "ok: $folder"
done
