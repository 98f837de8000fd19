#!/usr/bin/env bash
# Times the data copy (CPackageCopy::CopyDataFolder with the system's file
# system, in copy_once.exe) under Wine against `xcopy` of the same package
# folder in the same run, and prints the ratio of the median wall times
# (each includes one Wine process start).
#
# The scene, in build/win32/copy-bench/: copy_once.exe with a Data folder
# beside it holding 99 files, 50 MB in all (a few big files, the add-on
# modules of each release, many small data files), the same bytes on every
# run. Neither job copies more than the other: no excluded name and no
# settings file is in the package.
#   RUNS=7 bash tools/bench-copy-wine.sh
set -euo pipefail
cd "$(dirname "$0")/.."
win32=build/win32
runs=${RUNS:-7}
[ -f $win32/tests/bench/copy_once.exe ] || { echo "build the win32 preset first (make win32)"; exit 1; }
command -v openssl >/dev/null || { echo "openssl is needed to write the package's contents"; exit 1; }

export SETUP_WINEPREFIX=$PWD/$win32/wineprefix
run=tools/wine-run.sh
scene=$PWD/$win32/copy-bench
data=$scene/Data
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# ---- The package ------------------------------------------------------------
# Name and size of each file; the last data file takes what is left of 50 MB.
total=$((50 * 1024 * 1024))
manifest() {
  awk -v total=$total 'BEGIN {
    split("10485760 8388608 6291456", big, " ")
    n = 0; used = 0
    names[++n] = "Velkor_Symbols.dat";  sizes[n] = big[1]
    names[++n] = "Velkor_Library.dwg";  sizes[n] = big[2]
    names[++n] = "Velkor_Help.chm";     sizes[n] = big[3]
    for (y = 2007; y <= 2027; y++) { names[++n] = "VK_VidudOvev" y ".ARX"; sizes[n] = 393216 + (y - 2007) * 16384 }
    for (y = 2007; y <= 2027; y++) { names[++n] = "ACAD" y "P.dll";        sizes[n] = 196608 + (y - 2007) * 8192 }
    for (i = 1; i < 54; i++) {
      names[++n] = sprintf("Velkor_%02d.%s", i, (i % 3 == 0) ? "dwg" : (i % 3 == 1) ? "ctb" : "lin")
      sizes[n] = 2048 + (i * 7919 * 31) % 350000
    }
    for (i = 1; i <= n; i++) used += sizes[i]
    names[++n] = "Velkor_Plot.pc3"; sizes[n] = total - used
    if (sizes[n] <= 0) { print "the sizes overrun 50 MB" > "/dev/stderr"; exit 1 }
    for (i = 1; i <= n; i++) print names[i], sizes[i]
  }'
}
mkdir -p "$scene"
manifest > "$scene/manifest.new"
files=$(wc -l < "$scene/manifest.new")
[ "$files" -eq 99 ] || { echo "the package should hold 99 files, not $files"; exit 1; }

# Written again only when missing or different: each file is an AES-CTR
# stream under a fixed key and the file's number as counter, so the bytes
# never change between runs or machines.
if ! cmp -s "$scene/manifest.new" "$scene/manifest" || [ "$(ls "$data" 2>/dev/null | wc -l)" -ne 99 ]; then
  rm -rf "$data" && mkdir -p "$data"
  i=0
  while read -r name size; do
    i=$((i + 1))
    openssl enc -aes-128-ctr -nosalt -K 5365745570426564436f707942656e63 -iv "$(printf '%032x' "$i")" \
      < /dev/zero 2>/dev/null | head -c "$size" > "$data/$name" || true
    [ "$(stat -c %s "$data/$name")" -eq "$size" ] || { echo "could not write $name"; exit 1; }
  done < "$scene/manifest.new"
fi
mv "$scene/manifest.new" "$scene/manifest"
cp $win32/tests/bench/copy_once.exe "$scene/"
mkdir -p "$scene/Empty"   # the xcopy start without a copy
[ "$(du -cb "$data"/* | tail -1 | cut -f1)" -eq $total ] || { echo "the package is not 50 MB"; exit 1; }

# ---- The runs ---------------------------------------------------------------
target_copy=$scene/out-copy target_xcopy=$scene/out-xcopy target_empty=$scene/out-empty
samples=(Velkor_Symbols.dat VK_VidudOvev2010.ARX ACAD2027P.dll Velkor_01.ctb Velkor_Plot.pc3)
names=($(cut -d' ' -f1 "$scene/manifest"))

# The target holds the 99 files, 50 MB, and the samples (one of them
# changing from run to run) are byte for byte the package's.
verify() {
  local target=$1 run=$2 count size
  count=$(find "$target" -maxdepth 1 -type f | wc -l)
  size=$(du -cb "$target"/* | tail -1 | cut -f1)
  [ "$count" -eq 99 ] && [ "$size" -eq $total ] || {
    echo "$target: $count files, $size bytes after run $run; expected 99 files, $total bytes"; exit 1; }
  for name in "${samples[@]}" "${names[$((run * 13 % 99))]}"; do
    cmp -s "$data/$name" "$target/$name" || { echo "$target/$name differs from the package"; exit 1; }
  done
}
fresh() { rm -rf "$1"; sync; }
now() { date +%s.%N; }

# One job: prints its wall time in seconds (and copy_once's own line to fd 3).
job_copy() {
  local start end out
  fresh "$target_copy"
  start=$(now)
  out=$($run "$scene/copy_once.exe" "$(winpath "$target_copy")") || { echo "copy_once failed: $out" >&2; exit 1; }
  end=$(now)
  echo "$out" >&3
  echo "$end - $start" | bc -l
}
job_xcopy() {
  local start end
  fresh "$target_xcopy"
  start=$(now)
  $run xcopy "$(winpath "$data")" "$(winpath "$target_xcopy")\\" /Y /Q /I >/dev/null || { echo "xcopy failed" >&2; exit 1; }
  end=$(now)
  echo "$end - $start" | bc -l
}
job_empty() {
  local start end
  fresh "$target_empty"
  start=$(now); $run xcopy "$(winpath "$scene/Empty")" "$(winpath "$target_empty")\\" /Y /Q /I >/dev/null 2>&1 || true
  end=$(now)
  echo "$end - $start" | bc -l
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# Warm-up: the prefix, the wineserver and the package's pages.
job_copy 3>/dev/null >/dev/null; verify "$target_copy" 0
job_xcopy >/dev/null; verify "$target_xcopy" 0
job_empty >/dev/null

copy_walls=() xcopy_walls=() empty_walls=() inside=()
for r in $(seq "$runs"); do
  # The order alternates so that neither job always follows the other.
  if [ $((r % 2)) -eq 1 ]; then
    c=$(job_copy 3>"$scene/copy_once.out"); x=$(job_xcopy)
  else
    x=$(job_xcopy); c=$(job_copy 3>"$scene/copy_once.out")
  fi
  verify "$target_copy" "$r"; verify "$target_xcopy" "$r"
  e=$(job_empty)
  line=$(tr -d '\r' < "$scene/copy_once.out")
  ms=$(sed -n 's/^copy \([0-9.]*\) ms.*/\1/p' <<<"$line")
  steps=$(sed -n 's/.*, \([0-9]*\) steps$/\1/p' <<<"$line")
  [ -n "$ms" ] || { echo "copy_once said: $line"; exit 1; }
  copy_walls+=("$c") xcopy_walls+=("$x") empty_walls+=("$e") inside+=("$ms")
  printf 'run %d: CPackageCopy %.3f s (inside %.1f ms, %s steps), xcopy %.3f s, empty xcopy %.3f s\n' \
    "$r" "$c" "$ms" "$steps" "$x" "$e"
done
rm -rf "$target_copy" "$target_xcopy" "$target_empty" "$scene/copy_once.out"

copy=$(printf '%s\n' "${copy_walls[@]}" | median)
xcopy=$(printf '%s\n' "${xcopy_walls[@]}" | median)
empty=$(printf '%s\n' "${empty_walls[@]}" | median)
in_ms=$(printf '%s\n' "${inside[@]}" | median)
printf 'data copy of 99 files, 50 MB: CPackageCopy %.3f s, xcopy %.3f s, ratio %.2f (median of %d runs each, wall clock including one Wine process start each)\n' \
  "$copy" "$xcopy" "$(echo "$copy / $xcopy" | bc -l)" "$runs"
# Without the process starts: copy_once's own clock around CopyDataFolder,
# against xcopy's wall time less that of an xcopy of an empty folder.
net=$(echo "$xcopy - $empty" | bc -l)
if [ "$(echo "$net > 0.010" | bc -l)" -eq 1 ]; then
  printf 'copy alone: CopyDataFolder %.3f s (its own clock), xcopy %.3f s (%.3f s less %.3f s for an empty folder), ratio %.2f\n' \
    "$(echo "$in_ms / 1000" | bc -l)" "$net" "$xcopy" "$empty" "$(echo "$in_ms / 1000 / $net" | bc -l)"
else
  printf 'copy alone: CopyDataFolder %.3f s (its own clock); xcopy less its start (%.3f s) is too short to compare\n' \
    "$(echo "$in_ms / 1000" | bc -l)" "$empty"
fi
