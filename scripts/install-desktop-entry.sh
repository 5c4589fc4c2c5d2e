#!/usr/bin/env bash
# Makes the larkspire program the user's handler of "quirefold" URLs: writes its desktop entry and
# icon under $XDG_DATA_HOME and registers the entry. Usage: install-desktop-entry.sh PROGRAM
set -euo pipefail
bin=$1
root=$(cd "$(dirname "$0")/.." && pwd)
data=${XDG_DATA_HOME:-$HOME/.local/share}
mkdir -p "$data/applications" "$data/icons/hicolor/scalable/apps"

# The program path as one Exec argument. A plain path stands bare, as xdg-open's fallback needs
# (it splits Exec at spaces and takes quotes literally); anything else is first linked to a plain
# path if there is one, else quoted by the desktop-entry rules.
plain() { [[ $1 =~ ^[A-Za-z0-9/._+,:@-]+$ ]]; }
exec_argument() {
  local s=$1
  if plain "$s"; then printf '%s' "$s"; return; fi
  s=${s//\\/\\\\} s=${s//\"/\\\"} s=${s//\`/\\\`} s=${s//\$/\\\$} s=${s//%/%%}
  s="\"$s\""
  printf '%s' "${s//\\/\\\\}"
}
if ! plain "$bin" && plain "$data"; then
  mkdir -p "$data/larkspire"
  ln -sfn "$bin" "$data/larkspire/larkspire"
  bin=$data/larkspire/larkspire
fi
entry=$(<"$root/data/larkspire.desktop")
printf '%s\n' "${entry//@LARKSPIRE@/"$(exec_argument "$bin")"}" >"$data/applications/larkspire.desktop"
cp "$root/src/platform/qt/drawing/icons/larkspire.svg" "$data/icons/hicolor/scalable/apps/larkspire.svg"
if command -v update-desktop-database >/dev/null; then update-desktop-database -q "$data/applications" || true; fi
if command -v xdg-mime >/dev/null; then xdg-mime default larkspire.desktop x-scheme-handler/quirefold || true; fi
echo "Desktop-Eintrag installiert: $data/applications/larkspire.desktop (x-scheme-handler/quirefold)"
