#!/usr/bin/env bash
# Times, under Wine, how long SetUp.exe takes from its start until its dialog
# shows, next to bare_dialog.exe in the same run: a program with SetUp.exe's
# own resources that shows the same dialog (the same template, all its
# controls) and does nothing else. The shipped 32-bit edition runs against a
# 32-bit baseline (under WoW64); when both 64-bit programs are there, the
# 64-bit pair is timed too. Prints every run, the medians and their ratios.
# Runs on an X display in a prefix of its own:
#   tests/e2e/run-under-x.sh build/win32/bench-prefix bash tools/bench-launch-wine.sh
# RUNS: timed runs of each program (default 9), after one warm-up of each.
# The programs (defaults in brackets; build/win32's come from the preset
# win32, targets SetUp, bare_dialog and dialog_driver):
#   BENCH_SETUP    the 32-bit SetUp.exe [build/win32/SetUp.exe]
#   BENCH_BARE     its baseline [build/win32/shipped/tests/bench/bare_dialog.exe]
#   BENCH_SETUP64  the 64-bit SetUp.exe [build/acad64/SetUp.exe]
#   BENCH_BARE64   its baseline [build/acad64/tests/bench/bare_dialog.exe]
#   BENCH_DRIVER   the dialog driver [build/win32/tests/dialog_driver.exe]
#
# How a run is timed: one dialog driver (tests/e2e/dialog_driver.cpp) runs
# for the whole benchmark, so its own start is never inside a run. The clock
# starts just before the program is started ($EPOCHREALTIME: no process of
# its own, microseconds) and stops when the driver, looking every 5 ms, first
# sees the dialog visible: the driver reads the same wall clock itself right
# then ("clock"), so the pipe back to this script adds nothing. The programs
# run one at a time, since both dialogs have the same caption.
set -euo pipefail
cd "$(dirname "$0")/.."
setup=${BENCH_SETUP:-build/win32/SetUp.exe}
bare=${BENCH_BARE:-build/win32/shipped/tests/bench/bare_dialog.exe}
setup64=${BENCH_SETUP64:-build/acad64/SetUp.exe}
bare64=${BENCH_BARE64:-build/acad64/tests/bench/bare_dialog.exe}
driver=${BENCH_DRIVER:-build/win32/tests/dialog_driver.exe}
runs=${RUNS:-9}
caption="V-批打印软件安装"
poll_ms=5

for f in "$setup" "$bare" "$driver"; do
  [ -f "$f" ] || { echo "$f is missing: build it first (make bench-build)"; exit 1; }
done
pairs=(32)
if [ -f "$setup64" ] && [ -f "$bare64" ]; then pairs+=(64); else
  echo "($setup64 or $bare64 missing: the 64-bit pair is not timed)"; fi
[ -n "${SETUP_WINE:-}" ] && [ -n "${WINEPREFIX:-}" ] && [ -n "${DISPLAY:-}" ] || {
  echo "run it under tests/e2e/run-under-x.sh build/win32/bench-prefix"; exit 1; }
case $(basename "$(realpath -m "$WINEPREFIX")") in
  wineprefix | e2e-prefix)
    echo "the benchmark imports fixtures and ends every Wine process of its prefix:"
    echo "give it one of its own (build/win32/bench-prefix), not $WINEPREFIX"
    exit 1 ;;
esac
. tests/e2e/lib.sh

# Each SetUp.exe runs as shipped, beside a Data folder (without one it
# shows only a box and ends), from a package beside the prefix.
package() {
  local dir
  dir=$(dirname "$(realpath -m "$WINEPREFIX")")/bench-package-$1
  bash tools/make-demo-package.sh "$2" "$dir" >/dev/null
  echo "$dir/SetUp.exe"
}
setup=$(package 32 "$setup")
[[ " ${pairs[*]} " == *" 64 "* ]] && setup64=$(package 64 "$setup64")

# A machine with seven AutoCAD releases, so that SetUp.exe scans a
# realistic registry, and the dialog font the tests use.
"$SETUP_WINE" regedit /S "$(e2e_winpath tests/fixtures/wine_songti.reg)"
"$SETUP_WINE" regedit /S "$(e2e_winpath tests/fixtures/selection_machine.reg)"

coproc DRIVER { exec "$SETUP_WINE" "$driver" 2>/dev/null; }
driver_pid=$DRIVER_PID to_driver=${DRIVER[1]} from_driver=${DRIVER[0]}

# answer: the driver's next line, in $got; a failure or silence ends the run.
answer() {
  if ! IFS= read -r -t 60 got <&"$from_driver"; then
    echo "the dialog driver stopped answering" >&2; exit 1
  fi
  got=${got%$'\r'}
  case $got in FAIL:*) echo "dialog driver: $got" >&2; exit 1 ;; esac
}
# The driver has started once it answers.
printf 'codepage\n' >&"$to_driver"
answer

# launch <exe>: starts the program, waits for its dialog, closes it and
# waits for the program's end; leaves the seconds from start to dialog in
# $seconds.
launch() {
  local start end app
  start=${EPOCHREALTIME/,/.}
  "$SETUP_WINE" "$1" </dev/null >/dev/null 2>&1 {to_driver}>&- {from_driver}<&- &
  app=$!
  printf '%s\n' "wait-dialog \"$caption\" 30 $poll_ms" clock >&"$to_driver"
  answer                 # dialog <hwnd> pid=<pid>
  answer                 # clock <seconds>
  end=${got#clock }
  printf '%s\n' close 'wait-exit 30' >&"$to_driver"
  answer
  answer                 # exited code=<n>
  wait "$app" || true
  seconds=$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.4f", e - s }')
}

median() { printf '%s\n' "$@" | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

# time_pair <bits> <setup> <bare>: the warm-ups and the timed runs of one
# pair, alternating; leaves the medians in setup_median and bare_median.
time_pair() {
  local bits=$1 i
  local -a setup_times=() bare_times=()
  launch "$2"; printf "warm-up: %s-bit SetUp.exe %.3f s\n" "$bits" "$seconds"
  launch "$3"; printf "warm-up: %s-bit bare dialog %.3f s\n" "$bits" "$seconds"
  for i in $(seq "$runs"); do
    launch "$2"; setup_times+=("$seconds")
    launch "$3"; bare_times+=("$seconds")
    printf 'run %d: %s-bit SetUp.exe %.3f s, bare dialog %.3f s\n' "$i" "$bits" "${setup_times[-1]}" "${bare_times[-1]}"
  done
  setup_median=$(median "${setup_times[@]}")
  bare_median=$(median "${bare_times[@]}")
}

results=()
for bits in "${pairs[@]}"; do
  if [ "$bits" = 32 ]; then time_pair 32 "$setup" "$bare"; else time_pair 64 "$setup64" "$bare64"; fi
  results+=("$bits $setup_median $bare_median")
done
# The end of its input ends the driver.
exec {to_driver}>&-
wait "$driver_pid" 2>/dev/null || true

echo "(each time to within about $poll_ms ms: the driver looks for the dialog every $poll_ms ms)"
for result in "${results[@]}"; do
  read -r bits s b <<<"$result"
  awk -v bits="$bits" -v s="$s" -v b="$b" -v n="$runs" 'BEGIN {
    printf "launch to dialog shown, %d-bit: SetUp.exe %.3f s, bare dialog %.3f s, ratio %.2f (median of %d runs each)\n",
      bits, s, b, s / b, n }'
done
