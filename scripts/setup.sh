#!/usr/bin/env bash
# Installs what Wendrel needs to build, run and test on Debian 12, when it is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config libglib2.0-dev fonts-dejavu-core
  qt6-base-dev qt6-qpa-plugins libgl-dev libfontconfig-dev libasound2-dev libpulse-dev
  libintelrdfpmath-dev bc libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
  libx11-dev libxtst-dev libxi-dev openbox xterm gir1.2-gtk-3.0 onboard xvfb xauth xclip wl-clipboard xdg-utils x11-utils
  weston qt6-wayland xdotool libglib2.0-bin
  dbus at-spi2-core gir1.2-atspi-2.0 python3-gi
  debhelper dpkg-dev lintian appstream desktop-file-utils man-db ccache git
  qemu-system-x86 busybox-static kmod python3-evdev e2fsprogs dmsetup
  libwayland-dev libwayland-bin wayland-protocols sway foot grim gir1.2-gtk-3.0
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
