#!/bin/sh
# The chain from the cockpit to the channel move: the export script in the
# mock game (tests/dcs/chain.lua) sends over real UDP to the plugin loaded by
# the host stand-in, natively or under Wine.
#   chain_test.sh LUA HOST_PROGRAM [EMULATOR...]
# ZOVIK_CHAIN_TURNS adds knob turns to the latency sample; ZOVIK_CHAIN_SHOW_LOG=1
# prints the plugin's log at the end.
set -eu
lua=$1
host=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../support/host_path.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/plugins/zovik_plugin"
plugin_dir=$(plugin_dir_for "$work/plugins" "$@")

# The stand-in reads its commands from a pipe: it keeps the user connected
# until the game side has seen every move, then shuts down.
mkfifo "$work/commands"
"$@" "$host" --plugin-dir "$plugin_dir" <"$work/commands" >"$work/host.out" 2>&1 &
host_pid=$!
exec 3>"$work/commands"
printf '%s\n' load init "channels 1" "connect 1" >&3

status=0
"$lua" "$here/chain.lua" "$here/../../dcs" "$work/plugins/zovik_plugin/zovik_plugin.log" \
  "$work/host.out" "${ZOVIK_CHAIN_TURNS:-0}" || status=$?
printf '%s\n' "where 1" shutdown unload >&3
exec 3>&-
wait "$host_pid" || status=$?

echo "---- host stand-in (the voice client's side)"
cat "$work/host.out"
if [ "${ZOVIK_CHAIN_SHOW_LOG:-0}" = 1 ]; then
  echo "---- plugin log zovik_plugin\\zovik_plugin.log"
  cat "$work/plugins/zovik_plugin/zovik_plugin.log"
fi
exit "$status"
