#!/usr/bin/env bash
# Takes the README's screenshots of the workbench's small windows under Xvfb: the subscription
# guidance at the message center's first opening, the signed-in-elsewhere box, the tray icon's
# menu (trayer is the tray host), the quit dialog and the loading ring while the console takes
# the merchant offline, and the no-network window of a workbench whose console cannot be
# reached. Writes docs/screenshots/{subscribe-guidance,otherplace,traymenu,quit,waitring,nonetwork}.png.
#   tools/screenshots-dialogs.sh [BUILD_DIR]
SHOTS_DISPLAY=:89
. "$(dirname "$0")/shots-common.sh"
start_tray
start_workbench
sleep 4
sign_in 5

# The first opening of the message center points at its subscription button, as long as the
# first-use guidance (still open behind) has not been viewed.
click_at $((MX + MW - 254)) $((MY + 22)) 2
eval "$(xdotool getwindowgeometry --shell "$(wait_window 800 560)")"
CX=$X CY=$Y
xdotool windowraise "$(wait_window 280 128)"; sleep 0.3
crop subscribe-guidance 800x186+$CX+$CY
click_at $((CX + 776)) $((CY + 24)) 1                         # close the message center

# The console's "signed in elsewhere" button; "重新登录" brings the account back online.
click_at $((MX + MW - 230)) $((MY + 438)) 0.5
crop_window otherplace "$(wait_window 380 200)"
click_at $((X + 126)) $((Y + 170)) 3

# The tray icon's menu opens at the pointer, above the tray.
xdotool mousemove $((1600 - 14)) $((900 - 16)) click 3; sleep 1
MENU=$(wait_window 200 '*')
eval "$(xdotool getwindowgeometry --shell "$MENU")"
crop traymenu 360x$((HEIGHT + 60))+$((1600 - 360))+$((900 - HEIGHT - 60))
# "退出" asks the console for the merchant's state; while it is not "stop", the quit dialog asks.
click_at $((X + 100)) $((Y + HEIGHT - 20)) 0.5
crop_window quit "$(wait_window 400 230)"
# "离线并退出": the ring shows until the console confirms the state change, within a second.
xdotool mousemove $((X + 117)) $((Y + 200)) click 1
crop_window waitring "$(wait_window 220 140)" 0.1
for _ in $(seq 20); do kill -0 "$WB" 2>/dev/null || break; sleep 0.5; done

# A workbench in a profile of its own whose console host is a port nothing listens on.
use_profile nonet
register_handler
SHOPDESK_CONSOLE_HOST=http://127.0.0.1:$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
start_workbench
crop_window nonetwork "$(wait_window 360 190)"
click_at $((X + 244)) $((Y + 160)) 1                          # 退出
