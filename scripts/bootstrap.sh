#!/usr/bin/env bash
# Installs the Debian packages the project builds and tests with. Safe to run
# again: it only installs what is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  clang-14 libclang-rt-14-dev clang-format-14
  libgtest-dev libgmock-dev libbenchmark-dev
  libyuv-dev  # only the colour conversion benchmark measures against it
  libcli11-dev
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev
  ffmpeg
  libsdl2-dev
  libfreetype-dev fonts-dejavu-core
  qt6-base-dev qt6-svg-dev qt6-qpa-plugins libgl-dev
  xvfb xauth
  dpkg-dev appstream bash-completion groff-base  # the Debian package, its metadata, completion and manual pages
  g++-aarch64-linux-gnu qemu-user-static
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
