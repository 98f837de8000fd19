#!/usr/bin/env bash
# Times ScanReleases against the real registry under Wine, on a synthetic
# tree of about 11,700 keys, next to `reg query ... /s` over the same tree
# in the same run, and prints the ratio of the median wall times (each
# includes one Wine process start).
set -euo pipefail
cd "$(dirname "$0")/.."
native=build/native win32=build/win32
runs=${RUNS:-5}
[ -x $native/tests/bench/make_scan_tree ] && [ -f $win32/tests/bench/scan_once.exe ] || {
  echo "build the native and win32 presets first (make native win32)"; exit 1; }

export SETUP_WINEPREFIX=$PWD/$win32/wineprefix
run=tools/wine-run.sh
tree=$PWD/$win32/tests/bench/scan_tree.reg
$native/tests/bench/make_scan_tree "$tree"
$run regedit /S "Z:${tree//\//\\}"

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
time_runs() {
  for _ in $(seq "$runs"); do
    local start end
    start=$(date +%s.%N); "$@" >/dev/null; end=$(date +%s.%N)
    echo "$end - $start" | bc -l
  done | median
}

$run $win32/tests/bench/scan_once.exe   # warm the prefix
echo "scan_once: $($run $win32/tests/bench/scan_once.exe)"
scan=$(time_runs $run $win32/tests/bench/scan_once.exe)
query=$(time_runs $run reg query 'HKLM\SOFTWARE\Autodesk\AutoCAD' /s)
printf 'median of %d runs: ScanReleases process %.3f s, reg query /s %.3f s, ratio scan/reg = %.2f\n' \
  "$runs" "$scan" "$query" "$(echo "$scan / $query" | bc -l)"
# Leave the prefix without the synthetic tree for the tests.
$run regedit /S "Z:$(cd tests/fixtures && pwd | tr / '\\')\\empty_machine.reg"
