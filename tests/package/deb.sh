#!/usr/bin/env bash
# Checks the Debian package of `make deb`: its files land in the standard places, lintian finds no
# error, and when run as root it installs, starts from its desktop entry's path and removes cleanly.
# Argument: the source tree. Skipped when no package was built.
set -euo pipefail
root=$1
deb=$(ls -t "$root"/build/package/larkspire_*.deb 2>/dev/null | head -1 || true)
[ -n "$deb" ] || { echo "Kein Paket gebaut (make deb): übersprungen"; exit 77; }
fail() { echo "FEHLER: $*"; exit 1; }

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for path in ./usr/bin/larkspire ./usr/share/applications/larkspire.desktop \
  ./usr/share/icons/hicolor/scalable/apps/larkspire.svg \
  ./usr/share/icons/hicolor/symbolic/apps/larkspire-symbolic.svg \
  ./usr/share/icons/hicolor/symbolic/apps/larkspire-cut-symbolic.svg \
  ./usr/lib/udev/rules.d/70-larkspire.rules ./usr/lib/modules-load.d/larkspire.conf; do
  grep -qx -- "$path" <<<"$contents" || fail "$path fehlt im Paket"
done
grep -v -e '^\./usr/' -e '^\./$' <<<"$contents" && fail "Dateien außerhalb von /usr"
# Smooth scrolling: the rule as in the source, uinput loaded at every start, and the rule applied
# to the devices already there when the package is installed.
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/lib/udev/rules.d/70-larkspire.rules |
  cmp -s - "$root/data/70-larkspire.rules" || fail "die udev-Regel im Paket ist nicht die aus data/"
[ "$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/lib/modules-load.d/larkspire.conf)" = uinput ] ||
  fail "modules-load.d lädt uinput nicht"
postinst=$(dpkg-deb -I "$deb" postinst) || fail "kein postinst im Paket"
grep -q 'udevadm trigger' <<<"$postinst" || fail "postinst wendet die Regel nicht an"

if command -v lintian >/dev/null; then
  # Errors only: a package built without Debian's tooling has warnings about its own metadata. The
  # maintainer address is a placeholder until LARKSPIRE_PACKAGE_CONTACT names a real one.
  errors=$(lintian --no-tag-display-limit "$deb" 2>&1 | grep '^E:' | grep -v 'bogus-mail-host' || true)
  [ -z "$errors" ] || fail "lintian: $errors"
fi

[ "$(id -u)" -eq 0 ] || { echo "Paket geprüft; Installation nur als root"; exit 0; }
if dpkg-query -W larkspire >/dev/null 2>&1; then echo "larkspire ist schon installiert: Installation übersprungen"; exit 0; fi
trap 'dpkg -r larkspire >/dev/null 2>&1 || true' EXIT
dpkg -i "$deb" >/dev/null || fail "dpkg -i scheiterte"
grep -qx 'Exec=/usr/bin/larkspire %U' /usr/share/applications/larkspire.desktop || fail "Exec zeigt nicht auf /usr/bin/larkspire"
/usr/bin/larkspire --version | grep -q '^larkspire ' || fail "das installierte Programm startet nicht"
cmp -s /usr/lib/udev/rules.d/70-larkspire.rules "$root/data/70-larkspire.rules" || fail "udev-Regel nicht installiert"
dpkg -r larkspire >/dev/null || fail "dpkg -r scheiterte"
[ ! -e /usr/bin/larkspire ] || fail "/usr/bin/larkspire blieb nach dem Entfernen"
[ ! -e /usr/lib/udev/rules.d/70-larkspire.rules ] || fail "die udev-Regel blieb nach dem Entfernen"
echo "Paket in Ordnung: $deb"
