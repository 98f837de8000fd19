#!/usr/bin/env bash
# make demo: SetUp.exe on a demo machine under Wine. Lays out the package
# (SetUp.exe beside a generated Data folder) in build/demo, gives a Wine
# prefix of its own the demo machine's AutoCAD releases
# (tests/fixtures/selection_machine.reg: 2007 under Wow6432Node, 2008, 2010
# under both roots, 2011, 2014, and 2018 and 2024, which the 32-bit edition
# does not offer), and runs SetUp.exe.
# With a DISPLAY the dialog is yours to use; without one it runs under Xvfb
# and a screenshot of the selection view is taken.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
win64=$root/build/win64
demo=$root/build/demo
for f in "$win64/SetUp.exe" "$win64/tests/dialog_driver.exe"; do
  [ -f "$f" ] || { echo "demo: $f is missing (make win64)"; exit 1; }
done
mkdir -p "$demo"
bash tools/make-demo-package.sh "$win64/SetUp.exe" "$demo/package"

cat >"$demo/scenario.sh" <<'SCENARIO'
set -euo pipefail
. "$E2E_DIR/lib.sh"
"$SETUP_WINE" regedit /S "$(e2e_winpath "$FIXTURES/wine_songti.reg")"
"$SETUP_WINE" regedit /S "$(e2e_winpath "$FIXTURES/selection_machine.reg")"
export SETUP_DESKTOP=1
if [ "$INTERACTIVE" = 1 ]; then
  echo "demo: SetUp.exe is on your display; close it to end the demo"
  start_app "$DEMO/package/SetUp.exe"
  wait_app 86400 || true
  exit 0
fi
start_app "$DEMO/package/SetUp.exe"
drive <<'CMDS' >/dev/null
wait-dialog "V-批打印软件安装" 60
sleep 500
CMDS
screenshot "$DEMO/selection_view.png"
drive <<'CMDS' >/dev/null
wait-dialog "V-批打印软件安装" 10
click 2
wait-exit 30
CMDS
wait_app 30 || true
SCENARIO

interactive=0
[ -n "${DISPLAY:-}" ] && interactive=1
export E2E_DRIVER=$win64/tests/dialog_driver.exe FIXTURES=$root/tests/fixtures DEMO=$demo INTERACTIVE=$interactive
SETUP_E2E_TIMEOUT=86400 bash tests/e2e/run-under-x.sh "$demo/wineprefix" bash "$demo/scenario.sh"
if [ "$interactive" = 0 ]; then
  echo "demo: the selection view on the demo machine: $demo/selection_view.png"
fi
