# Sourced by the tools/screenshots*.sh scripts: a throw-away profile, a private Xvfb, the demo
# server as the console, merchant and mobile host, and helpers to start, sign in and shoot the
# real workbench. Set SHOTS_DISPLAY before sourcing; the build folder is the script's $1, and
# SHOTS_OUT=dir writes the pictures there instead of docs/screenshots.
# SHOTS_TRACE=1 traces the script, SHOTS_KEEP=1 keeps the workbench log in /tmp, SHOTS_WRAP runs
# the workbench under a wrapper (e.g. "valgrind").
set -euo pipefail
[ -n "${SHOTS_TRACE:-}" ] && set -x
BUILD=${1:-build}
BIN=$(cd "$BUILD/bin" && pwd)
OUT=${SHOTS_OUT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/docs/screenshots}
mkdir -p "$OUT"
WORK=$(mktemp -d /tmp/shopdesk-shots.XXXXXX)
export DISPLAY=${SHOTS_DISPLAY:?set SHOTS_DISPLAY before sourcing} QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1

pids=()
cleanup() {
  [ -n "${SHOTS_KEEP:-}" ] && cp "$WORK/workbench.log" /tmp/shots-workbench.log 2>/dev/null
  kill "${pids[@]}" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

# A profile of its own under the work folder: every workbench started afterwards lives in it.
use_profile() {
  export HOME=$WORK/$1 XDG_RUNTIME_DIR=$WORK/$1-run
  mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
}
# The build's workbench handles tessaril links in the current profile, so its start asks nothing.
register_handler() {
  mkdir -p "$HOME/.local/share/applications"
  printf '[Desktop Entry]\nType=Application\nName=shopdesk\nExec=%s %%u\nIcon=shopdesk\nNoDisplay=true\nMimeType=x-scheme-handler/tessaril;\n' \
    "$BIN/shopdesk" >"$HOME/.local/share/applications/shopdesk-url-handler.desktop"
}
use_profile home
register_handler

Xvfb "$DISPLAY" -screen 0 1600x900x24 >/dev/null 2>&1 & pids+=($!)
sleep 1
# The tray host, for the scripts that shoot what hangs off the tray icon.
start_tray() {
  trayer --edge bottom --align right --widthtype request --height 32 --transparent false --tint 0x203040 >/dev/null 2>&1 & pids+=($!)
}
"$BIN/shopdesk-demo-server" --port 0 --data "$WORK/data" >"$WORK/server.log" 2>&1 & pids+=($!)
sleep 0.5
URL=$(sed -n 's/.*listening on \(http:[^ ]*\).*/\1/p' "$WORK/server.log" | head -n 1)
export SHOPDESK_CONSOLE_HOST=$URL SHOPDESK_MERCHANT_HOST=$URL SHOPDESK_MOBILE_HOST=$URL

# Starts the workbench for the demo merchant and waits until its main window exists; WB is its
# process id.
start_workbench() {
  ${SHOTS_WRAP:-} "$BIN/shopdesk" "tessaril://uid=demo-merchant/" >"$WORK/workbench.log" 2>&1 & WB=$!; pids+=($WB)
  for _ in $(seq 60); do
    xdotool search --name '^QDX_IM$' >/dev/null 2>&1 && break
    sleep 0.5
  done
}
# The first-use guidance window of a fresh profile; its id. Xvfb runs no window manager to keep
# this topmost window above the main window, so it is raised by hand.
raise_guidance() {
  local guide
  guide=$(xdotool search --onlyvisible --name '^QDX_IM_MAIN$' | head -n 1)
  xdotool windowraise "$guide"; sleep 0.5
  echo "$guide"
}
# Closes it with its ✕ unviewed: the message guidance waits for that, and both guidance pop-ups
# stay due.
close_guidance() {
  eval "$(xdotool getwindowgeometry --shell "$(raise_guidance)")"
  click_at $((X + 641)) $((Y + 18)) 0.5
}
# Signs in with the filled-in form (Return in the account field submits it). Leaves the main
# window's rectangle in MX MY MW MH.
sign_in() {
  local main
  main=$(xdotool search --name '^QDX_IM$' | head -n 1)
  eval "$(xdotool getwindowgeometry --shell "$main")"
  MX=$X MY=$Y MW=$WIDTH MH=$HEIGHT
  xdotool mousemove $((MX + MW / 2)) $((MY + MH / 2 - 20)) click 1
  sleep 0.3
  xdotool key Return
  sleep "${1:-4}"
}

# A visible window of the workbench with the given client size (the small windows share a few
# titles, or have none); its id.
window_of_size() {
  for w in $(xdotool search --pid "$WB" 2>/dev/null); do
    xwininfo -id "$w" 2>/dev/null | grep -q 'Map State: IsViewable' || continue
    eval "$(xdotool getwindowgeometry --shell "$w")"
    [ -n "${SHOTS_TRACE:-}" ] && echo "candidate $w ${WIDTH}x${HEIGHT}" >&2
    # shellcheck disable=SC2053 # a size may be a pattern ("*")
    if [[ $WIDTH == $1 && $HEIGHT == $2 ]]; then echo "$w"; return; fi
  done
}
# The same, waiting up to 15 s for the window to show.
wait_window() {
  local w
  for _ in $(seq 30); do
    w=$(window_of_size "$@")
    [ -n "$w" ] && { echo "$w"; return; }
    sleep 0.5
  done
  echo "no visible ${1}x${2} window" >&2
  return 1
}
click_at() { xdotool mousemove "$1" "$2" click 1; sleep "${3:-1.2}"; }
# The whole screen, or a rectangle of it ("WxH+X+Y").
shot() { import -window root "$OUT/$1.png"; echo "wrote $OUT/$1.png"; }
crop() { import -window root -crop "$2" +repage "$OUT/$1.png"; echo "wrote $OUT/$1.png"; }
# A window raised above the others (no window manager keeps a dialog on top); leaves its
# rectangle in X Y WIDTH HEIGHT. A window that shows only briefly gets a shorter settling time.
crop_window() {
  xdotool windowraise "$2"; sleep "${3:-0.3}"
  eval "$(xdotool getwindowgeometry --shell "$2")"
  crop "$1" "${WIDTH}x${HEIGHT}+$X+$Y"
}
