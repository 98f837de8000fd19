#!/usr/bin/env bash
# make demo: SetUp.exe on a demo machine under Wine. Lays out the package
# (SetUp.exe beside a generated Data folder) in build/demo, gives a Wine
# prefix of its own the demo machine's AutoCAD releases
# (tests/fixtures/selection_machine.reg: 2007 under Wow6432Node, 2008, 2010
# under both roots, 2011, 2014, and 2018 and 2024, which the 32-bit edition
# does not offer), and runs SetUp.exe.
# The demo machine is a 32-bit Windows (a win32 prefix), where the 32-bit
# edition sees both AutoCAD roots as they stand.
# With a DISPLAY the dialog is yours to use; without one it runs under Xvfb:
# a screenshot of the selection view, then a whole install into D:\Tools
# (a folder of the prefix), a screenshot of the completion view, and a
# list of what was written where.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
win32=$root/build/win32
demo=$root/build/demo
for f in "$win32/SetUp.exe" "$win32/tests/dialog_driver.exe"; do
  [ -f "$f" ] || { echo "demo: $f is missing (make win32)"; exit 1; }
done
mkdir -p "$demo"
# A prefix of another Windows (an earlier demo's 64-bit one) is made anew.
if [ -f "$demo/wineprefix/system.reg" ] && ! grep -q '^#arch=win32' "$demo/wineprefix/system.reg"; then
  rm -rf "$demo/wineprefix"
fi
bash tools/make-demo-package.sh "$win32/SetUp.exe" "$demo/package"

cat >"$demo/scenario.sh" <<'SCENARIO'
set -euo pipefail
. "$E2E_DIR/lib.sh"
"$SETUP_WINE" regedit /S "$(e2e_winpath "$FIXTURES/wine_songti.reg")"
"$SETUP_WINE" regedit /S "$(e2e_winpath "$FIXTURES/selection_machine.reg")"
# The AutoCAD folders the registry names, and a D: drive.
c=$WINEPREFIX/drive_c
for folder in "Program Files (x86)/AutoCAD 2007" "Program Files/AutoCAD 2008" "Program Files/AutoCAD 2010" \
  "Program Files (x86)/AutoCAD 2010" "Program Files/AutoCAD 2011" "Program Files/Autodesk/AutoCAD 2014"; do
  mkdir -p "$c/$folder/Fonts" "$c/$folder/Drv"
done
mkdir -p "$WINEPREFIX/drive_d"
ln -sfn "$WINEPREFIX/drive_d" "$WINEPREFIX/dosdevices/d:"
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
settext 1000 D:\Tools
click 1022
expect 1023 visible=1
sleep 500
CMDS
screenshot "$DEMO/completion_view.png"
drive <<'CMDS' >/dev/null
wait-dialog "V-批打印软件安装" 10
click 1
wait-exit 30
CMDS
wait_app 30 || true

echo "== What the install wrote (paths in the Wine prefix $WINEPREFIX) =="
echo "-- the package in D:\Tools\V-VidudOvev:"
ls "$WINEPREFIX/drive_d/Tools/V-VidudOvev" | sed 's/^/   /'
echo "-- the settings file:"
(cd "$c" && find users -name Velkor.Ini | sed 's/^/   C:\\/; s|/|\\|g')
echo "-- into the AutoCAD folders:"
(cd "$c" && find "Program Files" "Program Files (x86)" -path '*AutoCAD*' -type f | sort | sed 's/^/   C:\\/; s|/|\\|g')
echo "-- the registry:"
for root in 'HKEY_LOCAL_MACHINE\SOFTWARE\Autodesk' 'HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Autodesk' \
  'HKEY_CURRENT_USER\SOFTWARE\Autodesk'; do
  "$SETUP_WINE" regedit /E "$(e2e_winpath "$DEMO/export.reg")" "$root"
  iconv -f UTF-16LE -t UTF-8 "$DEMO/export.reg" | tr -d '\r' |
    grep -E '^\[.*(Applications|Variables)|"(LOADER|LOADCTRLS|MANAGED|TRUSTEDPATHS)"' | sed 's/^/   /'
done
SCENARIO

interactive=0
[ -n "${DISPLAY:-}" ] && interactive=1
export E2E_DRIVER=$win32/tests/dialog_driver.exe SETUP_WINEARCH=win32 FIXTURES=$root/tests/fixtures DEMO=$demo INTERACTIVE=$interactive
SETUP_E2E_TIMEOUT=86400 bash tests/e2e/run-under-x.sh "$demo/wineprefix" bash "$demo/scenario.sh"
if [ "$interactive" = 0 ]; then
  echo "demo: the selection view on the demo machine: $demo/selection_view.png"
  echo "demo: the completion view after the install:  $demo/completion_view.png"
fi
