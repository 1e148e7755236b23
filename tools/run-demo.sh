#!/usr/bin/env bash
# Starts the demo server on a free loopback port and the workbench pointed at it, signed in
# as the demo merchant's uid. Without a desktop (no DISPLAY), the workbench runs under Xvfb.
#   tools/run-demo.sh [BUILD_DIR] [extra workbench arguments]
set -euo pipefail
BUILD=${1:-build}
BIN=$(cd "$BUILD/bin" && pwd)
DATA=$(mktemp -d /tmp/shopdesk-demo.XXXXXX)
LOG="$DATA/server.log"
STREAM=${SHOPDESK_DEMO_STREAM:-8}

"$BIN/shopdesk-demo-server" --port 0 --data "$DATA" --stream "$STREAM" >"$LOG" 2>&1 &
SERVER=$!
trap 'kill $SERVER 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  URL=$(sed -n 's/.*listening on \(http:[^ ]*\).*/\1/p' "$LOG" | head -n 1)
  [ -n "$URL" ] && break
  sleep 0.1
done
[ -n "${URL:-}" ] || { echo "the demo server did not start:"; cat "$LOG"; exit 1; }
echo "demo server: $URL (console $URL/admin); simulated traffic every ${STREAM}s"

export SHOPDESK_CONSOLE_HOST=$URL SHOPDESK_MERCHANT_HOST=$URL SHOPDESK_MOBILE_HOST=$URL
# Chromium refuses to start its sandbox as root.
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
RUN=("$BIN/shopdesk" "tessaril://uid=demo-merchant/" "${@:2}")
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "no desktop found: running under Xvfb (screenshots: DISPLAY is printed by xvfb-run -a)"
  export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---disable-gpu}"
  xvfb-run -a -s '-screen 0 1600x900x24' "${RUN[@]}"
else
  "${RUN[@]}"
fi
