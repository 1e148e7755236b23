#!/usr/bin/env bash
# Builds the Debian package from the build tree, checks it the way the archive tools do and
# runs the workbench unpacked from it against the demo server under Xvfb, without installing
# anything on this machine.
#   test_package.sh BUILD_DIR
set -euo pipefail
BUILD=$(cd "$1" && pwd)
WORK=$(mktemp -d /tmp/shopdesk-package.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

echo "== package"
(cd "$WORK" && cpack -G DEB --config "$BUILD/CPackConfig.cmake" -B "$WORK/out" >"$WORK/cpack.log" 2>&1) ||
  { cat "$WORK/cpack.log"; fail "cpack"; }
DEB=$(ls "$WORK"/out/shopdesk_*.deb)
dpkg-deb -f "$DEB" Package Version Architecture Depends Recommends
depends=$(dpkg-deb -f "$DEB" Depends)
# dpkg-shlibdeps names the libraries the binaries link, with versions.
case "$depends" in *libqt6webenginecore6*'('*libc6*|*libc6*libqt6webenginecore6*) ;; *) fail "Depends: $depends" ;; esac
# libcurl is loaded at the first request, so only the package's own list names it.
case "$depends" in *'libcurl4 (>= 7.66.0)'*) ;; *) fail "Depends without libcurl4: $depends" ;; esac
case "$depends" in *libssl3*) ;; *) fail "Depends without libssl3, which the program loads: $depends" ;; esac

echo "== installed files"
dpkg-deb -c "$DEB" | awk '{ print $6, $7, $8 }' | tee "$WORK/files.txt"
for f in ./usr/bin/shopdesk ./usr/lib/shopdesk/shopdesk ./usr/lib/shopdesk/Vudeda ./usr/lib/shopdesk/libshopdesk_video.so \
         ./usr/lib/shopdesk/DbgLog.cfg \
         ./usr/lib/shopdesk/Deploy.cfg ./usr/lib/shopdesk/Skin/WkeBrowser/res.xml ./usr/lib/shopdesk/audio/order.wav \
         ./usr/share/applications/shopdesk.desktop ./usr/share/applications/shopdesk-url-handler.desktop \
         ./usr/share/metainfo/org.shopdesk.workbench.metainfo.xml ./usr/share/icons/hicolor/48x48/apps/shopdesk.png \
         ./usr/share/doc/shopdesk/copyright; do
  grep -q "^$f\( \|$\)" "$WORK/files.txt" || fail "missing $f"
done
grep -q "^./usr/bin/shopdesk -> ../lib/shopdesk/shopdesk$" "$WORK/files.txt" || fail "the command is not a link to the program"
! grep -q gallery "$WORK/files.txt" || fail "the toolkit gallery is not part of the program"

ROOT=$WORK/root
dpkg-deb -x "$DEB" "$ROOT"
diff <(printf '[DbgLogCfg]\ng_bSaveLogFile=0\ng_iDebugLevel=2147483647\ng_iMaxFileNum=50\nMAX_LOG_FILE_SIZE=5242880\nMAX_LOG_FILE_HOUR=72\n') \
  "$ROOT/usr/lib/shopdesk/DbgLog.cfg" || fail "DbgLog.cfg does not carry the defaults"

echo "== validation"
desktop-file-validate "$ROOT"/usr/share/applications/*.desktop || fail "desktop-file-validate"
appstreamcli validate --no-net "$ROOT"/usr/share/metainfo/*.xml || fail "appstreamcli validate"
lintian --tag-display-limit 0 "$DEB" 2>&1 | tee "$WORK/lintian.txt" || true
! grep -q '^E:' "$WORK/lintian.txt" || fail "lintian reports errors"

echo "== unpacked workbench"
export HOME=$WORK/home XDG_RUNTIME_DIR=$WORK/run
export XDG_DATA_HOME=$HOME/.local/share XDG_CONFIG_HOME=$HOME/.config XDG_CACHE_HOME=$HOME/.cache
# The first-use guidance was seen, so only the main window is expected on the screen.
mkdir -p "$XDG_DATA_HOME/QDX/Cache" && printf '[Guidance]\nIsGuidance=1\n' >"$XDG_DATA_HOME/QDX/Cache/Config.ini"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
# As if installed: the package's command on PATH and its desktop files among the system's.
export PATH=$ROOT/usr/bin:$PATH XDG_DATA_DIRS=$ROOT/usr/share
export QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu QTWEBENGINE_DISABLE_SANDBOX=1 SDL_AUDIODRIVER=dummy
unset QT_QPA_PLATFORM
Xvfb -displayfd 3 -screen 0 1280x800x24 3>"$WORK/display" >/dev/null 2>&1 & pids+=($!)
for _ in $(seq 50); do [ -s "$WORK/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$WORK/display")
"$BUILD/bin/shopdesk-demo-server" --port 0 --data "$WORK/data" >"$WORK/server.log" 2>&1 & pids+=($!)
for _ in $(seq 50); do
  URL=$(sed -n 's/.*listening on \(http:[^ ]*\).*/\1/p' "$WORK/server.log" | head -n 1)
  [ -n "$URL" ] && break
  sleep 0.1
done
[ -n "${URL:-}" ] || fail "the demo server did not start"
export SHOPDESK_CONSOLE_HOST=$URL SHOPDESK_MERCHANT_HOST=$URL SHOPDESK_MOBILE_HOST=$URL
# Started from the menu, without a uid (a launch with one may hand it to any workbench already
# running on this machine). Then a link, opened the desktop's way through the package's
# scheme handler, reaches it; dpkg's trigger would have built the handler cache on install.
update-desktop-database -q "$ROOT/usr/share/applications"
shopdesk >"$WORK/workbench.log" 2>&1 & WORKBENCH=$!; pids+=($WORKBENCH)
shown() { for w in $(xdotool search --onlyvisible --pid "$WORKBENCH" 2>/dev/null); do xdotool getwindowname "$w"; done; }
for _ in $(seq 600); do [ -n "$(shown)" ] && break; sleep 0.1; done
sleep 1
[ "$(shown)" = QDX_IM ] || { cat "$WORK/workbench.log"; fail "shown windows: [$(shown)]; only the main window was expected"; }
for _ in $(seq 300); do pgrep -f "^$ROOT/usr/lib/shopdesk/Vudeda" >/dev/null && break; sleep 0.1; done
xdg-open "tessaril://uid=pkg-merchant/" || fail "xdg-open found no handler for the link"
loaded=0
for _ in $(seq 600); do
  if curl -s "$URL/demo/requests" | grep -q '"/admin/index.php?uid=pkg-merchant"'; then loaded=1; break; fi
  sleep 0.1
done
[ $loaded -eq 1 ] || { cat "$WORK/workbench.log"; fail "the unpacked workbench did not load the console"; }
echo "console loaded by $(readlink -f "$(command -v shopdesk)")"
# The package's handler entry satisfies the registration check: no repair prompt beside the
# main window, and no repair script.
sleep 2
[ "$(shown)" = QDX_IM ] || fail "shown windows: [$(shown)]; only the main window was expected"
[ ! -e "$XDG_DATA_HOME/QDX/Cache/shopdesk.reg" ] || fail "the installed workbench wrote a repair script"
