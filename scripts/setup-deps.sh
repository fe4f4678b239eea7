#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need.
# Usage: scripts/setup-deps.sh [--desktop] [--windows] [--fuzz] [--format] [--package] [--web]
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config libgtest-dev libstb-dev libfreetype-dev fonts-dejavu-core)
windows=0
for option in "$@"; do
  case "$option" in
    --desktop)
      # The desktop program, and its end-to-end test (python3 runs it, Pillow
      # reads the screen).
      packages+=(libsdl2-dev xvfb xdotool x11-utils imagemagick python3 python3-pil)
      ;;
    --windows)
      # kelvo-cube.exe cross-built with mingw-w64, and its tests under Wine (the
      # unit suites built with GoogleTest's sources).
      packages+=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 googletest wine wine64 xvfb xdotool
                 x11-utils python3 python3-pil)
      windows=1
      ;;
    --fuzz)
      # The libFuzzer targets: Debian's clang and its fuzzer and sanitizer runtime.
      packages+=(clang-14 libclang-rt-14-dev)
      ;;
    --format)
      # The format check of the sources.
      packages+=(clang-format)
      ;;
    --package)
      # The manual pages (help2man), the Debian package's dependencies
      # (dpkg-shlibdeps; file finds the programs) and its check (lintian).
      packages+=(help2man dpkg-dev file lintian)
      ;;
    --web)
      # The WebAssembly build with Debian's emscripten (which brings Node), its
      # tools' frames compared under Node, and the program in a headless
      # Chromium driven by Selenium.
      packages+=(emscripten nodejs python3 chromium chromium-driver python3-selenium python3-pil)
      ;;
    *)
      echo "usage: scripts/setup-deps.sh [--desktop] [--windows] [--fuzz] [--format]" \
        "[--package] [--web]" >&2
      exit 2
      ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
sudo_cmd=()
[[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  # Through sudo the variable must be passed on the command line.
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
fi

# The 32-bit Wine that runs the 32-bit exe comes from the i386 architecture.
if ((windows)) && ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null |
    grep -q "install ok installed"; then
  echo "Installing: wine32:i386"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
  fi
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq wine32:i386
fi
