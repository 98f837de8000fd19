#!/usr/bin/env bash
# Fails when a Windows binary imports a DLL that a bare Windows install lacks
# (the MinGW runtime DLLs above all): the program must run with nothing else installed.
set -euo pipefail
objdump=$1; shift
allowed='^(kernel32|advapi32|user32|gdi32|shell32|ole32|oleaut32|comctl32|comdlg32|msvcrt|shlwapi|uxtheme|version)\.dll$'
status=0
for bin in "$@"; do
  dlls=$("$objdump" -p "$bin" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
  if [ -z "$dlls" ]; then echo "$bin: no import table found"; status=1; continue; fi
  for dll in $dlls; do
    if ! [[ $dll =~ $allowed ]]; then echo "$bin imports $dll, which is not a system DLL"; status=1; fi
  done
  echo "$bin imports: $(echo $dlls)"
done
exit $status
