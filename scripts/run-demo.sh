#!/usr/bin/env bash
# Sets up a fresh Debian/Ubuntu machine, builds kelvo-cube and shows the cube.
# Until the desktop window lands this renders the spinning cube headlessly: a
# sequence of frames in each shading mode and a contact sheet of every mode at
# every depth, written as PNG pictures under build/default/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh
cmake --preset default
cmake --build --preset default -j "$(nproc)"

out=build/default/demo
mkdir -p "$out"
render=build/default/kelvo-render
"$render" --mode 640x480x8 --frame 40 --sheet "$out/contact-sheet.png" --no-text
for shading in 0 1 2 3 4 5; do
  "$render" --mode 640x480x16 --shading "$shading" --frame 0 --frames 60 \
            --out-dir "$out/shading-$shading"
done
echo "Frames written under $out/ (contact-sheet.png shows every shading mode at every depth)."
