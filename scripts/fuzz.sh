#!/bin/sh
# Builds the libFuzzer targets (preset `fuzz`, clang) and runs them all,
# side by side, for SECONDS (default 30), each on its corpus in
# build/fuzz/runs/<target>: the seeds of fuzz/corpus/<target> plus what
# earlier runs found there, so the seeds in the source tree never change.
# Any crash, leak, sanitizer report or failed check fails the script; the
# input is kept in that target's artifacts/.
# Nothing binds a socket: it runs beside any other build or test.
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-30}
targets="fuzz_frequency_rule fuzz_datagram fuzz_channel_names"

cmake --preset fuzz
cmake --build --preset fuzz

# The targets run side by side: the machine's cores share them, and the
# whole run takes SECONDS rather than SECONDS per target.
pids=""
for target in $targets; do
  run=build/fuzz/runs/$target
  mkdir -p "$run/corpus" "$run/artifacts"
  cp fuzz/corpus/"$target"/* "$run/corpus/"
  build/fuzz/bin/"$target" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$run/artifacts/" "$run/corpus" >"$run/output.txt" 2>&1 &
  pids="$pids $!"
done
failed=""
# shellcheck disable=SC2086
set -- $pids
for target in $targets; do
  pid=$1
  shift
  run=build/fuzz/runs/$target
  echo "==== $target (${seconds}s) ===="
  if ! wait "$pid"; then
    tail -n 40 "$run/output.txt"
    echo "FAILED: $target (output $run/output.txt, input in $run/artifacts/)"
    failed="$failed $target"
    continue
  fi
  # libFuzzer's last status line (coverage, corpus) and its run count.
  grep -E '^#[0-9]+[[:space:]]+DONE' "$run/output.txt" | tail -n 1
  grep -E '^Done [0-9]+ runs' "$run/output.txt" | tail -n 1
done
if [ -n "$failed" ]; then
  echo "fuzz targets that failed:$failed"
  exit 1
fi
echo "all fuzz targets ran clean"
