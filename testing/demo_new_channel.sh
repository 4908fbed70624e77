#!/bin/sh
# Plays testing/demo_new_channel.txt with the host stand-in, natively or
# under Wine, prints what the client shows and the plugin's log, and fails
# unless the admin's one line created the channel and the pilot ended there.
#   demo_new_channel.sh HOST_PROGRAM [EMULATOR...]
set -eu
host=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../tests/support/host_path.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
play_host_script "$here/demo_new_channel.txt" "$work" "$host" "$@"
echo "---- plugin log zovik_plugin\\zovik_plugin.log"
tr -d '\r' <"$work/plugins/zovik_plugin/zovik_plugin.log"
grep -q "^chat of tab 1: ZOVIK: no channel for 262.000 MHz" "$work/out"
grep -q "^chat of tab 1: ZOVIK: created \"Fr.*quences 262\" (262.000 MHz) at the top level" "$work/out"
tail -n 4 "$work/out" | grep -q "in channel 19 'Fr.*quences 262'"
