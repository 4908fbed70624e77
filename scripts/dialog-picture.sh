#!/bin/sh
# Writes a PNG of the open settings dialog, as the README shows it:
#   sh scripts/dialog-picture.sh [BUILD_DIR] [OUTPUT]
# (defaults build/win64 and docs/settings-dialog.png). The dialog test opens
# the dialog under Wine on a virtual X display and holds it while the screen
# is captured with xwd and cut to the window with ImageMagick.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/win64}
output=${2:-$root/docs/settings-dialog.png}
program=$build/bin/settings_dialog_test.exe
prefix=$build/wine-prefix-display
[ -f "$program" ] || { echo "dialog-picture: build $program first (cmake --preset win64)" >&2; exit 1; }
for tool in Xvfb xwd convert; do
  command -v "$tool" >/dev/null || { echo "dialog-picture: $tool missing (scripts/install-deps.sh)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rect=$work/rect
# Inside the display: the test in the background, the capture when the
# window's rectangle appears.
cat >"$work/capture.sh" <<SCRIPT
set -eu
ZOVIK_DIALOG_PICTURE='$rect' "\$@" --gtest_filter='*OkSaves*' >'$work/test.log' 2>&1 &
test=\$!
tries=0
while [ ! -s '$rect' ]; do
  tries=\$((tries + 1))
  if [ "\$tries" -gt 3000 ] || ! kill -0 "\$test" 2>/dev/null; then
    cat '$work/test.log' >&2
    echo "dialog-picture: the dialog did not open" >&2
    exit 1
  fi
  sleep 0.01
done
xwd -root -silent -display "\$DISPLAY" | convert xwd:- -crop "\$(cat '$rect')" +repage '$output'
rm -f '$rect'
wait "\$test"
SCRIPT
sh "$root/tests/with_display.sh" "$prefix" sh "$work/capture.sh" \
  "$root/cmake/wine-run.sh" "$prefix" "$program"
echo "dialog-picture: wrote $output"
