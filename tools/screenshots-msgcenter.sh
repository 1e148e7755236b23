#!/usr/bin/env bash
# Takes the README's message-center screenshots of the real program under Xvfb: the message
# guidance under the main window's button, the message center on a page of the long category,
# its empty and failure panes, and the subscription settings of a merchant with two shops in
# normal and batch mode. Writes docs/screenshots/msgcenter-*.png and subscribe-*.png.
#   tools/screenshots-msgcenter.sh [BUILD_DIR]
set -euo pipefail
[ -n "${SHOTS_TRACE:-}" ] && set -x
BUILD=${1:-build}
BIN=$(cd "$BUILD/bin" && pwd)
OUT=$(cd "$(dirname "$0")/.." && pwd)/docs/screenshots
mkdir -p "$OUT"
WORK=$(mktemp -d /tmp/shopdesk-shots.XXXXXX)
export HOME=$WORK/home XDG_RUNTIME_DIR=$WORK/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export DISPLAY=:88 QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1

pids=()
cleanup() { kill "${pids[@]}" 2>/dev/null || true; }
trap cleanup EXIT
[ -n "${SHOTS_KEEP:-}" ] && trap "cp $WORK/workbench.log /tmp/shots-workbench.log; cleanup" EXIT
Xvfb $DISPLAY -screen 0 1600x900x24 >/dev/null 2>&1 & pids+=($!)
sleep 1
"$BIN/shopdesk-demo-server" --port 0 --data "$WORK/data" >"$WORK/server.log" 2>&1 & pids+=($!)
sleep 0.5
URL=$(sed -n 's/.*listening on \(http:[^ ]*\).*/\1/p' "$WORK/server.log" | head -n 1)
curl -s "$URL/demo/merchant?uid=demo-merchant&shops=2" >/dev/null
export SHOPDESK_CONSOLE_HOST=$URL SHOPDESK_MERCHANT_HOST=$URL SHOPDESK_MOBILE_HOST=$URL
${SHOTS_WRAP:-} "$BIN/shopdesk" "tessaril://uid=demo-merchant/" >"$WORK/workbench.log" 2>&1 & pids+=($!)
for _ in $(seq 60); do
  xdotool search --name '^QDX_IM$' >/dev/null 2>&1 && break
  sleep 0.5
done
sleep 4

# A window of the given client size among the visible ones (the pop-ups share one title).
window_of_size() {
  for w in $(xdotool search --name "$1" 2>/dev/null); do
    xwininfo -id "$w" 2>/dev/null | grep -q 'Map State: IsViewable' || continue
    eval "$(xdotool getwindowgeometry --shell "$w")"
    [ -n "${SHOTS_TRACE:-}" ] && echo "candidate $w ${WIDTH}x${HEIGHT}" >&2
    if [ "$WIDTH" = "$2" ] && [ "$HEIGHT" = "$3" ]; then echo "$w"; return; fi
  done
}
# Screenshot of a screen rectangle.
shot() { import -window root -crop "$2x$3+$4+$5" +repage "$OUT/$1.png"; echo "wrote $OUT/$1.png"; }
click_at() { xdotool mousemove "$1" "$2" click 1; sleep "${3:-1.2}"; }

# Sign in; the console reports the account and the message guidance appears under the button.
MAIN=$(xdotool search --name '^QDX_IM$' | head -n 1)
eval "$(xdotool getwindowgeometry --shell "$MAIN")"
MX=$X MY=$Y MW=$WIDTH
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2 - 20)) click 1
sleep 0.3
xdotool key Return
sleep 5
shot msgcenter-guidance 760 220 $((MX + MW - 760)) "$MY"

# The message center from the main window's button, then page 3 of the order category.
click_at $((MX + MW - 254)) $((MY + 22)) 2
[ -n "${SHOTS_TRACE:-}" ] && for w in $(xdotool search --name . 2>/dev/null); do echo "win $w $(xdotool getwindowname $w) $(xwininfo -id $w | grep -E "Map State|Width|Height" | tr -s " " | tr "\n" " ")" >&2; done
CENTER=$(window_of_size QDX_IM_MAIN 800 560)
eval "$(xdotool getwindowgeometry --shell "$CENTER")"
CX=$X CY=$Y
click_at $((CX + 760)) $((CY + 538))
click_at $((CX + 760)) $((CY + 538))
shot msgcenter-page 800 560 "$CX" "$CY"
click_at $((CX + 100)) $((CY + 112 + 78 * 2))                 # the empty product category
shot msgcenter-empty 800 560 "$CX" "$CY"
curl -s "$URL/demo/fault?mode=500&path=/tessaril/api/message/get_list&count=1" >/dev/null
click_at $((CX + 100)) $((CY + 112 + 78 * 1))                 # a failed answer
shot msgcenter-failed 800 560 "$CX" "$CY"

# The subscription settings from the message center's button: two shops, then batch mode.
click_at $((CX + 612)) $((CY + 24)) 2
SUB=$(window_of_size QDX_IM_MAIN 760 540)
eval "$(xdotool getwindowgeometry --shell "$SUB")"
SX=$X SY=$Y
shot subscribe-normal 760 540 "$SX" "$SY"
click_at $((SX + 696)) $((SY + 221))
click_at $((SX + 272)) $((SY + 204 + 40 + 6 + 22)) 0.5      # tick the first notice
shot subscribe-batch 760 540 "$SX" "$SY"
