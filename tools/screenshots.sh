#!/usr/bin/env bash
# Takes the README's screenshots of the real windows under Xvfb: the first-use guidance before,
# during and after its video, the console in the main window, a tip, an order pop-up and the
# hover list over the tray icon (trayer is the tray host). Writes docs/screenshots/*.png.
#   tools/screenshots.sh [BUILD_DIR]
set -euo pipefail
BUILD=${1:-build}
BIN=$(cd "$BUILD/bin" && pwd)
OUT=$(cd "$(dirname "$0")/.." && pwd)/docs/screenshots
mkdir -p "$OUT"
WORK=$(mktemp -d /tmp/shopdesk-shots.XXXXXX)
export HOME=$WORK/home XDG_RUNTIME_DIR=$WORK/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export DISPLAY=:87 QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1

pids=()
cleanup() { kill "${pids[@]}" 2>/dev/null || true; }
trap cleanup EXIT
Xvfb $DISPLAY -screen 0 1600x900x24 >/dev/null 2>&1 & pids+=($!)
sleep 1
trayer --edge bottom --align right --widthtype request --height 32 --transparent false --tint 0x203040 >/dev/null 2>&1 & pids+=($!)
"$BIN/shopdesk-demo-server" --port 0 --data "$WORK/data" >"$WORK/server.log" 2>&1 & pids+=($!)
sleep 0.5
URL=$(sed -n 's/.*listening on \(http:[^ ]*\).*/\1/p' "$WORK/server.log" | head -n 1)
export SHOPDESK_CONSOLE_HOST=$URL SHOPDESK_MERCHANT_HOST=$URL SHOPDESK_MOBILE_HOST=$URL
# The build's workbench handles tessaril links in this profile, so its start asks nothing.
mkdir -p "$HOME/.local/share/applications"
printf '[Desktop Entry]\nType=Application\nName=shopdesk\nExec=%s %%u\nIcon=shopdesk\nNoDisplay=true\nMimeType=x-scheme-handler/tessaril;\n' \
  "$BIN/shopdesk" >"$HOME/.local/share/applications/shopdesk-url-handler.desktop"
"$BIN/shopdesk" "tessaril://uid=demo-merchant/" >"$WORK/workbench.log" 2>&1 & pids+=($!)
sleep 6
shot() { import -window root "$OUT/$1.png"; echo "wrote $OUT/$1.png"; }

# First start: the guidance window (the fresh HOME has never viewed it). Xvfb runs no window
# manager to keep a topmost window above the main window, so it is raised by hand.
GUIDE=$(xdotool search --onlyvisible --name '^QDX_IM_MAIN$' | head -n 1)
xdotool windowraise "$GUIDE"; sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$GUIDE")"
guide_shot() { import -window root -crop "$((WIDTH + 40))x$((HEIGHT + 40))+$((X - 20))+$((Y - 20))" +repage "$OUT/$1.png"; echo "wrote $OUT/$1.png"; }
guide_shot guidance-start
xdotool mousemove $((X + 330)) $((Y + 480)) click 1   # 观看视频
sleep 5
guide_shot guidance-video
sleep 14
guide_shot guidance-end
xdotool mousemove $((X + 330)) $((Y + 480)) click 1   # 我知道了
sleep 0.5

# Sign in: the form is filled in; Return in the account field submits it.
WIN=$(xdotool search --name '^QDX_IM$' | head -n 1)
eval "$(xdotool getwindowgeometry --shell "$WIN")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2 - 20)) click 1
sleep 0.3
xdotool key Return
sleep 4
shot main-console
# Traffic from the console's own buttons (right-hand panel).
click_button() { xdotool mousemove "$1" "$2" click 1; sleep "${3:-1.5}"; }
PANEL_X=$((X + WIDTH - 230))
click_button $PANEL_X $((Y + 170)) 1   # customer unread
click_button $PANEL_X $((Y + 170)) 1.2
shot tip
click_button $PANEL_X $((Y + 287)) 1.2 # order paid
shot popup
# The hover list opens while the mouse rests on the tray icon (once the tips have gone).
sleep 5
ICON_X=$((1600 - 14)); ICON_Y=$((900 - 16))
xdotool mousemove $ICON_X $ICON_Y; sleep 0.4; xdotool mousemove $((ICON_X - 2)) $ICON_Y; sleep 1.5
shot hover
# The settings window from the gear button of the title bar, then the new-version offer from
# its check button once the server is told a newer version exists. Both windows are centred
# (no window manager moves them), so their rectangles follow from their skins' sizes.
crop() { import -window root -crop "$2" +repage "$OUT/$1.png"; echo "wrote $OUT/$1.png"; }
xdotool mousemove $((X + WIDTH - 158)) $((Y + 22)) click 1; sleep 1.2
SET_X=$(((1600 - 420) / 2)); SET_Y=$(((900 - 470) / 2))
crop settings 420x470+$SET_X+$SET_Y
curl -s "$URL/demo/version?has_new=1&version=2.2.0" >/dev/null
xdotool mousemove $((SET_X + 305)) $((SET_Y + 441)) click 1; sleep 2
crop newversion 420x470+$SET_X+$SET_Y

# The repair prompt: a second workbench in a profile of its own, where nothing handles
# tessaril links yet (it asks before its main window shows).
HOME=$WORK/fresh XDG_RUNTIME_DIR=$WORK/fresh-run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
"$BIN/shopdesk" "" >"$WORK/fresh.log" 2>&1 & FRESH=$!; pids+=($FRESH)
sleep 6
for w in $(xdotool search --onlyvisible --pid $FRESH); do
  [ "$(xdotool getwindowname "$w")" = QDX_IM ] || { import -window "$w" "$OUT/repair-prompt.png"; echo "wrote $OUT/repair-prompt.png"; }
done
