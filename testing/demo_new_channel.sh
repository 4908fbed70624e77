#!/bin/sh
# Plays testing/demo_new_channel.txt with the host stand-in, natively or
# under Wine, prints what the client shows and the plugin's log, and fails
# unless the pilot ended in the channel the admin created.
#   demo_new_channel.sh HOST_PROGRAM [EMULATOR...]
set -eu
host=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../tests/support/host_path.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/plugins/zovik_plugin"
plugin_dir=$(plugin_dir_for "$work/plugins" "$@")

"$@" "$host" --plugin-dir "$plugin_dir" <"$here/demo_new_channel.txt" | tr -d '\r' | tee "$work/out"
echo "---- plugin log zovik_plugin\\zovik_plugin.log"
tr -d '\r' <"$work/plugins/zovik_plugin/zovik_plugin.log"
grep -q "^chat of tab 1: ZOVIK: no channel for 262.000 MHz" "$work/out"
tail -n 4 "$work/out" | grep -q "in channel 40 'Fr.*quences 262'"
