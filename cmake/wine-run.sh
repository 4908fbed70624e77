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
unset DISPLAY

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
exec wine "$@"
