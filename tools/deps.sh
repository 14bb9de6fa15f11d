#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages the build, the tests and the program need.
# Only missing packages are installed; through sudo when not root.
# Usage: tools/deps.sh [--always]   (--always: apt-get update and install even if nothing is missing)
set -euo pipefail

PACKAGES=(
  g++ cmake make pkg-config
  libfltk1.3-dev libjpeg-dev libfontconfig-dev fonts-ipafont-gothic
  libgtest-dev libbenchmark-dev libcairo2-dev
  xvfb xdotool x11-utils imagemagick
  clang-14 libclang-rt-14-dev
  desktop-file-utils dpkg-dev gnuplot-nox
)

missing=()
for package in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [[ ${#missing[@]} -eq 0 && "${1:-}" != "--always" ]]; then
  exit 0
fi

SUDO=()
if [[ $(id -u) -ne 0 ]]; then
  SUDO=(sudo)
fi
echo "Installing: ${missing[*]:-${PACKAGES[*]}}"
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${PACKAGES[@]}"
