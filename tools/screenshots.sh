#!/usr/bin/env bash
# Takes the README's screenshots of the real windows under Xvfb: the first-use guidance before,
# during and after its video, the console in the main window, a tip, an order pop-up and the
# hover list over the tray icon (trayer is the tray host). Writes docs/screenshots/*.png.
#   tools/screenshots.sh [BUILD_DIR]
SHOTS_DISPLAY=:87
. "$(dirname "$0")/shots-common.sh"
start_tray
start_workbench
sleep 4

# First start: the guidance window (the fresh HOME has never viewed it).
eval "$(xdotool getwindowgeometry --shell "$(raise_guidance)")"
GUIDE_RECT=$((WIDTH + 40))x$((HEIGHT + 40))+$((X - 20))+$((Y - 20))
crop guidance-start $GUIDE_RECT
xdotool mousemove $((X + 330)) $((Y + 480)) click 1   # 观看视频
sleep 5
crop guidance-video $GUIDE_RECT
sleep 14
crop guidance-end $GUIDE_RECT
xdotool mousemove $((X + 330)) $((Y + 480)) click 1   # 我知道了
sleep 0.5

sign_in
shot main-console
# Traffic from the console's own buttons (right-hand panel).
PANEL_X=$((MX + MW - 230))
click_at $PANEL_X $((MY + 170)) 1   # customer unread
click_at $PANEL_X $((MY + 170))
shot tip
click_at $PANEL_X $((MY + 287))     # order paid
shot popup
# The hover list opens while the mouse rests on the tray icon (once the tips have gone).
sleep 5
ICON_X=$((1600 - 14)); ICON_Y=$((900 - 16))
xdotool mousemove $ICON_X $ICON_Y; sleep 0.4; xdotool mousemove $((ICON_X - 2)) $ICON_Y; sleep 1.5
shot hover
# The settings window from the gear button of the title bar, then the new-version offer from
# its check button once the server is told a newer version exists. Both windows are centred
# (no window manager moves them), so their rectangles follow from their skins' sizes.
click_at $((MX + MW - 158)) $((MY + 22))
SET_X=$(((1600 - 420) / 2)); SET_Y=$(((900 - 470) / 2))
crop settings 420x470+$SET_X+$SET_Y
curl -s "$URL/demo/version?has_new=1&version=2.2.0" >/dev/null
xdotool mousemove $((SET_X + 305)) $((SET_Y + 441)) click 1; sleep 2
crop newversion 420x470+$SET_X+$SET_Y

# The repair prompt: a second workbench in a profile of its own, where nothing handles
# tessaril links yet (it asks before its main window shows).
use_profile fresh
curl -s "$URL/demo/version?has_new=0" >/dev/null   # or its start offers the new version first
"$BIN/shopdesk" "" >"$WORK/fresh.log" 2>&1 & FRESH=$!; pids+=($FRESH)
# The first-use guidance shows beside it, so the prompt is picked by its size.
WB=$FRESH
crop_window repair-prompt "$(wait_window 380 200)" 1
