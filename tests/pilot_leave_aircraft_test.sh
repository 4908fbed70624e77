#!/bin/sh
# Plays pilot_leave_aircraft_script.txt with the setting "When I leave the
# aircraft" on "back to my channel": from the environment natively, from
# the registry under Wine (removed again whatever the outcome).
#   pilot_leave_aircraft_test.sh HOST_PROGRAM [EMULATOR...]
set -eu
host=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
. "$here/support/host_path.sh"

work=$(mktemp -d)
key='HKLM\Software\Wemto\ZOVIK'
cleanup() {
  if [ "$#" -gt 0 ]; then "$@" reg delete "$key" /v 'Leave Aircraft' /f >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}
trap 'cleanup "$@"' EXIT
if [ "$#" -gt 0 ]; then
  "$@" reg add "$key" /v 'Leave Aircraft' /t REG_SZ /d 1 /f >/dev/null
fi
export ZOVIK_LEAVE_AIRCRAFT=1
play_host_script "$here/pilot_leave_aircraft_script.txt" "$work" "$host" "$@"
# Back once, with its line; then the same frequency moves him again.
grep -q "^chat of tab 1: ZOVIK: you left the aircraft: back in your channel \"Lobby\"." "$work/out"
grep "^moved to" "$work/out" >"$work/moves"
sed -n 2p "$work/moves" | grep -q "^moved to channel 1 'Lobby'"
sed -n 3p "$work/moves" | grep -q "^moved to channel 10 "
test "$(grep -c "you left the aircraft" "$work/out")" -eq 1
