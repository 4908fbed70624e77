#!/bin/sh
# Measured speed: builds the release presets bench-linux and bench-win64,
# measures zovik_linux_amd64.so natively and zovik_win64.dll under Wine,
# prints the table and writes it to BENCHMARKS.md with the machine, the date
# and bench/method.md. Binds UDP port 10500; the test command never runs it.
# Layout: the measured process (under Wine with its wineserver) on CPU 1, the
# sender on CPU 0. ZOVIK_BENCH_REPETITIONS sets the runs of each figure (5).
# `sh scripts/bench.sh dcs` measures only the game side (the export script in
# the mock game, and the chain to the plugin) and replaces only its section.
set -eu
cd "$(dirname "$0")/.."
mode=${1:-all}
case "$mode" in
  all | dcs) ;;
  *) echo "usage: bench.sh [dcs]" >&2; exit 2 ;;
esac
sh scripts/install-deps.sh

reps=${ZOVIK_BENCH_REPETITIONS:-5}
load_before=$(cut -d ' ' -f 1-3 /proc/loadavg)
idle_reps=$(( reps < 3 ? reps : 3 ))
if [ "$(nproc)" -ge 2 ]; then
  measured=1
  sender=0
  layout="measured process (under Wine with its wineserver) on CPU 1, sender on CPU 0"
else
  measured=0
  sender=0
  layout="one processor: measured process, wineserver and sender all on CPU 0"
fi

echo "== building the release presets bench-linux and bench-win64"
if [ "$mode" = all ]; then
  linux_targets="zovik_plugin zovik_host zovik_bench zovik_bench_listener zovik_bench_store
    zovik_bench_datagram zovik_bench_datagram_without_controls"
  win_targets="zovik_plugin zovik_host zovik_bench"
else
  linux_targets="zovik_plugin zovik_host"
  win_targets="zovik_plugin zovik_host"
fi
cmake --preset bench-linux >/dev/null
# shellcheck disable=SC2086
cmake --build build/bench-linux --parallel 2 --target $linux_targets >/dev/null
cmake --preset bench-win64 >/dev/null
# shellcheck disable=SC2086
cmake --build build/bench-win64 --parallel 2 --target $win_targets >/dev/null

lin=build/bench-linux/bin
win=build/bench-win64/bin
prefix="$(pwd)/build/bench-win64/wine-prefix"
log=build/bench-linux/bench.log
work=$(mktemp -d)
rows="$work/rows.md"
: >"$log"

# Under Wine the wineserver creates the sockets and serves every wait and
# receive: one of our own, pinned beside the measured process, serves every
# Windows run, and its CPU time counts on the receiving side.
sh cmake/wine-run.sh "$prefix"
WINEPREFIX="$prefix" WINEDEBUG=-all taskset -c "$measured" wineserver -f -p &
wineserver_pid=$!
trap 'WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
sleep 1
if ! kill -0 "$wineserver_pid" 2>/dev/null; then
  echo "bench: a wineserver already serves $prefix; stop it first" >&2
  exit 1
fi

native_bench() { taskset -c "$measured" "$lin/zovik_bench" "$@"; }
wine_bench() { taskset -c "$measured" sh cmake/wine-run.sh "$prefix" "$win/zovik_bench.exe" "$@"; }
listener() { taskset -c "$sender" "$lin/zovik_bench_listener" "$@"; }
wine_build="zovik_win64.dll, Wine"

failed=0
# figure TITLE COMMAND...: the command's rows go to the table, its messages
# to the log; a command that fails leaves a row that says so.
figure() {
  title=$1
  shift
  echo "== $title"
  if "$@" >"$work/out" 2>>"$log"; then
    tr -d '\r' <"$work/out" | tee -a "$rows"
  else
    echo "| $title | | failed: see $log | | | | **failed** |" | tee -a "$rows"
    failed=1
  fi
}

if [ "$mode" = all ]; then
figure "1 steady radio, native" listener steady --repetitions "$reps" \
  -- taskset -c "$measured" "$lin/zovik_bench"
figure "1 steady radio, Wine" listener steady --repetitions "$reps" --count 500 --interval-us 1000 \
  --build "$wine_build" --wineserver "$wineserver_pid" \
  -- taskset -c "$measured" sh cmake/wine-run.sh "$prefix" "$win/zovik_bench.exe"
figure "2 radio change, native" native_bench change --repetitions "$reps"
figure "2 radio change, Wine" wine_bench change --repetitions "$reps"
figure "3 and 6 store, native" taskset -c "$measured" "$lin/zovik_bench_store" --benchmark_color=false
figure "10 pilot's controls, native" sh bench/store/datagram_row.sh "$measured" \
  "$lin/zovik_bench_datagram" "$lin/zovik_bench_datagram_without_controls"
figure "4 idle, native" listener idle --repetitions "$idle_reps" \
  -- taskset -c "$measured" "$lin/zovik_bench"
figure "4 idle, Wine" listener idle --repetitions "$idle_reps" \
  --build "$wine_build" --wineserver "$wineserver_pid" \
  -- taskset -c "$measured" sh cmake/wine-run.sh "$prefix" "$win/zovik_bench.exe"
figure "5 shutdown, native" native_bench shutdown --repetitions "$reps"
figure "5 shutdown, Wine" wine_bench shutdown --repetitions "$reps"

{
  echo "# Benchmarks"
  echo
  echo "Written by \`sh scripts/bench.sh\` on $(date -u '+%Y-%m-%d %H:%M UTC')."
  echo
  echo "| machine | |"
  echo "|---|---|"
  echo "| processors (nproc) | $(nproc) |"
  echo "| CPU | $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1) |"
  echo "| system | $(uname -sr) |"
  echo "| Wine | $(wine --version 2>/dev/null) |"
  echo "| load average before, after | $load_before; $(cut -d ' ' -f 1-3 /proc/loadavg) |"
  echo "| layout | $layout |"
  echo "| runs | $reps of each figure ($idle_reps of idle); median (min–max) over them |"
  echo
  echo "| figure | build | measured | same-run baseline | result | target | verdict |"
  echo "|---|---|---|---|---|---|---|"
  # In figure order; a figure's rows keep their order.
  sort -s -t '|' -k 2,2n "$rows"
  echo
  cat bench/method.md
  echo
} >"$work/plugin.md"
else
  # Keep the plugin's figures as they were written last.
  sed '/^## Game side/,$d' BENCHMARKS.md >"$work/plugin.md"
fi

# The game side. The frame figures run in the Lua of the export script's
# tests, on the measured CPU; the chains fly the mock game in real time
# against the release builds, natively and under Wine.
game_rows="$work/game_rows.md"
: >"$game_rows"
game_load_before=$(cut -d ' ' -f 1-3 /proc/loadavg)
game_figure() {
  title=$1
  shift
  echo "== $title"
  if "$@" >"$work/out" 2>>"$log"; then
    tr -d '\r' <"$work/out" | grep '^|' | tee -a "$game_rows"
  else
    echo "| $title | | failed: see $log | | | | **failed** |" | tee -a "$game_rows"
    failed=1
  fi
}
# chain_row BUILD LABEL COMMAND...: the latency line of one chain run.
chain_row() {
  build=$1
  shift
  ZOVIK_CHAIN_TURNS=40 sh tests/dcs/chain_test.sh lua5.1 "$@" >"$work/chain" 2>&1 || {
    cat "$work/chain" >>"$log"
    return 1
  }
  sed -n 's/^datagram -> requestClientMove: median \([0-9.]*\) ms, max \([0-9.]*\) ms over \([0-9]*\) moves.*/| G5 Datagram sent → requestClientMove, wall clock (\3 moves: knob turns and changes of seat in the mock game) | '"$build"' | median \1 ms · max \2 ms | — | median \1 ms | reported | reported |/p' "$work/chain"
}
game_figure "G1-G4, G6, G7 export script in the mock game" \
  taskset -c "$measured" lua5.1 bench/dcs/frame_bench.lua dcs/Scripts/ZOVIK
game_figure "G5 chain, native" chain_row "zovik_linux_amd64.so, native" "$lin/zovik_host"
game_figure "G5 chain, Wine" chain_row "$wine_build" "$win/zovik_host.exe" cmake/wine-run.sh "$prefix"

{
  cat "$work/plugin.md"
  echo "## Game side: the DCS World export script"
  echo
  echo "Written by \`sh scripts/bench.sh$([ "$mode" = dcs ] && echo ' dcs')\` on $(date -u '+%Y-%m-%d %H:%M UTC'); load average"
  echo "before, after: $game_load_before; $(cut -d ' ' -f 1-3 /proc/loadavg). $(lua5.1 -v 2>&1 | cut -d ' ' -f 1-2)."
  if awk -v load="${game_load_before%% *}" 'BEGIN { exit !(load > 1) }'; then
    echo "Other work was running on the machine during these figures (see the load"
    echo "average): read the spreads."
  fi
  echo
  echo "| figure | build | measured | same-run baseline | result | target | verdict |"
  echo "|---|---|---|---|---|---|---|"
  cat "$game_rows"
  echo
  cat bench/dcs/method.md
} >"$work/BENCHMARKS.md"
mv "$work/BENCHMARKS.md" BENCHMARKS.md
echo
sed -n '/^| figure /,/^$/p' BENCHMARKS.md
echo "written to BENCHMARKS.md (messages of the measuring programs: $log)"
exit "$failed"
