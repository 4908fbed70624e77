#!/bin/sh
# Builds the libFuzzer targets (preset `fuzz`, clang) and runs each for
# SECONDS (default 30) on its corpus in build/fuzz/runs/<target>: the seeds
# of fuzz/corpus/<target> plus what earlier runs found there, so the seeds in
# the source tree never change. Any crash, leak, sanitizer report or failed
# check stops the script; the input is kept in that target's artifacts/.
# Nothing binds a socket: it runs beside any other build or test.
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-30}
targets="fuzz_frequency_rule fuzz_datagram fuzz_channel_names"

cmake --preset fuzz
cmake --build --preset fuzz

for target in $targets; do
  run=build/fuzz/runs/$target
  mkdir -p "$run/corpus" "$run/artifacts"
  cp fuzz/corpus/"$target"/* "$run/corpus/"
  echo "==== $target (${seconds}s) ===="
  if ! build/fuzz/bin/"$target" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$run/artifacts/" "$run/corpus" >"$run/output.txt" 2>&1; then
    tail -n 40 "$run/output.txt"
    echo "FAILED: $target (output $run/output.txt, input in $run/artifacts/)"
    exit 1
  fi
  # libFuzzer's last status line (coverage, corpus) and its run count.
  grep -E '^#[0-9]+[[:space:]]+DONE' "$run/output.txt" | tail -n 1
  grep -E '^Done [0-9]+ runs' "$run/output.txt" | tail -n 1
done
echo "all fuzz targets ran clean"
