#!/bin/sh
# The main job: zovik_win64.dll loaded by the host stand-in under Wine, a
# sender playing the simulator's radio, and the user's channel following it.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh

cmake --preset win64 >/dev/null
cmake --build --preset win64 --target zovik_plugin zovik_host zovik_send >/dev/null
bin=build/win64/bin
prefix="$(pwd)/build/win64/wine-prefix"
run() { cmake/wine-run.sh "$prefix" "$@"; }

# A plugin directory as the client has it, with the log folder the package
# installs, and the log level set where the plugin reads it.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/plugins/zovik_plugin"
plugin_dir="$(run winepath -w "$work/plugins" | tr -d '\r')\\"
run reg add 'HKLM\Software\Wemto\ZOVIK' /v 'Log Level' /t REG_SZ /d 3 /f >/dev/null

echo "== host stand-in: load the plugin, connect to a server of frequency channels"
cat > "$work/script.txt" <<'SCRIPT'
load
init
channels 1
connect 1
where 1
wait-moves 4 60000
sleep 1000
where 1
shutdown
unload
SCRIPT
run "$bin/zovik_host.exe" --plugin-dir "$plugin_dir" < "$work/script.txt" &
host=$!

# The simulator starts sending once the plugin listens.
log="$work/plugins/zovik_plugin/zovik_plugin.log"
for _ in $(seq 1 300); do
  grep -q "Thread UDP server started" "$log" 2>/dev/null && break
  sleep 0.1
done

echo "== radio: 251.000, 127.525, 251.500, 30.001 MHz (each sent three times; repeats are dropped)"
run "$bin/zovik_send.exe" --repeat 3 --interval 300 251000 127525 251500 30001
wait "$host"

echo "== log file zovik_plugin\\zovik_plugin.log"
cat "$log"
