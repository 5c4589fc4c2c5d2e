#!/usr/bin/env bash
# Installs Larkspire's GNOME Shell extension for the user from a build folder, in the form the
# installed GNOME Shell loads (legacy imports before 45, ES modules from 45), and switches it on
# where the Shell runs. Without GNOME Shell it does nothing. Usage: install-gnome-extension.sh BUILD
set -euo pipefail
build=$1
uuid=larkspire@halvik.de
command -v gnome-shell >/dev/null || exit 0
major=$(gnome-shell --version 2>/dev/null | sed -n 's/^GNOME Shell \([0-9]*\).*/\1/p')
form=legacy
[ -n "$major" ] && [ "$major" -ge 45 ] && form=modules
source=$build/gnome-shell/$form/$uuid
[ -f "$source/metadata.json" ] || { echo "GNOME-Erweiterung nicht gebaut: $source fehlt" >&2; exit 1; }
target=${XDG_DATA_HOME:-$HOME/.local/share}/gnome-shell/extensions/$uuid
rm -rf "$target"
mkdir -p "$target"
cp "$source"/* "$target/"
# A running Shell knows only the extensions it found at login; the next login finds this one.
if command -v gnome-extensions >/dev/null && gnome-extensions enable "$uuid" 2>/dev/null; then
  echo "GNOME-Erweiterung $uuid installiert und eingeschaltet"
else
  echo "GNOME-Erweiterung $uuid installiert; nach der nächsten Anmeldung einschalten: gnome-extensions enable $uuid"
fi
