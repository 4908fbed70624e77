#!/bin/sh
# Runs a Windows program under Wine in a private prefix: wine-run.sh PREFIX PROGRAM [ARGS...]
# The prefix is created on first use; tests never touch the user's own ~/.wine.
set -eu
prefix=$1
shift
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer dialogs: the tests need neither.
export WINEDLLOVERRIDES="mscoree=;mshtml="
# No window unless a test gives its own prefix a display (tests/with_display.sh):
# Wine takes the display its prefix's first process had until the prefix's
# server ends.
if [ -n "${ZOVIK_WINE_DISPLAY:-}" ]; then
  export DISPLAY="$ZOVIK_WINE_DISPLAY"
else
  unset DISPLAY
fi

if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  # Several tests may start at once; one of them makes the prefix.
  (
    flock 9
    if [ ! -f "$prefix/system.reg" ]; then
      wineboot --init >/dev/null 2>&1 || true
      wineserver --wait
    fi
  ) 9>"$prefix.lock"
fi

if [ "$#" -eq 0 ]; then
  exit 0
fi
# A test run starts Wine dozens of times: with the prefix's server and its
# system processes kept for ZOVIK_WINE_LINGER seconds after the last program
# ends, each start takes a fraction of a second instead of about three. A
# server already running (of a test just ended, or of the benchmarks) serves.
# The system processes inherit the descriptors of the program that starts
# them, and a test runner waits until every holder of its pipes is gone: a
# program of our own, on /dev/null, starts them when we start the server.
if [ -n "${ZOVIK_WINE_LINGER:-}" ] &&
  wineserver -p"$ZOVIK_WINE_LINGER" </dev/null >/dev/null 2>&1; then
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
fi
exec wine "$@"
