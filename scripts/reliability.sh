#!/bin/sh
# Measures how ZOVIK holds up and writes the figures to RELIABILITY.md: the
# stress test (tests/stress_test.cpp) natively with AddressSanitizer+UBSan
# and with ThreadSanitizer, then under Wine as the Windows DLL, then every
# fuzz target for 60 seconds. The stress runs bind UDP port 10500, so they go
# one after another; on a machine where other programs use that port run it
# in a private network namespace:
#   unshare -rn sh -c 'ip link set lo up; sh scripts/reliability.sh'
# (a Wine server already running for build/win64/wine-prefix outside the
# namespace would be joined, and its sockets are outside: stop it first).
# Each run's whole output stays in build/reliability/. Exits non-zero when any
# run failed, after writing the file.
set -eu
cd "$(dirname "$0")/.."
out=build/reliability
mkdir -p "$out"
failed=0
rows=""

# The value of KEY=VALUE in the first line of FILE that starts with PREFIX.
field() {
  tr -d '\r' <"$1" | grep -m1 "^$2" | tr ' ' '\n' | sed -n "s/^$3=//p"
}

# Sanitizer report headers in FILE.
reports() {
  grep -cE 'ERROR: (Address|Leak)Sanitizer|WARNING: ThreadSanitizer|runtime error:' "$1" || true
}

# Builds and runs the stress test of PRESET, adds its row to the table.
stress() {
  preset=$1
  log=$out/$preset.txt
  echo "==== stress_test, $preset ===="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target stress_test >/dev/null
  start=$(date +%s)
  status=0
  case $preset in
    win64)
      sh cmake/wine-run.sh "$PWD/build/win64/wine-prefix" build/win64/bin/stress_test.exe >"$log" 2>&1 ||
        status=$?
      # The prefix's server goes with the run, not later in another test's way.
      WINEPREFIX="$PWD/build/win64/wine-prefix" wineserver -w || true
      sanitizers="none (MinGW build)"
      ;;
    *)
      ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
        "build/$preset/bin/stress_test" >"$log" 2>&1 || status=$?
      count=$(reports "$log")
      if [ "$status" -eq 0 ] && [ "$count" -eq 0 ]; then
        sanitizers="0 reports"
      else
        sanitizers="$count reports (exit $status)"
      fi
      ;;
  esac
  seconds=$(($(date +%s) - start))
  if [ "$status" -eq 0 ]; then result=passed; else result="FAILED (exit $status)"; failed=1; fi
  echo "$result in ${seconds}s, output in $log"
  s() { field "$log" STRESS: "$1"; }
  l() { field "$log" LIFECYCLE: "$1"; }
  faults="$(s faults_getChannelList) / $(s faults_getChannelVariableAsString) / $(s faults_getClientID) / $(s faults_requestClientMove)"
  rows="$rows| \`$preset\` | $result | $sanitizers | $seconds | $(s datagrams) | $(s seconds) | $(s rebuilds) | $(s moves) | $faults | $(l cycles) | $(l threads_before) / $(l threads_after) | $(l handles_before) / $(l handles_after) |
"
}

stress linux-asan
stress linux-tsan
stress win64

echo "==== fuzz (60 s per target) ===="
fuzz_status=0
sh scripts/fuzz.sh 60 >"$out/fuzz.txt" 2>&1 || fuzz_status=$?
[ "$fuzz_status" -eq 0 ] || failed=1
# "==== target (60s) ====", then libFuzzer's "#N DONE cov: C ft: F corp: K/B ..."
# and "Done N runs in S second(s)" for each target.
fuzz_rows=$(awk '
  /^==== fuzz_/ { target = $2 }
  /DONE/ { for (i = 1; i <= NF; i++) { if ($i == "cov:") cov = $(i + 1); if ($i == "ft:") ft = $(i + 1); if ($i == "corp:") corp = $(i + 1) } }
  /^Done [0-9]+ runs/ { printf "| `%s` | %s | %s | %s | %s | %s |\n", target, $2, $5, cov, ft, corp }
' "$out/fuzz.txt")
if [ "$fuzz_status" -eq 0 ]; then fuzz_result="all targets ran clean"; else fuzz_result="FAILED (exit $fuzz_status), see build/reliability/fuzz.txt"; fi

cat >RELIABILITY.md <<EOF
# Reliability figures

Written by \`scripts/reliability.sh\` on $(date -u '+%Y-%m-%d %H:%M UTC'), on a machine with
$(nproc) processors running $(uname -sr).

To reproduce: \`sh scripts/reliability.sh\` (it binds UDP port 10500; where other
programs use that port: \`unshare -rn sh -c 'ip link set lo up; sh scripts/reliability.sh'\`).
Whole outputs: \`build/reliability/\`.

## Stress test

\`tests/stress_test.cpp\` loads the real plugin library behind the host
stand-in and runs, in one program:

- **flood under faults**: 200,000 datagrams to 127.0.0.1:10500 (every 50th a
  frequency of the stand-in's channels, the others random bytes of 0 to 65,507
  bytes) while another thread sends a connection event every 3 ms and every host
  function fails with probability 0.1; log level 3. Then faults off, one more
  connection and a last frequency that must move the client. Checked: every log
  line whole; one level-0 failure line per injected failure of each function;
  one "Swithed channel" line per accepted move; one "Client connected" line per
  event; every list and name the client handed out released.
- **lifecycle**: load, init, connect, wait for the listener, one move,
  shutdown, unload; 200 cycles natively, 50 under Wine, counted after one
  warm-up cycle. Threads and open descriptors (Linux: \`/proc/self/task\`,
  \`/proc/self/fd\`) or handles (Windows: toolhelp thread snapshot,
  \`GetProcessHandleCount\`, which Wine answers with 0, so there the process's
  rows of the system handle table) must be the same before and after. On
  Windows the listener runs on a native thread since this test showed the C++
  runtime's threads (winpthreads, linked into the DLL) leaving about three
  handles behind at every cycle.
- **log taken away**: the \`zovik_plugin\` folder removed, and the log file
  replaced by a directory, while the plugin runs: moves go on, and lines come
  back once the file can be written again.
- **port held by another process**: a child process holds UDP 10500 at start;
  the plugin reports it once, binds when the test has ended the child, and a
  frequency moves the client.

Faults are injected at getChannelList / getChannelVariableAsString /
getClientID / requestClientMove.

| build | result | sanitizers | wall s | datagrams sent | flood s | connection events | moves | faults injected | cycles | threads before / after | fds or handles before / after |
|---|---|---|---|---|---|---|---|---|---|---|---|
$rows
## Fuzzing

\`sh scripts/fuzz.sh 60\` (clang, libFuzzer with AddressSanitizer+UBSan, 60 s per
target on its stored corpus): $fuzz_result.

| target | executions | seconds | coverage (cov) | features (ft) | corpus (inputs/bytes) |
|---|---|---|---|---|---|
$fuzz_rows
EOF
echo "RELIABILITY.md written"
exit "$failed"
