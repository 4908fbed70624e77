#!/bin/sh
# zovik_dcs_setup.exe under Wine on made-up Saved Games trees: a fresh
# install, a second run that changes nothing, other tools' lines kept byte for
# byte, repeated ZOVIK lines, a kept ZovikConfig.lua, a read-only Export.lua,
# missing folders and the uninstall. Installed files are compared with the
# script tree they were built from.
#   dcs_setup_test.sh SETUP_PROGRAM SCRIPTS_DIR EMULATOR...
set -eu
setup=$1
scripts=$2
shift 2
. "$(dirname "$0")/support/host_path.sh"
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# The emulator as one command; run SAVED_GAMES ARGUMENTS...: the setup's output in $output, its status in $status.
wrapper="$work/setup"
{
  printf '#!/bin/sh\nexec'
  for word in "$@"; do printf " '%s'" "$word"; done
  printf ' "$@" </dev/null\n'
} >"$wrapper"
run() {
  folder=$(host_path "$1" "$wrapper")
  shift
  status=0
  output=$(sh "$wrapper" "$setup" "$@" --saved-games "$folder") || status=$?
  output=$(printf '%s\n' "$output" | tr -d '\r')
  printf '%s\n' "$output"
}
expect_output() {
  printf '%s\n' "$output" | grep -q -- "$1" || fail "no line matching '$1'"
}
same() {
  cmp "$1" "$2" || fail "$1 differs from $2"
}
line="pcall(function() local zovikLfs=require('lfs'); dofile(zovikLfs.writedir()..[[Scripts\\ZOVIK\\ZovikExport.lua]]); end, nil)"
other='dofile(lfs.writedir()..[[Scripts\Other\Other.lua]])'
bom=$(printf '\357\273\277')

# A tree with a fresh DCS folder, an Export.lua of other tools (BOM, CR LF, no
# last line end), one with our line twice and an old ZOVIK folder, and two
# folders that are not the game's.
sg="$work/Saved Games"
mkdir -p "$sg/DCS" "$sg/DCS.openbeta/Scripts" "$sg/DCS.server/Scripts/ZOVIK" \
  "$sg/DCSx/Scripts" "$sg/Other"
openbeta="$sg/DCS.openbeta/Scripts/Export.lua"
server="$sg/DCS.server/Scripts/Export.lua"
printf '%s%s\r\nlocal other = 1' "$bom" "$other" >"$work/openbeta.before"
printf '%s%s\r\nlocal other = 1\r\n%s\r\n' "$bom" "$other" "$line" >"$work/openbeta.installed"
cp "$work/openbeta.before" "$openbeta"
printf -- '-- %s\n%s\n%s\n%s\n' "$line" "$line" "$other" \
  "dofile(lfs.writedir()..'Scripts/ZOVIK/ZovikExport.lua')" >"$server"
cp "$server" "$work/server.before"
printf -- '-- %s\n%s\n%s\n' "$line" "$line" "$other" >"$work/server.installed"
printf 'return { port = 10600 }\n' >"$sg/DCS.server/Scripts/ZOVIK/ZovikConfig.lua"
printf 'old' >"$sg/DCS.server/Scripts/ZOVIK/ZovikExport.lua"
printf 'old' >"$sg/DCS.server/Scripts/ZOVIK/Old.lua"
printf 'x\n' >"$sg/DCSx/Scripts/Export.lua"

run "$sg" install
[ "$status" -eq 0 ] || fail "install exited with $status"
expect_output '^DCS: installed Scripts\\ZOVIK (.*), created Scripts\\Export.lua with the ZOVIK line$'
expect_output '^DCS.openbeta: installed Scripts\\ZOVIK (.*), added the ZOVIK line to Scripts\\Export.lua$'
expect_output '^DCS.server: updated .*, kept your ZovikConfig.lua, removed 1 old file from Scripts\\ZOVIK, removed 1 repeated ZOVIK line from Scripts\\Export.lua$'
[ "$(printf '%s\n' "$output" | wc -l)" -eq 3 ] || fail "not one line per DCS folder"
printf '%s\r\n' "$line" >"$work/fresh.installed"
same "$work/fresh.installed" "$sg/DCS/Scripts/Export.lua"
same "$work/openbeta.installed" "$openbeta"
same "$work/openbeta.before" "$openbeta.zovik-backup"
same "$work/server.installed" "$server"
same "$work/server.before" "$server.zovik-backup"
diff -r "$scripts" "$sg/DCS/Scripts/ZOVIK" || fail "DCS got other scripts"
diff -r "$scripts" "$sg/DCS.openbeta/Scripts/ZOVIK" || fail "DCS.openbeta got other scripts"
diff -r -x ZovikConfig.lua "$scripts" "$sg/DCS.server/Scripts/ZOVIK" || fail "DCS.server got other scripts"
printf 'return { port = 10600 }\n' | cmp - "$sg/DCS.server/Scripts/ZOVIK/ZovikConfig.lua" ||
  fail "the pilot's ZovikConfig.lua changed"
[ ! -e "$sg/DCS/Scripts/Export.lua.zovik-backup" ] || fail "a backup of no file"
[ "$(ls "$sg/DCSx/Scripts")" = Export.lua ] || fail "DCSx was touched"
[ -z "$(find "$sg" -name '*.zovik-new')" ] || fail "temporary files left"

# Installed twice: the second run writes nothing.
cp -a "$sg" "$work/after-first"
touch "$work/mark"
run "$sg" install
[ "$status" -eq 0 ] || fail "second install exited with $status"
[ "$(printf '%s\n' "$output" | grep -c ': already set up$')" -eq 3 ] || fail "not already set up"
diff -r "$work/after-first" "$sg" || fail "the second install changed files"
[ -z "$(find "$sg" -newer "$work/mark")" ] || fail "the second install wrote"

# A read-only Export.lua: that folder stays as it was, the next one is done.
ro="$work/read-only"
mkdir -p "$ro/DCS/Scripts" "$ro/DCS.openbeta"
printf '%s\r\n' "$other" >"$ro/DCS/Scripts/Export.lua"
cp "$ro/DCS/Scripts/Export.lua" "$work/read-only.before"
chmod a-w "$ro/DCS/Scripts/Export.lua"
run "$ro" install
[ "$status" -eq 1 ] || fail "read-only Export.lua: status $status"
expect_output '^DCS: cannot write .*\\DCS\\Scripts\\Export.lua: it is read-only.*nothing was changed'
expect_output '^DCS.openbeta: installed'
same "$work/read-only.before" "$ro/DCS/Scripts/Export.lua"
[ "$(ls "$ro/DCS/Scripts")" = Export.lua ] || fail "the read-only folder changed"

# Uninstall: only our lines and files go; ZovikConfig.lua stays.
run "$sg" uninstall
[ "$status" -eq 0 ] || fail "uninstall exited with $status"
expect_output '^DCS: removed .* from Scripts\\ZOVIK, kept your ZovikConfig.lua, removed the ZOVIK line from Scripts\\Export.lua$'
printf '%s\r\n' "$(cat "$work/openbeta.before")" >"$work/openbeta.uninstalled"
same "$work/openbeta.uninstalled" "$openbeta"
same "$work/openbeta.installed" "$openbeta.zovik-backup"
printf -- '-- %s\n%s\n' "$line" "$other" >"$work/server.uninstalled"
same "$work/server.uninstalled" "$server"
[ ! -s "$sg/DCS/Scripts/Export.lua" ] || fail "DCS Export.lua not emptied"
for folder in DCS DCS.openbeta DCS.server; do
  [ "$(ls "$sg/$folder/Scripts/ZOVIK")" = ZovikConfig.lua ] || fail "$folder: Scripts\\ZOVIK not emptied"
done
printf 'return { port = 10600 }\n' | cmp - "$sg/DCS.server/Scripts/ZOVIK/ZovikConfig.lua" ||
  fail "uninstall changed the pilot's ZovikConfig.lua"

# No DCS folder yet, no such folder, and the real Saved Games as the default.
mkdir "$work/empty"
run "$work/empty" install
[ "$status" -eq 1 ] || fail "no DCS folder: status $status"
expect_output 'No DCS World folder .*start DCS World once'
run "$work/missing" install
[ "$status" -eq 1 ] || fail "missing Saved Games: status $status"
expect_output '^There is no folder'
status=0
sh "$wrapper" "$setup" install --saved-games "" 2>/dev/null || status=$?
[ "$status" -eq 2 ] || fail "empty --saved-games: status $status"
status=0
output=$(sh "$wrapper" "$setup" uninstall) || status=$?
output=$(printf '%s\n' "$output" | tr -d '\r')
printf '%s\n' "$output"
[ "$status" -eq 0 ] || fail "default Saved Games: status $status"
expect_output '^No DCS World folder in C:\\users\\.*\\Saved Games: nothing to remove'
echo "zovik_dcs_setup does its job on every tree"
