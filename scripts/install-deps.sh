#!/usr/bin/env bash
# Installs every Debian package Zelvo needs to build, run and test. Idempotent: on a machine
# that has them all it does nothing and prints nothing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev
  libsqlite3-dev
  ffmpeg yt-dlp curl python3
  fonts-noto-cjk
  xdg-utils desktop-file-utils appstream dbus-daemon
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ $status == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
