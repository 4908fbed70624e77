#!/bin/sh
# The switches a user double-clicks (Windows .reg files, imported with
# regedit under Wine) or sets (ZOVIK_LOG_LEVEL and ZOVIK_CHAT_NOTICES on
# Linux), each followed by a start of the plugin: its log shows the level in
# force, and the chat shows a frequency without a channel unless the notices
# are off (or the library is the fixed API 20 one, which has no notices).
#   log_level_switches_test.sh REGISTRY_DIR HOST_PROGRAM API [EMULATOR...]
set -eu
registry=$1
host=$2
api=$3
shift 3
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

# expect_chat SWITCH LINES: a start in which 262.000 MHz, without a channel,
# is heard between two frequencies that move the user shows LINES chat lines.
expect_chat() {
  switch=$1
  [ "$api" = client ] && expected=$2 || expected=0
  shift 2
  lines=$(printf '%s\n' load init "channels 1" "connect 1" "send 251000 20 50" \
    "wait-moves 1 10000" "send 262000" "send 251500 20 50" "wait-moves 2 10000" shutdown unload |
    "$@" "$host" --plugin-dir "$plugin_dir" |
    grep -c '^chat of tab 1: ZOVIK: no channel for 262.000 MHz' || true)
  if [ "$lines" != "$expected" ]; then
    echo "after $switch: $lines chat lines, expected $expected" >&2
    exit 1
  fi
  echo "after $switch: $lines chat line(s)"
}

if [ "$#" -gt 0 ]; then
  for case in "zovik-chat-notices-off.reg:0" "zovik-chat-notices-on.reg:1"; do
    file=${case%%:*}
    "$@" regedit /s "$(host_path "$registry/$file" "$@")"
    expect_chat "$file" "${case#*:}" "$@"
  done
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
  (export ZOVIK_CHAT_NOTICES=0; expect_chat "ZOVIK_CHAT_NOTICES=0" 0)
  (unset ZOVIK_CHAT_NOTICES; expect_chat "no ZOVIK_CHAT_NOTICES" 1)
  for case in "0:Initialize Log file with 0 level" "3:Initialize Log file with 3 level" \
              "5:Initialize Log file with 5 level" "-1:empty"; do
    level=${case%%:*}
    (export ZOVIK_LOG_LEVEL="$level"; start_plugin)
    check "ZOVIK_LOG_LEVEL=$level" "${case#*:}"
  done
  (unset ZOVIK_LOG_LEVEL; start_plugin)
  check "no ZOVIK_LOG_LEVEL" "Initialize Log file with 0 level"
fi
echo "every switch does what it says"
