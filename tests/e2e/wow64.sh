#!/usr/bin/env bash
# The shipped 32-bit edition on 64-bit Windows, under Wine's WoW64, beside
# 64-bit AutoCAD (tests/fixtures/wow64_machine.reg: 32-bit 2008, 2010 and
# 2012 below Wow6432Node; 64-bit 2010, 2014 and 2020). Each row is one run
# and what it must leave:
#  1. the dialog offers 2008, 2010 and 2012 only, and installs into D:\Tools:
#     support files in the 32-bit AutoCAD folders alone, demand-load entries
#     below Wow6432Node alone, the 64-bit view as it was, and the Programs
#     and Features entry below Wow6432Node;
#  2. that entry's QuietUninstallString: 0, the machine as before;
#  3. SetUp.exe /S /D=D:\Tools: 0, as the dialog's install; its quiet
#     uninstall: 0, the machine as before;
#  4. only 64-bit AutoCAD: the dialog's "nothing to offer" notice names the
#     64-bit releases and the other edition; /S ends with 7 and makes nothing;
#  5. in the 64-bit edition's build (SETUP_EDITION_BITS=64), instead of the
#     rows above: both editions side by side (SETUP_EXE32 beside SETUP_EXE).
# Run by run-under-x.sh with SETUP_WINEARCH=win64. Environment: E2E_DRIVER,
# SETUP_EXE, SETUP_FIXTURES, SETUP_ARTEFACTS, SETUP_SOURCE.
set -euo pipefail
. "$E2E_DIR/lib.sh"
art=$SETUP_ARTEFACTS/wow64
rm -rf "$art"
mkdir -p "$art"
export E2E_LOG=$art/driver.log
fail() { echo "FAIL: $*"; exit 1; }

c=$WINEPREFIX/drive_c
folders32=("Program Files (x86)/AutoCAD 2008" "Program Files (x86)/AutoCAD 2010" "Program Files (x86)/AutoCAD 2012")
folders64=("Program Files/AutoCAD 2010" "Program Files/Autodesk/AutoCAD 2014" "Program Files/Autodesk/AutoCAD 2020")
uninstall_key='SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\V-VidudOvev'
entry32="HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\V-VidudOvev"

machine() {
  rm -rf "$WINEPREFIX/drive_d" "$c/ProgramData/V-VidudOvev"
  local folder
  for folder in "${folders32[@]}" "${folders64[@]}"; do
    rm -rf "${c:?}/$folder"
    mkdir -p "$c/$folder/Fonts" "$c/$folder/Drv"
  done
  mkdir -p "$WINEPREFIX/drive_d"
  ln -sfn "$WINEPREFIX/drive_d" "$WINEPREFIX/dosdevices/d:"
  # 64-bit regedit: the fixture names both views as 64-bit Windows shows them.
  "$SETUP_WINE" regedit /S "$(e2e_winpath "$SETUP_FIXTURES/wine_songti.reg")"
  "$SETUP_WINE" regedit /S "$(e2e_winpath "$SETUP_FIXTURES/wow64_machine.reg")"
  local key
  for key in "HKLM\\$uninstall_key" "$entry32" "HKCU\\$uninstall_key"; do
    "$SETUP_WINE" reg delete "$key" /f >/dev/null 2>&1 || true
  done
}

snapshot() {
  e2e_snapshot "$art/export.reg" drive_d "${folders32[@]/#/drive_c/}" "${folders64[@]/#/drive_c/}" \
    drive_c/ProgramData/V-VidudOvev -- \
    'HKEY_LOCAL_MACHINE\SOFTWARE\Autodesk' 'HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Autodesk' \
    'HKEY_CURRENT_USER\SOFTWARE\Autodesk' "HKEY_LOCAL_MACHINE\\$uninstall_key" "$entry32" \
    "HKEY_CURRENT_USER\\$uninstall_key"
}
# section <snapshot> <root>: the lines of one registry tree of a snapshot.
section() { awk -v r="== $2" '/^== /{on = ($0 == r); next} on' <<<"$1"; }
same_as() {
  diff <(printf '%s\n' "$2") <(snapshot) >"$art/$1.diff" || fail "$1: $(head -8 "$art/$1.diff")"
}
run() {
  local expected=$1 rc=0
  shift
  timeout 120 "$SETUP_WINE" "$@" >"$art/out.txt" 2>&1 || rc=$?
  [ "$rc" = "$expected" ] || fail "$*: exit code $rc, expected $expected"
}
# quiet_uninstall <what> [entry]: the entry's QuietUninstallString (the
# 32-bit edition's by default) must end with 0.
quiet_uninstall() {
  local quiet entry=${2:-$entry32}
  quiet=$("$SETUP_WINE" reg query "$entry" /v QuietUninstallString 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *QuietUninstallString *REG_[A-Z_]* *//p')
  [ -n "$quiet" ] || fail "$1: no QuietUninstallString in $entry"
  local exe=${quiet#\"}
  exe=${exe%%\"*}
  local records
  records=$(compgen -G "$c/ProgramData/V-VidudOvev/[0-9A-F]*" | wc -l)
  run 0 "$exe" /uninstall /S
  # The command processor the uninstall leaves removes its record folder
  # when both of its processes have ended; the sign-in stub stays for the
  # accounts not signed in yet.
  local waited=0
  while [ "$(compgen -G "$c/ProgramData/V-VidudOvev/[0-9A-F]*" | wc -l)" -ge "$records" ] && [ "$waited" -lt 30 ]; do
    sleep 1
    waited=$((waited + 1))
  done
}

machine

# ---- 5. Both editions, in the 64-bit edition's build ---------------------------
# Each into a folder of its own (into the same one: refused with 6). 32-bit
# AutoCAD 2008 and 2010, which both editions reach, stay with the edition
# installed first; each entry's uninstall, in either order, leaves the
# other's install as it was, and the second leaves the machine as before.
if [ "${SETUP_EDITION_BITS:-32}" = 64 ]; then
  [ -f "${SETUP_EXE32:-}" ] || fail "the 32-bit edition is missing: ${SETUP_EXE32:-} (build preset win32 first)"
  bash "$SETUP_SOURCE/tools/runs-32bit.sh" || exit 77
  bash "$SETUP_SOURCE/tools/make-demo-package.sh" "$SETUP_EXE32" "$art/package32" >/dev/null
  bash "$SETUP_SOURCE/tools/make-demo-package.sh" "$SETUP_EXE" "$art/package64" >/dev/null
  setup32=$art/package32/SetUp.exe setup64=$art/package64/SetUp.exe
  entry64="HKEY_LOCAL_MACHINE\\$uninstall_key"
  before=$(snapshot)
  run 0 "$setup32" /S '/D=D:\Tools32'
  only32=$(snapshot)
  run 6 "$setup64" /S '/D=D:\Tools32'
  same_as "the 64-bit edition into the 32-bit one's folder" "$only32"
  run 0 "$setup64" /S '/D=D:\Tools64'
  wow=$(section "$(snapshot)" 'HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Autodesk')
  grep -qF 'Tools64' <<<"$wow" && fail "the 64-bit edition took a 32-bit AutoCAD the 32-bit one serves"
  grep -qF '"LOADER"="D:\\Tools32\\V-VidudOvev\\VK_VidudOvev2008.ARX"' <<<"$wow" || fail "32-bit 2008 lost its entry"
  quiet_uninstall "the 64-bit edition, installed second" "$entry64"
  same_as "the 64-bit edition's uninstall: the 32-bit one's install as it was" "$only32"
  quiet_uninstall "the 32-bit edition, alone"
  same_as "both uninstalled" "$before"
  echo "both editions, the 32-bit one first: its 32-bit AutoCAD kept; uninstalled 64 then 32: the machine as before"

  run 0 "$setup64" /S '/D=D:\Tools64'
  only64=$(snapshot)
  run 0 "$setup32" /S '/D=D:\Tools32'
  quiet_uninstall "the 32-bit edition, installed second"
  same_as "the 32-bit edition's uninstall: the 64-bit one's install as it was" "$only64"
  quiet_uninstall "the 64-bit edition, alone" "$entry64"
  same_as "both uninstalled again" "$before"
  echo "both editions, the 64-bit one first; uninstalled 32 then 64: the machine as before"
  exit 0
fi

package=$art/package
bash "$SETUP_SOURCE/tools/make-demo-package.sh" "$SETUP_EXE" "$package" >/dev/null
setup=$package/SetUp.exe
before=$(snapshot)

# ---- 1. The dialog: the 32-bit releases alone --------------------------------
# Boxes by year: 2008 1019, 2010 1027, 2012 1028, 2014 1030, 2020 1036.
SETUP_DESKTOP=1 start_app "$setup"
SETUP_DESKTOP=1 drive <<CMDS || fail "the dialog on 64-bit Windows"
wait-dialog "V-批打印软件安装" 60
expect 1019 visible=1 enabled=1 checked=1
expect 1027 visible=1 enabled=1 checked=1
expect 1028 visible=1 enabled=1 checked=1
expect 1030 visible=1 enabled=0 checked=0
expect 1036 visible=0 checked=0
settext 1000 D:\\Tools
click 1022
expect 1023 visible=1
click 1
wait-exit 30
CMDS
wait_app 30 || true
grep -q 'exited code=0' "$E2E_LOG" || fail "the dialog's install: $(grep -o 'exited code=[0-9-]*' "$E2E_LOG" | tail -n 1)"
first=$(snapshot)
printf '%s\n' "$first" >"$art/after_install.txt"
for folder in "${folders32[@]}"; do
  for f in Fonts/Velkor_EN.shx itextsharp.dll ACAD2010P.dll; do
    grep -qF "drive_c/$folder/$f" <<<"$first" || fail "no $f in $folder"
  done
done
for folder in "${folders64[@]}"; do
  grep -qF "drive_c/$folder/" <<<"$(grep -v '^folder ' <<<"$first")" && fail "the 32-bit edition placed files in the 64-bit $folder"
done
[ "$(section "$first" 'HKEY_LOCAL_MACHINE\SOFTWARE\Autodesk')" = "$(section "$before" 'HKEY_LOCAL_MACHINE\SOFTWARE\Autodesk')" ] ||
  fail "the 64-bit view of AutoCAD's keys changed"
wow=$(section "$first" 'HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Autodesk')
for key in 'R17.1\ACAD-6001:804\Applications\VK_VidudOvev2008]' 'R18.0\ACAD-8001:804\Applications\VK_VidudOvev2010]' \
  'R18.2\ACAD-A001:804\Applications\VK_VidudOvev2012]'; do
  grep -qF "$key" <<<"$wow" || fail "no demand-load entry $key below Wow6432Node"
done
grep -qF '"LOADER"="C:\\Program Files (x86)\\AutoCAD 2010\\ACAD2010P.dll"' <<<"$wow" || fail "the 2010 module entry names the 32-bit folder"
[ -n "$(section "$first" "$entry32")" ] || fail "no Programs and Features entry below Wow6432Node"
[ -z "$(section "$first" "HKEY_LOCAL_MACHINE\\$uninstall_key")" ] || fail "an entry in the 64-bit view"
grep -qF '"TRUSTEDPATHS"="D:\\Tools\\V-VidudOvev"' <<<"$first" || fail "the 2010 profile's trusted paths"
echo "dialog install: the 32-bit releases, the 32-bit view, the entry below Wow6432Node"

# ---- 2. Its quiet uninstall ----------------------------------------------------
quiet_uninstall "after the dialog's install"
same_as "quiet uninstall after the dialog" "$before"
echo "quiet uninstall: the machine as before"

# ---- 3. The silent install and its uninstall -----------------------------------
rm -rf "$(find "$c/users" -maxdepth 3 -type d -path '*/AppData/Roaming' | head -n 1)/Velkor"
run 0 "$setup" /S '/D=D:\Tools'
same_as "silent install" "$first"
quiet_uninstall "after the silent install"
same_as "quiet uninstall after the silent install" "$before"
echo "silent install as the dialog's; its quiet uninstall: the machine as before"

# ---- 4. Only 64-bit AutoCAD -----------------------------------------------------
"$SETUP_WINE" reg delete 'HKLM\SOFTWARE\Wow6432Node\Autodesk' /f >/dev/null
only64=$(snapshot)
SETUP_DESKTOP=1 start_app "$setup"
SETUP_DESKTOP=1 drive <<CMDS || fail "the nothing-to-offer notice"
wait-dialog "V-批打印软件安装" 60
wait-box V-软件安装 20
controls box
answer 1
expect 1022 enabled=0
close
wait-exit 30
CMDS
wait_app 30 || true
grep -qF '本程序（32位 AutoCAD版）不能为本机的AutoCAD 2010、2014、2020安装' "$E2E_LOG" ||
  fail "the notice names the 64-bit releases: $(grep -F '本程序' "$E2E_LOG" | head -n 1)"
grep -qF '请改用64位 AutoCAD版的SetUp.exe' "$E2E_LOG" || fail "the notice names the other edition"
run 7 "$setup" /S '/D=D:\Tools'
same_as "only 64-bit AutoCAD" "$only64"
echo "only 64-bit AutoCAD: the notice, and /S ends with 7 having made nothing"
