#!/bin/sh
# zovik_dcs_setup.exe under Wine on made-up Saved Games trees, below a folder
# named beyond ASCII: a table of Export.lua originals that install then
# uninstall must give back byte for byte (a missing one is removed again),
# other tools' lines kept, repeated ZOVIK lines, a linked Export.lua and a
# linked Scripts folder, the pilot's files beside ours, a second run that
# changes nothing, files Export.lua refuses, and missing folders. Installed
# files are compared with the script tree they were built from.
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
# As patterns: the names in the setup's messages.
z='Scripts\\ZOVIK'
e='Scripts\\Export.lua'
unchanged='nothing was changed in this folder'
home="$work/Élève pilote"

# The originals, one DCS folder each: original NAME PRINTF-FORMAT [ARGUMENTS...]
# writes Export.lua and keeps a copy to compare with after the uninstall.
sg="$home/Saved Games"
mkdir -p "$sg/DCS" "$sg/DCSx/Scripts" "$sg/Other" "$work/originals"
original() {
  name=$1
  shift
  mkdir -p "$sg/$name/Scripts"
  # shellcheck disable=SC2059
  printf "$@" >"$sg/$name/Scripts/Export.lua"
  cp "$sg/$name/Scripts/Export.lua" "$work/originals/$name"
}
original DCS.openbeta '%s%s\r\nlocal other = 1' "$bom" "$other"
original DCS.lf '%s\n' "$other"
original DCS.empty ''
original DCS.comment -- '--[=[ %s\n%s\n]=]\n' "$other" "$line"
original DCS.return -- 'local M = {}\r\n-- %s\r\nreturn M\r\n' "$line"
# One Export.lua shared through a link, one Scripts folder shared through a
# link to DCS.lf's.
mkdir -p "$work/shared" "$sg/DCS.linked/Scripts" "$sg/DCS.junction"
printf '%s\r\n' "$other" >"$work/shared/Export.lua"
cp "$work/shared/Export.lua" "$work/originals/shared"
ln -s "$work/shared/Export.lua" "$sg/DCS.linked/Scripts/Export.lua"
ln -s "$sg/DCS.lf/Scripts" "$sg/DCS.junction/Scripts"
# Our line twice among other lines, the pilot's config and copy of it, and
# an old file no install recorded.
server="$sg/DCS.server/Scripts/Export.lua"
mkdir -p "$sg/DCS.server/Scripts/ZOVIK"
printf -- '-- %s\n%s\n%s\n%s\n' "$line" "$line" "$other" \
  "dofile(lfs.writedir()..'Scripts/ZOVIK/ZovikExport.lua')" >"$server"
cp "$server" "$work/server.before"
printf -- '-- %s\n%s\n%s\n' "$line" "$line" "$other" >"$work/server.installed"
printf 'return { port = 10600 }\n' >"$sg/DCS.server/Scripts/ZOVIK/ZovikConfig.lua"
printf 'return { port = 10600 }\n' >"$sg/DCS.server/Scripts/ZOVIK/ZovikConfig - Copy.lua"
printf 'old' >"$sg/DCS.server/Scripts/ZOVIK/ZovikExport.lua"
printf 'old' >"$sg/DCS.server/Scripts/ZOVIK/Old.lua"
# A file an earlier install recorded and this one no longer ships.
mkdir -p "$sg/DCS.update/Scripts/ZOVIK"
printf 'file Retired.lua\r\n' >"$sg/DCS.update/Scripts/ZOVIK/ZovikInstalledFiles.txt"
printf 'old' >"$sg/DCS.update/Scripts/ZOVIK/Retired.lua"
printf '%s\r\n' "$line" >"$sg/DCS.update/Scripts/Export.lua"
printf 'x\n' >"$sg/DCSx/Scripts/Export.lua"

run "$sg" install
[ "$status" -eq 0 ] || fail "install exited with $status"
expect_output "^DCS: installed $z (.*), created $e with the ZOVIK line\$"
expect_output "^DCS.openbeta: installed $z (.*), added the ZOVIK line to $e\$"
expect_output "^DCS.return: installed .*, added the ZOVIK line to $e before its return on line 4\$"
expect_output '^DCS.lf: already set up$'
expect_output \
  "^DCS.server: updated .*, kept your ZovikConfig.lua, removed 1 repeated ZOVIK line from $e\$"
expect_output \
  "^DCS.update: installed .*, removed 1 old file from $z, $e already had the ZOVIK line\$"
[ "$(printf '%s\n' "$output" | wc -l)" -eq 10 ] || fail "not one line per DCS folder"
printf '%s\r\n' "$line" >"$work/fresh.installed"
same "$work/fresh.installed" "$sg/DCS/Scripts/Export.lua"
printf '%s%s\r\nlocal other = 1\r\n%s' "$bom" "$other" "$line" >"$work/openbeta.installed"
same "$work/openbeta.installed" "$sg/DCS.openbeta/Scripts/Export.lua"
same "$work/originals/DCS.openbeta" "$sg/DCS.openbeta/Scripts/Export.lua.zovik-backup"
printf 'local M = {}\r\n-- %s\r\n%s\r\nreturn M\r\n' "$line" "$line" >"$work/return.installed"
same "$work/return.installed" "$sg/DCS.return/Scripts/Export.lua"
grep -qxF "$line" "$sg/DCS.comment/Scripts/Export.lua" ||
  fail "no ZOVIK line outside the block comment"
[ -L "$sg/DCS.linked/Scripts/Export.lua" ] || fail "the linked Export.lua is no link any more"
printf '%s\r\n%s\r\n' "$other" "$line" | cmp - "$work/shared/Export.lua" || fail "the link's target"
same "$work/server.installed" "$server"
same "$work/server.before" "$server.zovik-backup"
for folder in DCS DCS.openbeta DCS.lf DCS.linked; do
  diff -r -x ZovikInstalledFiles.txt "$scripts" "$sg/$folder/Scripts/ZOVIK" ||
    fail "$folder got other scripts"
done
diff -r -x 'ZovikConfig*' -x Old.lua -x ZovikInstalledFiles.txt "$scripts" \
  "$sg/DCS.server/Scripts/ZOVIK" || fail "DCS.server got other scripts"
for kept in ZovikConfig.lua "ZovikConfig - Copy.lua"; do
  printf 'return { port = 10600 }\n' | cmp - "$sg/DCS.server/Scripts/ZOVIK/$kept" ||
    fail "the pilot's $kept changed"
done
[ "$(cat "$sg/DCS.server/Scripts/ZOVIK/Old.lua")" = old ] || fail "a file nobody recorded went"
[ ! -e "$sg/DCS.update/Scripts/ZOVIK/Retired.lua" ] || fail "the recorded old file stayed"
[ ! -e "$sg/DCS/Scripts/Export.lua.zovik-backup" ] || fail "a backup of no file"
[ "$(ls "$sg/DCSx/Scripts")" = Export.lua ] || fail "DCSx was touched"
[ -z "$(find "$sg" -name '*.zovik-new')" ] || fail "temporary files left"

# Installed twice: the second run writes nothing.
cp -a "$sg" "$work/after-first"
touch "$work/mark"
run "$sg" install
[ "$status" -eq 0 ] || fail "second install exited with $status"
[ "$(printf '%s\n' "$output" | grep -c ': already set up$')" -eq 10 ] || fail "not already set up"
diff -r "$work/after-first" "$sg" || fail "the second install changed files"
[ -z "$(find "$sg" "$work/shared" -newer "$work/mark")" ] || fail "the second install wrote"

# Files that refuse our line: those folders stay as they were, the next one
# is done.
ro="$home/refused"
mkdir -p "$ro/DCS/Scripts" "$ro/DCS.openbeta" "$ro/DCS.utf16/Scripts" "$ro/DCS.return/Scripts"
printf '%s\r\n' "$other" >"$ro/DCS/Scripts/Export.lua"
chmod a-w "$ro/DCS/Scripts/Export.lua"
printf '\377\376-\000-\000\r\000\n\000' >"$ro/DCS.utf16/Scripts/Export.lua"
printf 'local M = {} return M\n' >"$ro/DCS.return/Scripts/Export.lua"
cp -a "$ro" "$work/refused.before"
run "$ro" install
[ "$status" -eq 1 ] || fail "refused Export.lua: status $status"
expect_output "^DCS: cannot write .*\\\\Élève pilote\\\\refused\\\\DCS\\\\$e: it is read-only.*$unchanged"
expect_output "^DCS.utf16: $e is saved as UTF-16, .*; $unchanged\$"
expect_output "^DCS.return: line 1 of $e ends the file with a return .*; $unchanged\$"
expect_output '^DCS.openbeta: installed'
rm -r "$ro/DCS.openbeta/Scripts"
diff -r "$work/refused.before" "$ro" || fail "a refused folder changed"

# Uninstall gives every original back; only our lines and files go.
run "$sg" uninstall
[ "$status" -eq 0 ] || fail "uninstall exited with $status"
expect_output \
  "^DCS: removed .* from $z, kept your ZovikConfig.lua, removed $e, which the setup had made\$"
expect_output "^DCS.server: removed .* from $z, kept your ZovikConfig.lua and 2 other files, \
removed the ZOVIK line from $e\$"
for name in DCS.openbeta DCS.lf DCS.empty DCS.comment DCS.return; do
  same "$work/originals/$name" "$sg/$name/Scripts/Export.lua"
done
[ ! -e "$sg/DCS/Scripts/Export.lua" ] || fail "the Export.lua install made is still there"
[ -L "$sg/DCS.linked/Scripts/Export.lua" ] || fail "uninstall replaced the link"
same "$work/originals/shared" "$work/shared/Export.lua"
same "$work/openbeta.installed" "$sg/DCS.openbeta/Scripts/Export.lua.zovik-backup"
printf -- '-- %s\n%s\n' "$line" "$other" >"$work/server.uninstalled"
same "$work/server.uninstalled" "$server"
for folder in DCS DCS.openbeta DCS.lf DCS.linked; do
  [ "$(ls "$sg/$folder/Scripts/ZOVIK")" = ZovikConfig.lua ] || fail "$folder: $z not emptied"
done
left=$(ls "$sg/DCS.server/Scripts/ZOVIK" | tr '\n' /)
[ "$left" = 'Old.lua/ZovikConfig - Copy.lua/ZovikConfig.lua/' ] ||
  fail "DCS.server: not only the pilot's files left"
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
