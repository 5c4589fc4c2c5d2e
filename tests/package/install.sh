#!/usr/bin/env bash
# `make install` without root: the udev rule and the uinput entry land under the prefix, and the one
# root command printed for the rule works. The command runs here as pasted, with sudo, modprobe and
# udevadm standing in and /etc/udev/rules.d in a temporary folder.
# Arguments: the source tree and a build folder in which larkspire is built.
set -euo pipefail
root=$1 build=$2
fail() { echo "FEHLER: $*"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/Mein Ordner's/.local"  # spaces and a quote, as a home folder may have them

cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install scheiterte"
cmp -s "$root/data/70-larkspire.rules" "$prefix/lib/udev/rules.d/70-larkspire.rules" ||
  fail "die udev-Regel ist nicht installiert"
grep -qx uinput "$prefix/lib/modules-load.d/larkspire.conf" || fail "der uinput-Eintrag fehlt"

output=$("$root/scripts/udev-rule.sh" "$prefix")
if grep -q eingerichtet <<<"$output"; then echo "Regel schon im System: $output"; exit 77; fi
step=$(grep '^  sudo ' <<<"$output") || fail "kein sudo-Befehl: $output"
[ "$(grep -o 'sudo ' <<<"$step" | wc -l)" -eq 1 ] || fail "mehr als ein sudo: $step"

mkdir -p "$work/bin" "$work/rules.d"
for tool in modprobe udevadm; do
  printf '#!/bin/sh\necho "%s $*" >>"%s"\n' "$tool" "$work/log" >"$work/bin/$tool"
  chmod +x "$work/bin/$tool"
done
sudo() {
  [ "$1 $2" = "sh -c" ] || fail "nicht „sudo sh -c“: $*"
  PATH="$work/bin:$PATH" sh -c "${3//\/etc\/udev\/rules.d/$work/rules.d}"
}
eval "$step"
cmp -s "$root/data/70-larkspire.rules" "$work/rules.d/70-larkspire.rules" || fail "der Befehl kopiert die Regel nicht"
expected=$'modprobe uinput\nudevadm control --reload\nudevadm trigger --subsystem-match=misc --subsystem-match=input'
[ "$(cat "$work/log")" = "$expected" ] || fail "uinput und udev nicht neu geladen: $(cat "$work/log")"
echo "make install: udev-Regel installiert, der eine root-Befehl richtet sie ein"
