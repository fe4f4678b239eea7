#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need.
# Usage: scripts/setup-deps.sh [--desktop]
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config libgtest-dev libpng-dev libfreetype-dev fonts-dejavu-core)
if [[ "${1:-}" == "--desktop" ]]; then
  # The desktop program, and its end-to-end test (python3 runs it).
  packages+=(libsdl2-dev xvfb xdotool x11-apps imagemagick python3)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  # Through sudo the variable must be passed on the command line.
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
fi
