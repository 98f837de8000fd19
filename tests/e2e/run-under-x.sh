#!/usr/bin/env bash
# Runs one end-to-end scenario on an X display with the Wine environment the
# tests use, then stops whatever Wine left running in that prefix.
#   run-under-x.sh <wineprefix> <command> [args...]
# Without a DISPLAY it starts itself again under a fresh Xvfb of its own
# (tools/with-xvfb.sh), which stays up
# for the whole command: the program under test, the driver and the
# screenshots all share it, so the command is the whole scenario (usually a
# script that sources lib.sh beside this file).
# SETUP_LANG overrides the locale (default zh_CN.UTF-8, code page 936);
# SETUP_SCREEN the Xvfb screen (default 1920x1080x24, a laptop's panel,
# which a dialog at 150 % needs);
# SETUP_E2E_TIMEOUT the time limit of the command in seconds (default 600);
# SETUP_WINEARCH the Windows of the prefix: win64 (default; a 32-bit
# program runs there under WoW64, as on 64-bit Windows) or win32 (32-bit
# Windows, where a 32-bit program sees one registry view).
# Give each scenario family its own prefix: the final wineserver -k ends
# every Wine process of the prefix, tests of other suites in it included.
set -euo pipefail

if [ $# -lt 2 ]; then
  echo "usage: run-under-x.sh <wineprefix> <command> [args...]" >&2
  exit 2
fi
self=$(readlink -f "$0")
# A scenario of a 32-bit SetUp.exe on a machine that runs no 32-bit code:
# skipped (CTest's SKIP_RETURN_CODE), saying why, rather than failed.
tools=$(dirname "$self")/../../tools
if [ -n "${SETUP_EXE:-}" ] && [ "$("$tools/pe-machine.sh" "$SETUP_EXE")" = i386 ] && ! "$tools/runs-32bit.sh"; then
  echo "run-under-x.sh: skipped: the scenario runs a 32-bit SetUp.exe" >&2
  exit 77
fi
if [ -z "${DISPLAY:-}" ]; then
  exec "$(dirname "$self")/../../tools/with-xvfb.sh" "${SETUP_SCREEN:-1920x1080x24}" "$self" "$@"
fi

prefix=$(realpath -m "$1")
shift
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=${SETUP_WINEARCH:-win64}
export LANG="${SETUP_LANG:-zh_CN.UTF-8}" LC_ALL="${SETUP_LANG:-zh_CN.UTF-8}"
if [ "$WINEARCH" = win32 ]; then
  export SETUP_WINE=/usr/lib/wine/wine
else
  export SETUP_WINE=/usr/lib/wine/wine64
fi
E2E_DIR=$(dirname "$self")
export E2E_DIR

. "$E2E_DIR/../../tools/wine-prefix.sh"
ensure_wine_prefix

stop_wine() {
  /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  timeout 20 /usr/lib/wine/wineserver -w >/dev/null 2>&1 || true
}
trap stop_wine EXIT

set +e
timeout --kill-after=10 "${SETUP_E2E_TIMEOUT:-600}" "$@"
rc=$?
set -e
[ "$rc" -eq 124 ] && echo "run-under-x.sh: time limit of ${SETUP_E2E_TIMEOUT:-600} s reached" >&2
exit "$rc"
