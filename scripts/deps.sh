#!/usr/bin/env bash
# Installs what building and testing Norva needs from Debian, skipping what is
# already there. Uses apt-get as root, through sudo otherwise.
set -euo pipefail

packages=(
  g++ clang cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libclang-rt-14-dev
  qt6-base-dev qt6-multimedia-dev libgl-dev fonts-dejavu-core
  libsystemd-dev dbus-daemon libglib2.0-bin gensio-bin
  dpkg-dev file scdoc desktop-file-utils appstream
  fbb
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  sudo_cmd=()
else
  sudo_cmd=(sudo)
fi
"${sudo_cmd[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q "${missing[@]}"
