#!/usr/bin/env bash
# The size of each shipped SetUp.exe, its sections, and its ratio to the
# 256 KB the 32-bit edition is held to (it is downloaded and mailed around
# on its own).
set -euo pipefail
cd "$(dirname "$0")/.."
goal=$((256 * 1024))
for exe in build/win32/SetUp.exe build/acad64/SetUp.exe; do
  [ -f "$exe" ] || { echo "$exe is missing: build it first (make bench-build)"; exit 1; }
  size=$(stat -c %s "$exe")
  sections=$(x86_64-w64-mingw32-objdump -h "$exe" | awk '/^ +[0-9]+ /{ print $2, $3 }' |
    while read -r name hex; do printf '%s %d KB, ' "$name" $(((16#$hex + 1023) / 1024)); done)
  awk -v e="$exe" -v s="$size" -v g="$goal" -v d="${sections%, }" 'BEGIN {
    printf "%s: %d bytes (%.0f KB), %.2f of 256 KB; %s\n", e, s, s / 1024, s / g, d }'
done
