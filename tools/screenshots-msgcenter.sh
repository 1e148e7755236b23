#!/usr/bin/env bash
# Takes the README's message-center screenshots of the real program under Xvfb: the message
# guidance under the main window's button, the message center on a page of the long category,
# its empty and failure panes, and the subscription settings of a merchant with two shops in
# normal and batch mode. Writes docs/screenshots/msgcenter-*.png and subscribe-*.png.
#   tools/screenshots-msgcenter.sh [BUILD_DIR]
SHOTS_DISPLAY=:88
. "$(dirname "$0")/shots-common.sh"
curl -s "$URL/demo/merchant?uid=demo-merchant&shops=2" >/dev/null
start_workbench
sleep 4
close_guidance

# Sign in; the console reports the account and the message guidance appears under the button.
sign_in 5
xdotool windowraise "$(wait_window 280 128)"; sleep 0.3
crop msgcenter-guidance 760x220+$((MX + MW - 760))+$MY

# The message center from the main window's button, then page 3 of the order category.
click_at $((MX + MW - 254)) $((MY + 22)) 2
[ -n "${SHOTS_TRACE:-}" ] && for w in $(xdotool search --name . 2>/dev/null); do echo "win $w $(xdotool getwindowname $w) $(xwininfo -id $w | grep -E "Map State|Width|Height" | tr -s " " | tr "\n" " ")" >&2; done
CENTER=$(window_of_size 800 560)
eval "$(xdotool getwindowgeometry --shell "$CENTER")"
CX=$X CY=$Y
click_at $((CX + 760)) $((CY + 538))
click_at $((CX + 760)) $((CY + 538))
crop msgcenter-page 800x560+$CX+$CY
click_at $((CX + 100)) $((CY + 112 + 78 * 2))                 # the empty product category
crop msgcenter-empty 800x560+$CX+$CY
curl -s "$URL/demo/fault?mode=500&path=/tessaril/api/message/get_list&count=1" >/dev/null
click_at $((CX + 100)) $((CY + 112 + 78 * 1))                 # a failed answer
crop msgcenter-failed 800x560+$CX+$CY

# The subscription settings from the message center's button: two shops, then batch mode.
click_at $((CX + 612)) $((CY + 24)) 2
SUB=$(window_of_size 760 540)
eval "$(xdotool getwindowgeometry --shell "$SUB")"
SX=$X SY=$Y
crop subscribe-normal 760x540+$SX+$SY
click_at $((SX + 696)) $((SY + 221))
click_at $((SX + 272)) $((SY + 204 + 40 + 6 + 22)) 0.5      # tick the first notice
crop subscribe-batch 760x540+$SX+$SY
