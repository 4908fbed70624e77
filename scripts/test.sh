#!/bin/sh
# Every test of both targets: the native Linux build plain, with
# AddressSanitizer+UndefinedBehaviorSanitizer and with ThreadSanitizer, a
# short run of each fuzz target, then the Windows DLL cross-built and tested
# under Wine; the builds that always answer plugin API 20 last.
# The presets run one after another: their end-to-end tests share UDP port 10500.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
for preset in linux linux-asan linux-tsan; do
  echo "==== $preset ===="
  cmake --workflow --preset "$preset"
done
echo "==== fuzz ===="
sh scripts/fuzz.sh "${ZOVIK_FUZZ_SECONDS:-15}"
for preset in win64 linux-api20 win64-api20; do
  echo "==== $preset ===="
  cmake --workflow --preset "$preset"
done

