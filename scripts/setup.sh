#!/usr/bin/env bash
# Installs every Debian package that the build, the tests and the demo need.
# Safe to run again: apt-get skips what is already installed.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config clang-format git
  clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-translations-l10n libgl-dev qt6-charts-dev libqt6opengl6-dev
  qt6-httpserver-dev qt6-websockets-dev prometheus
  libgtest-dev libgmock-dev
  python3 python3-pymodbus python3-serial python3-serial-asyncio
  xvfb xauth x11-apps imagemagick fonts-dejavu-core
  dpkg-dev fakeroot file librsvg2-bin lintian appstream desktop-file-utils man-db
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
