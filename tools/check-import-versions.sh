#!/usr/bin/env bash
# Holds every function a shipped SetUp.exe imports against the list in
# tools/windows-imports.txt: a function without an entry, or one that came
# after the edition's minimum Windows version, fails. An edition that
# imported, say, GetTickCount64 (Vista) would not start on Windows XP.
#   check-import-versions.sh OBJDUMP TABLE MINIMUM EXE...
set -euo pipefail
objdump=$1 table=$2 minimum=$3; shift 3
status=0
for exe in "$@"; do
  imports=$("$objdump" -p "$exe" | awk '
    /DLL Name:/ { dll = tolower($3); next }
    dll != "" && NF == 3 && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ { print dll, $3 }' | sort -u)
  [ -n "$imports" ] || { echo "$exe: no imported functions found"; status=1; continue; }
  count=0
  while read -r dll fn; do
    count=$((count + 1))
    version=$(awk -v d="$dll" -v f="$fn" '$1 == d && $2 == f { print $3; exit }' "$table")
    if [ -z "$version" ]; then
      echo "$exe imports $dll!$fn, which has no entry in $table"; status=1
    elif awk -v v="$version" -v m="$minimum" 'BEGIN { exit !(v + 0 > m + 0) }'; then
      echo "$exe imports $dll!$fn, which needs Windows $version (the edition starts on $minimum)"; status=1
    fi
  done <<<"$imports"
  newest=$(while read -r dll fn; do
    awk -v d="$dll" -v f="$fn" '$1 == d && $2 == f { print $3 }' "$table"; done <<<"$imports" | sort -g | tail -n 1)
  echo "$exe: $count functions, the newest from Windows ${newest:-?} (minimum $minimum)"
done
exit $status
