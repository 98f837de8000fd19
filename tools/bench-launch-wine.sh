#!/usr/bin/env bash
# Times, under Wine, how long SetUp.exe takes from its start until its dialog
# shows, next to bare_dialog.exe in the same run: the same dialog frame
# (caption, size, style, font), empty, shown by a program that does nothing
# else. Prints every run, the medians and their ratio. Runs on an X display
# in a prefix of its own:
#   tests/e2e/run-under-x.sh build/win64/bench-prefix bash tools/bench-launch-wine.sh
# RUNS: timed runs of each program (default 9), after one warm-up of each.
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
win64=build/win64
# The program as shipped: the 64-bit edition's Release build (the 32-bit
# one cannot run here). BENCH_SETUP may name another.
setup=${BENCH_SETUP:-build/acad64/SetUp.exe}
bare=$win64/tests/bench/bare_dialog.exe
driver=$win64/tests/dialog_driver.exe
runs=${RUNS:-9}
caption="V-批打印软件安装"
poll_ms=5

for f in "$setup" "$bare" "$driver"; do
  [ -f "$f" ] || { echo "$f is missing: build it first (make bench-build)"; exit 1; }
done
[ -n "${SETUP_WINE:-}" ] && [ -n "${WINEPREFIX:-}" ] && [ -n "${DISPLAY:-}" ] || {
  echo "run it under tests/e2e/run-under-x.sh build/win64/bench-prefix"; exit 1; }
case $(realpath -m "$WINEPREFIX") in
  "$(realpath -m $win64/wineprefix)" | "$(realpath -m $win64/e2e-prefix)")
    echo "the benchmark imports fixtures and ends every Wine process of its prefix:"
    echo "give it one of its own (build/win64/bench-prefix), not $WINEPREFIX"
    exit 1 ;;
esac
. tests/e2e/lib.sh

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

launch "$setup"; printf "warm-up: SetUp.exe %.3f s\n" "$seconds"
launch "$bare"; printf "warm-up: bare dialog %.3f s\n" "$seconds"
setup_times=() bare_times=()
for i in $(seq "$runs"); do
  launch "$setup"; setup_times+=("$seconds")
  launch "$bare"; bare_times+=("$seconds")
  printf 'run %d: SetUp.exe %.3f s, bare dialog %.3f s\n' "$i" "${setup_times[-1]}" "${bare_times[-1]}"
done
# The end of its input ends the driver.
exec {to_driver}>&-
wait "$driver_pid" 2>/dev/null || true

setup_median=$(median "${setup_times[@]}")
bare_median=$(median "${bare_times[@]}")
echo "(each time to within about $poll_ms ms: the driver looks for the dialog every $poll_ms ms)"
awk -v s="$setup_median" -v b="$bare_median" -v n="$runs" 'BEGIN {
  printf "launch to dialog shown: SetUp.exe %.3f s, bare dialog %.3f s, ratio %.2f (median of %d runs each)\n", s, b, s / b, n }'
