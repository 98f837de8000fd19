#!/usr/bin/env bash
# The size of each shipped SetUp.exe, the bytes of each of its sections, and
# its ratio to the 262,144 bytes (256 KB) the 32-bit edition is held to (it
# is downloaded and mailed around on its own).
set -euo pipefail
cd "$(dirname "$0")/.."
goal=262144
for exe in build/win32/SetUp.exe build/acad64/SetUp.exe; do
  [ -f "$exe" ] || { echo "$exe is missing: build it first (make bench-build)"; exit 1; }
  size=$(stat -c %s "$exe")
  # Each section's size as objdump gives it (the bytes it holds; .bss
  # takes none in the file); a name of nine letters is cut to eight.
  sections=$(x86_64-w64-mingw32-objdump -h "$exe" | awk '/^ +[0-9]+ /{ print $2, $3 }' |
    while read -r name hex; do printf '%s %d, ' "$name" "$((16#$hex))"; done)
  awk -v e="$exe" -v s="$size" -v g="$goal" -v d="${sections%, }" 'BEGIN {
    printf "%s: %d bytes (%.1f KB), %.3f of %d; sections: %s\n", e, s, s / 1024, s / g, g, d }'
done
