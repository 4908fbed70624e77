#!/bin/sh
# Every test of both targets: the native Linux build plain, with
# AddressSanitizer+UndefinedBehaviorSanitizer and with ThreadSanitizer, then
# the Windows DLL cross-built and tested under Wine.
# The presets run one after another: their end-to-end tests share UDP port 10500.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
for preset in linux linux-asan linux-tsan win64; do
  echo "==== $preset ===="
  cmake --workflow --preset "$preset"
done
echo "all presets passed"
