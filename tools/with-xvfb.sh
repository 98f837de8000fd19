#!/usr/bin/env bash
# Runs a command on an Xvfb display of its own:
#   with-xvfb.sh <screen> <command> [args...]     screen e.g. 1920x1080x24
# Tests run side by side: the display number is taken under a lock, the
# first one free from 100 on, and held until the command ends (xvfb-run -a
# lets two callers that start together pick the same one).
set -euo pipefail
screen=$1
shift
lock=/tmp/.setup-xvfb.lock
exec 8>"$lock"
flock 8
n=100
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 "$screen" -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
waited=0
until [ -e "/tmp/.X11-unix/X$n" ]; do
  if ! kill -0 "$xvfb" 2>/dev/null || [ "$waited" -ge 100 ]; then
    echo "with-xvfb.sh: Xvfb :$n did not start" >&2
    exit 1
  fi
  sleep 0.1
  waited=$((waited + 1))
done
flock -u 8
exec 8>&-
trap 'kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true' EXIT
set +e
DISPLAY=":$n" "$@"
rc=$?
exit "$rc"
