#!/bin/sh
# Installs the built .ts3_plugin as the voice client would (unpacks it into an
# empty plugin directory), then has the host stand-in load the plugin from
# there: it must log into zovik_plugin/zovik_plugin.log and follow a frequency.
#   package_install_test.sh PACKAGE LIBRARY_NAME HOST_PROGRAM [EMULATOR...]
set -eu
package=$1
library=$2
host=$3
shift 3
here=$(cd "$(dirname "$0")" && pwd)
. "$here/support/host_path.sh"

cmake -DPACKAGE="$package" -DLIBRARY_NAME="$library" -P "$here/check_package.cmake"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && cmake -E tar xf "$package")
plugins="$work/plugins"
test -f "$plugins/$library"
test -d "$plugins/zovik_plugin"

# Under Wine the stand-in needs Windows paths.
plugin_path=$(host_path "$plugins/$library" "$@")
plugin_dir=$(plugin_dir_for "$plugins" "$@")

output=$(printf '%s\n' load init "channels 1" "connect 1" "send 251000 20 50" \
  "wait-moves 1 10000" shutdown unload |
  "$@" "$host" --plugin "$plugin_path" --plugin-dir "$plugin_dir")
echo "$output"
echo "$output" | grep -q "moved to channel 10 "

log="$plugins/zovik_plugin/zovik_plugin.log"
cat "$log"
grep -q "ZOVIK plugin initialized" "$log"
grep -q "UDPServer : Thread UDP server started on 10500" "$log"
grep -q "PLUGIN: shutdown" "$log"

# The game-side setup runs from where the package put it, on its own.
if [ "$#" -gt 0 ]; then
  mkdir "$work/Saved Games"
  saved_games=$(host_path "$work/Saved Games" "$@")
  setup_output=$("$@" "$plugins/zovik_plugin/zovik_dcs_setup.exe" uninstall \
    --saved-games "$saved_games" </dev/null | tr -d '\r')
  printf '%s\n' "$setup_output"
  printf '%s\n' "$setup_output" | grep -q "No DCS World folder in .*Saved Games: nothing to remove"
fi
echo "package installs and runs"
