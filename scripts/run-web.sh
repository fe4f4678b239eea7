#!/usr/bin/env bash
# Sets up a fresh Debian/Ubuntu machine, builds kelvo-cube for the browser
# (WebAssembly, Debian's emscripten) and serves the page on this machine:
# open the address it prints. Ctrl+C stops the server.
# Usage: scripts/run-web.sh [--port N]   (or KELVO_WEB_PORT=N; 8080 by default)
set -euo pipefail
cd "$(dirname "$0")/.."

port=${KELVO_WEB_PORT:-8080}
if [[ ${1:-} == --port && -n ${2:-} ]]; then
  port=$2
elif (($#)); then
  echo "usage: scripts/run-web.sh [--port N]" >&2
  exit 2
fi
# Asked before the build, so a taken port is known at once.
if ! python3 -c 'import socket, sys
s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", int(sys.argv[1])))' "$port" 2>/dev/null; then
  echo "run-web.sh: port $port on 127.0.0.1 is taken or not a port;" \
    "choose another: scripts/run-web.sh --port 8081 (or KELVO_WEB_PORT=8081)" >&2
  exit 1
fi

scripts/setup-deps.sh --web
cmake --preset web
# Only the page's program, not the test suites.
cmake --build --preset web -j "$(nproc)" --target kelvo-cube

site=build/web/site
echo "kelvo-cube: http://127.0.0.1:$port/ (serving $site; Ctrl+C stops)"
exec python3 -m http.server --bind 127.0.0.1 --directory "$site" "$port"
