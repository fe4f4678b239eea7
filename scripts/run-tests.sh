#!/usr/bin/env bash
# Sets up a fresh Debian/Ubuntu machine and runs the whole test suite: the
# optimised build with the desktop program and its end-to-end test (under an
# Xvfb display of its own; screenshots in build/default/e2e-screenshots),
# then the same suites under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh --desktop
jobs=$(nproc)

cmake --preset default
cmake --build --preset default -j "$jobs"
ctest --preset default -j "$jobs"

cmake --preset sanitize
cmake --build --preset sanitize -j "$jobs"
ctest --preset sanitize -j "$jobs"
