#!/usr/bin/env bash
# Sets up a fresh Debian/Ubuntu machine and runs the whole test suite: the
# Release build with warnings as errors, the desktop program and its
# end-to-end test (under an Xvfb display of its own; screenshots in
# build/ci/e2e-screenshots), then the same suites under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh --desktop
jobs=$(nproc)

cmake --preset ci
cmake --build --preset ci -j "$jobs"
ctest --preset ci -j "$jobs"

cmake --preset sanitize
cmake --build --preset sanitize -j "$jobs"
ctest --preset sanitize -j "$jobs"
