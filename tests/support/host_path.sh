# Sourced by the shell tests that run a program of ours, natively or under an
# emulator (Wine): paths as that program sees them.
#   host_path PATH [EMULATOR...]        the path, in Windows form under Wine
#   plugin_dir_for DIR [EMULATOR...]    DIR as the stand-in reports the plugin
#                                       directory: ending with a separator
#   play_host_script SCRIPT WORK HOST [EMULATOR...]
#                                       plays SCRIPT with the host stand-in
#                                       HOST on a new plugin folder under
#                                       WORK; what the client shows goes to
#                                       the terminal and to WORK/out
host_path() {
  path=$1
  shift
  case $path in
    /*) ;;
    *) path=$(pwd)/$path ;;
  esac
  if [ "$#" -gt 0 ]; then
    # Every prefix Wine makes maps drive Z: to the Unix root: the answer
    # winepath gives for a path outside drive_c, without starting Wine for it
    # (on a CI machine winepath once printed nothing, and the program under
    # test then fell back to its default folder).
    printf 'Z:%s\n' "$path" | tr / '\\'
  else
    printf '%s\n' "$path"
  fi
}

plugin_dir_for() {
  if [ "$#" -gt 1 ]; then
    printf '%s\\' "$(host_path "$@")"
  else
    printf '%s/' "$1"
  fi
}

play_host_script() {
  script=$1
  work_dir=$2
  host_program=$3
  shift 3
  mkdir -p "$work_dir/plugins/zovik_plugin"
  "$@" "$host_program" --plugin-dir "$(plugin_dir_for "$work_dir/plugins" "$@")" <"$script" |
    tr -d '\r' | tee "$work_dir/out"
}
