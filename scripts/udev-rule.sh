#!/usr/bin/env bash
# After `make install`: smooth scrolling needs the udev rule installed under PREFIX, where udev does
# not read it, and only root can put it where udev does. Prints the one command that does so, or
# that the rule is in place already. Usage: udev-rule.sh PREFIX
set -euo pipefail
rule=$1/lib/udev/rules.d/70-larkspire.rules
[ -f "$rule" ] || { echo "udev-Regel fehlt: $rule" >&2; exit 1; }
for placed in /etc/udev/rules.d/70-larkspire.rules /usr/lib/udev/rules.d/70-larkspire.rules; do
  if cmp -s "$rule" "$placed"; then
    echo "udev-Regel für flüssiges Scrollen ist eingerichtet: $placed"
    exit 0
  fi
done

# In single quotes the shell takes everything as it stands; a quote itself is closed, escaped, reopened.
quoted() { local s=${1//\'/\'\\\'\'}; printf "'%s'" "$s"; }
source=$rule
[[ $source =~ ^[A-Za-z0-9/._+,:@-]+$ ]] || source=$(quoted "$source")
step="install -m 644 $source /etc/udev/rules.d/ && modprobe uinput && udevadm control --reload"
step+=" && udevadm trigger --subsystem-match=misc --subsystem-match=input"
echo "Flüssiges Scrollen braucht die Mäuse und /dev/uinput (die Tastaturen nicht). Einmal als root:"
echo "  sudo sh -c $(quoted "$step")"
echo "Danach ab- und wieder anmelden."
