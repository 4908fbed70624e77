#!/bin/sh
# The log level switches a user double-clicks (Windows .reg files, imported
# with regedit under Wine) or sets (ZOVIK_LOG_LEVEL on Linux), each followed by
# a start of the plugin whose log shows the level in force.
#   log_level_switches_test.sh REGISTRY_DIR HOST_PROGRAM [EMULATOR...]
set -eu
registry=$1
host=$2
shift 2
. "$(dirname "$0")/support/host_path.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/plugins/zovik_plugin"
plugin_dir=$(plugin_dir_for "$work/plugins" "$@")
log="$work/plugins/zovik_plugin/zovik_plugin.log"

start_plugin() {
  printf '%s\n' load init shutdown unload | "$@" "$host" --plugin-dir "$plugin_dir" >/dev/null
}

# expect SWITCH FIRST_LINE: FIRST_LINE is the log's first message, or "empty".
check() {
  switch=$1
  expected=$2
  first=$(head -n 1 "$log" | tr -d '\r' | sed 's/^\[[^]]*\]\[L00\] //')
  [ -s "$log" ] || first=empty
  if [ "$first" != "$expected" ]; then
    echo "after $switch: log begins '$first', expected '$expected'" >&2
    exit 1
  fi
  echo "after $switch: $first"
}

if [ "$#" -gt 0 ]; then
  for case in "zovik-log-level-0.reg:Initialize Log file with 0 level" \
              "zovik-log-level-3.reg:Initialize Log file with 3 level" \
              "zovik-log-level-5.reg:Initialize Log file with 5 level" \
              "zovik-log-off.reg:empty" \
              "zovik-log-level-default.reg:Initialize Log file with 0 level"; do
    file=${case%%:*}
    expected=${case#*:}
    "$@" regedit /s "$(host_path "$registry/$file" "$@")"
    start_plugin "$@"
    check "$file" "$expected"
  done
else
  for case in "0:Initialize Log file with 0 level" "3:Initialize Log file with 3 level" \
              "5:Initialize Log file with 5 level" "-1:empty"; do
    level=${case%%:*}
    (export ZOVIK_LOG_LEVEL="$level"; start_plugin)
    check "ZOVIK_LOG_LEVEL=$level" "${case#*:}"
  done
  (unset ZOVIK_LOG_LEVEL; start_plugin)
  check "no ZOVIK_LOG_LEVEL" "Initialize Log file with 0 level"
fi
echo "every switch gives its level"
