#!/usr/bin/env bash
# Installs what building, running and testing Coverlume needs on Debian 12.
# Packages already present are left alone. As root it installs what is
# missing; as any other user it names the missing packages and installs them
# through sudo, or, without sudo, prints the command to run and exits 1.
set -euo pipefail
packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-image-formats-plugins libqt6dbus6 libqt6network6
  libgl-dev libxkbcommon-dev
  dbus dbus-x11 xvfb xauth
  mpv mpv-mpris playerctl sox libsox-fmt-all
  mpd mpc mpdris2 python3-mutagen
  fonts-liberation fonts-dejavu-core fonts-noto-color-emoji fonts-droid-fallback
  libxcb-screensaver0-dev
  clang-14
  help2man lintian desktop-file-utils appstream dpkg-dev man-db
  libclang-rt-14-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ "${#missing[@]}" -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "Coverlume needs these packages: ${missing[*]}" >&2
  command=(apt-get install -y --no-install-recommends "${missing[@]}")
  if command -v sudo >/dev/null 2>&1; then
    echo "installing them with: sudo ${command[*]}" >&2
    sudo apt-get update -qq
    exec sudo env DEBIAN_FRONTEND=noninteractive "${command[@]}"
  fi
  echo "Install them as root, then run this again:" >&2
  echo "  ${command[*]}" >&2
  exit 1
fi
if [ "${#missing[@]}" -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # MPD's package would start a system-wide MPD; the tests run their own.
  if [ ! -e /usr/sbin/policy-rc.d ]; then
    printf '#!/bin/sh\nexit 101\n' > /usr/sbin/policy-rc.d
    chmod 755 /usr/sbin/policy-rc.d
    trap 'rm -f /usr/sbin/policy-rc.d' EXIT
  fi
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
