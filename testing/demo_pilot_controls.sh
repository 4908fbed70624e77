#!/bin/sh
# Plays testing/demo_pilot_controls.txt with the host stand-in, natively or
# under Wine, and fails unless the pause held, the resume moved at once and
# "back" ended in the lobby.
#   demo_pilot_controls.sh HOST_PROGRAM [EMULATOR...]
set -eu
host=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../tests/support/host_path.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
play_host_script "$here/demo_pilot_controls.txt" "$work" "$host" "$@"
grep -q "^chat of tab 1: ZOVIK: paused\." "$work/out"
grep -A1 "^clicked menu 'Resume following'" "$work/out" | grep -q "^moved to channel 13 '127.525'"
grep -q "^chat of tab 1: ZOVIK: back in your channel \"Lobby\"" "$work/out"
grep -q "^chat of tab 1: ZOVIK: Following the radio\. Radio on 127.525 MHz" "$work/out"
tail -n 4 "$work/out" | grep -q "^info panel 'ZOVIK' for client 7: Following the radio"
