#!/usr/bin/env bash
# Installs the Debian packages Larkspire needs to build, run and test; only the missing ones.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  clang clang-format libclang-rt-14-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  nlohmann-json3-dev libsystemd-dev
  qt6-base-dev libgl-dev qt6-svg-dev qt6-qpa-plugins qt6-l10n-tools
  xvfb xauth dbus dbus-x11 fonts-dejavu-core
  jq thunar nautilus pcmanfm-qt openbox xdotool
  hyperfine python3
  libxcb1-dev libxcb-shape0-dev x11-utils
  xdg-utils desktop-file-utils lintian
  libglib2.0-dev gvfs gvfs-backends gvfs-fuse openssh-server
  libatspi2.0-dev at-spi2-core
  libwayland-dev libwayland-bin wayland-protocols sway waybar wl-clipboard grim qt6-wayland qtwayland5
  kwin-wayland python3-gi gir1.2-gtk-3.0
  gnome-shell gjs python3-dbusmock
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
as_root=()
[ "$(id -u)" -ne 0 ] && as_root=(sudo)
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
