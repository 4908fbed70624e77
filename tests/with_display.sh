#!/bin/sh
# Runs a command with a virtual X display of its own, for Windows programs
# that open windows under Wine:
#   with_display.sh WINE_PREFIX COMMAND [ARGS...]
# Xvfb picks a free display number; the prefix's Wine server is ended
# afterwards, since it would keep the display it started with. Exits 77
# (skipped) when Xvfb is missing, except under CI.
set -u
prefix=$1
shift
if ! command -v Xvfb >/dev/null 2>&1; then
  echo "with_display: Xvfb is missing (scripts/install-deps.sh installs it)" >&2
  [ -n "${CI:-}" ] && exit 1
  exit 77
fi
state=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$state/display" 2>"$state/xvfb.log" &
xvfb=$!
finish() {
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null
  kill "$xvfb" 2>/dev/null
  wait "$xvfb" 2>/dev/null
  rm -rf "$state"
}
# Xvfb writes the display number once it accepts clients.
tries=0
while [ ! -s "$state/display" ]; do
  tries=$((tries + 1))
  if [ "$tries" -gt 1000 ] || ! kill -0 "$xvfb" 2>/dev/null; then
    cat "$state/xvfb.log" >&2
    finish
    echo "with_display: Xvfb did not start" >&2
    exit 1
  fi
  sleep 0.01
done
display=":$(head -n 1 "$state/display")"
# A server left from a run on another display would keep that one.
WINEPREFIX="$prefix" wineserver -k 2>/dev/null
# Without a window manager nothing draws a window's title and frame: Wine's
# own desktop, one X window at the screen's corner, does, as on Windows.
if ! grep -qs 'Wine\\\\Explorer\\\\Desktops' "$prefix/user.reg"; then
  run="$(dirname "$0")/../cmake/wine-run.sh"
  ZOVIK_WINE_DISPLAY=$display sh "$run" "$prefix" reg add 'HKCU\Software\Wine\Explorer\Desktops' \
    /v Default /d 1024x768 /f >/dev/null 2>&1 &&
    ZOVIK_WINE_DISPLAY=$display sh "$run" "$prefix" reg add 'HKCU\Software\Wine\Explorer' \
      /v Desktop /d Default /f >/dev/null 2>&1
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null
fi
ZOVIK_WINE_DISPLAY=$display DISPLAY=$display "$@"
status=$?
finish
exit "$status"
