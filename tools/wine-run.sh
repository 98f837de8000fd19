#!/usr/bin/env bash
# Runs a Windows program under wine64 (a 32-bit one under its WoW64) the way the tests need it:
# a Wine prefix inside the build tree, code page 936, no debug noise, and a
# time limit. CMake uses it as the cross-compiling emulator.
#   wine-run.sh prog.exe [args...]
# SETUP_WINEPREFIX overrides the prefix; SETUP_WINE_TIMEOUT the limit (s);
# SETUP_NEEDS_DISPLAY=1 gives a program that makes windows an Xvfb display
# when there is no DISPLAY.
set -euo pipefail
if [ "${SETUP_NEEDS_DISPLAY:-0}" = 1 ] && [ -z "${DISPLAY:-}" ]; then
  exec "$(dirname "$(readlink -f "$0")")/with-xvfb.sh" 1024x768x24 "$(readlink -f "$0")" "$@"
fi

prog=$1
tools=$(dirname "$(readlink -f "$0")")
# A 32-bit program on a machine that runs none: skipped (CTest's
# SKIP_RETURN_CODE), saying why, rather than failed.
if [ "$("$tools/pe-machine.sh" "$prog")" = i386 ] && ! "$tools/runs-32bit.sh"; then
  echo "wine-run.sh: skipped $(basename "$prog"): a 32-bit program" >&2
  exit 77
fi
if [ -z "${SETUP_WINEPREFIX:-}" ]; then
  dir=$(cd "$(dirname "$prog")" && pwd)
  while [ "$dir" != "/" ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  [ "$dir" = "/" ] && dir=$(cd "$(dirname "$prog")" && pwd)
  SETUP_WINEPREFIX="$dir/wineprefix"
fi

export WINEPREFIX="$SETUP_WINEPREFIX"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
wine=/usr/lib/wine/wine64

. "$(dirname "$(readlink -f "$0")")/wine-prefix.sh"
ensure_wine_prefix
# A program that makes windows needs the prefix's server on this display: a
# server left running from an earlier start holds the display it began on.
if [ "${SETUP_NEEDS_DISPLAY:-0}" = 1 ]; then
  /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  timeout 20 /usr/lib/wine/wineserver -w >/dev/null 2>&1 || true
fi

exec timeout --kill-after=10 "${SETUP_WINE_TIMEOUT:-300}" "$wine" "$@"
