#!/usr/bin/env bash
# Checks that every C++ source is formatted as .clang-format says (clang-format
# 14, Debian 12's). With --fix, formats them in place instead.
# Usage: scripts/check-format.sh [--fix] [CLANG_FORMAT]
set -euo pipefail
cd "$(dirname "$0")/.."
mode=(--dry-run --Werror)
if [[ ${1:-} == --fix ]]; then
  mode=(-i)
  shift
fi
tool=${1:-clang-format}
find app platform programs raster res scene tools tests \( -name '*.cpp' -o -name '*.h' \) -print0 |
  sort -z | xargs -0 "$tool" "${mode[@]}"
