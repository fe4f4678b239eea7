#!/usr/bin/env bash
# Sets up a fresh Debian/Ubuntu machine and runs the whole test suite: the
# Release build with warnings as errors, the desktop program and its
# end-to-end test (under an Xvfb display of its own; screenshots in
# build/ci/e2e-screenshots), its .deb and .tar.gz made, checked by lintian
# and run unpacked (build/ci/package-check), then the same suites under
# AddressSanitizer and UndefinedBehaviorSanitizer; the suites that draw with
# several threads under ThreadSanitizer; the fuzz targets for a minute each;
# the WebAssembly build under Node and its page in headless Chromium; and the
# Windows program, cross-built and run under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh --desktop --format --package
jobs=$(nproc)

cmake --preset ci
cmake --build --preset ci -j "$jobs"
ctest --preset ci -j "$jobs"

cmake --preset sanitize
cmake --build --preset sanitize -j "$jobs"
ctest --preset sanitize -j "$jobs"

# The drawing threads: the frame, the scene and the platform suites (the team,
# the shared clear, the monitor's conversion, frames drawn by 1 to 4 threads).
cmake --preset tsan
cmake --build --preset tsan -j "$jobs" --target kelvo_scene_tests kelvo_platform_tests \
  kelvo_frame_tests
ctest --preset tsan -j "$jobs" -L "scene|platform|frame"

# Fuzzing: every reader of outside data, and a user of the whole program,
# under libFuzzer for a minute each, as many at once as cores.
scripts/setup-deps.sh --fuzz
cmake --preset fuzz
cmake --build --preset fuzz -j "$jobs"
scripts/run-fuzz.sh 60

# WebAssembly: the web build with Debian's emscripten (its native host tools
# built inside it), its kelvo-render.js run under Node against the native
# renderer frame by frame, the raster and scene suites under Node, and the
# page driven in headless Chromium (screenshots in build/web/web-screenshots).
scripts/setup-deps.sh --web
cmake --preset web
cmake --build --preset web -j "$jobs"
ctest --preset web -j "$jobs"

# Windows: kelvo-cube.exe cross-built with mingw-w64 for 32 and 64 bits and
# packed as a zip by CPack (the package target), its imports checked, the unit
# suites built with it run under Wine, and the program driven under Wine
# (screenshots in build/win32/wine-screenshots and build/win64/...). Where this
# machine cannot run 32-bit Linux programs, and so no 32-bit Wine, the 32-bit
# exe's Wine tests say so and are skipped; the 64-bit exe's still run.
scripts/setup-deps.sh --windows
for preset in win32 win64; do
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j "$jobs" --target package
  ctest --preset "$preset" -j "$jobs"
done
