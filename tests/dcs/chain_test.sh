#!/bin/sh
# The chain from the cockpit to the channel move: the export script in the
# mock game (tests/dcs/chain.lua) sends over real UDP to the plugin loaded by
# the host stand-in, natively or under Wine; chain.lua drives the stand-in
# through a FIFO and reads its answers.
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
mkfifo "$work/commands"

status=0
"$lua" "$here/chain.lua" "$here/../../dcs" "$work" "${ZOVIK_CHAIN_TURNS:-0}" \
  "$@" "$host" --plugin-dir "$(plugin_dir_for "$work/plugins" "$@")" || status=$?

echo "---- host stand-in (the voice client's side)"
cat "$work/host.out" 2>/dev/null || true
if [ "${ZOVIK_CHAIN_SHOW_LOG:-0}" = 1 ]; then
  echo "---- plugin log zovik_plugin\\zovik_plugin.log"
  cat "$work/plugins/zovik_plugin/zovik_plugin.log"
fi
exit "$status"
