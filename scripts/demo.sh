#!/bin/sh
# The main job, whole: the game-side export script flown in the project's
# mock cockpit turns the radios of four aircraft; its datagrams go over real
# UDP to zovik_win64.dll, loaded under Wine by the host stand-in, which moves
# the user into each frequency's channel. Then the voice side alone: a
# frequency without a channel told in the chat, an admin creating the
# channel with one /zovik create line while the pilot flies, and the pilot
# moved there.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh

cmake --preset win64 >/dev/null
cmake --build --preset win64 --target zovik_plugin zovik_host >/dev/null
prefix="$(pwd)/build/win64/wine-prefix"
run() { cmake/wine-run.sh "$prefix" "$@"; }

# Level 3: the log shows every new frequency and move.
run reg add 'HKLM\Software\Wemto\ZOVIK' /v 'Log Level' /t REG_SZ /d 3 /f >/dev/null

echo "== game side: dcs/Scripts/ZOVIK/ZovikExport.lua in the mock cockpit, frame by frame"
echo "   (F-16C_50 COM1, a Su-27 without a readable radio, Ka-50, UH-1H and Mi-8MT;"
echo "    the plugin loaded by zovik_host.exe under Wine, on a server of frequency channels)"
ZOVIK_CHAIN_SHOW_LOG=1 sh tests/dcs/chain_test.sh lua5.1 build/win64/bin/zovik_host.exe \
  cmake/wine-run.sh "$prefix"

echo
echo "== voice side: a frequency without a channel, and the admin who creates it with one line"
echo "   (testing/demo_new_channel.txt played by zovik_host.exe under Wine)"
sh testing/demo_new_channel.sh build/win64/bin/zovik_host.exe cmake/wine-run.sh "$prefix"

echo
echo "== the pilot's controls: pause, a resume that moves at once, back to his channel, the status"
echo "   (testing/demo_pilot_controls.txt played by zovik_host.exe under Wine)"
sh testing/demo_pilot_controls.sh build/win64/bin/zovik_host.exe cmake/wine-run.sh "$prefix"
